"""Screenshots of an X display (the test environment's Xvfb) through the X11 protocol itself:
one connection, the root window's pixels read with GetImage. No X libraries or tools needed.
"""
import os
import socket
import struct
import zlib


class Screenshot:
    """Pixels of a rectangle of the screen as (red, green, blue) tuples."""

    def __init__(self, left, top, width, height, data, bytes_per_pixel, masks):
        self.left, self.top, self.width, self.height = left, top, width, height
        self._data = data
        self._bpp = bytes_per_pixel
        self._stride = width * bytes_per_pixel
        self._masks = masks

    def pixel(self, x, y):
        """The colour at screen coordinates (x, y)."""
        if not (self.left <= x < self.left + self.width and self.top <= y < self.top + self.height):
            raise IndexError("pixel (%d, %d) outside the screenshot" % (x, y))
        at = (y - self.top) * self._stride + (x - self.left) * self._bpp
        value = int.from_bytes(self._data[at:at + self._bpp], "little")
        return tuple(_channel(value, mask) for mask in self._masks)

    def same_as(self, other):
        return self._data == other._data

    def _row_rgb(self, y):
        """One row as RGB bytes; the common 32-bit layout (blue, green, red, unused) is sliced
        in one go, other layouts go pixel by pixel."""
        if self._bpp == 4 and self._masks == (0xFF0000, 0xFF00, 0xFF):
            at = (y - self.top) * self._stride
            row = self._data[at:at + self._stride]
            rgb = bytearray(3 * self.width)
            rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
            return rgb
        return b"".join(bytes(self.pixel(x, y))
                        for x in range(self.left, self.left + self.width))

    def save_png(self, path):
        """Writes the screenshot as an 8-bit RGB PNG file."""
        rows = bytearray()
        for y in range(self.top, self.top + self.height):
            rows.append(0)  # no filter
            rows.extend(self._row_rgb(y))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                    chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))


def _channel(value, mask):
    shift = (mask & -mask).bit_length() - 1
    return ((value & mask) >> shift) * 255 // (mask >> shift)


def _pad(n):
    return (n + 3) & ~3


def _read(sock, n):
    buffer = bytearray(n)
    view = memoryview(buffer)
    got = 0
    while got < n:
        k = sock.recv_into(view[got:], n - got)
        if k == 0:
            raise ConnectionError("X server closed the connection")
        got += k
    return bytes(buffer)


class Display:
    def __init__(self, name=None):
        name = name or os.environ["DISPLAY"]
        number = name.split(":", 1)[1].split(".")[0]
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.connect("/tmp/.X11-unix/X" + number)
        # Little-endian client, protocol 11.0, no authorization.
        self._sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = _read(self._sock, 8)
        status, _, _, _, length = struct.unpack("<BBHHH", head)
        body = _read(self._sock, length * 4)
        if status != 1:
            raise ConnectionError("X server refused the connection: %r" % body[:head[1]])
        self._parse_setup(body)

    def _parse_setup(self, body):
        (vendor_length, _, screens, formats, image_order) = struct.unpack_from("<HHBBB", body, 16)
        if image_order != 0:
            raise NotImplementedError("only LSB-first images are read")
        at = 32 + _pad(vendor_length)
        self._formats = {}
        for _ in range(formats):
            depth, bits_per_pixel, _ = struct.unpack_from("<BBB", body, at)
            self._formats[depth] = bits_per_pixel
            at += 8
        (self.root, _, _, _, _, self.width, self.height, _, _, _, _, root_visual, _, _,
         self.depth, depth_count) = struct.unpack_from("<IIIIIHHHHHHIBBBB", body, at)
        at += 40
        self._masks = None
        for _ in range(depth_count):
            _, _, visual_count = struct.unpack_from("<BBH", body, at)
            at += 8
            for _ in range(visual_count):
                visual_id, _, _, _, red, green, blue = struct.unpack_from("<IBBHIII", body, at)
                if visual_id == root_visual:
                    self._masks = (red, green, blue)
                at += 24
        if self._masks is None:
            raise NotImplementedError("root visual not found")

    def grab(self, left=0, top=0, width=None, height=None):
        width = self.width - left if width is None else width
        height = self.height - top if height is None else height
        # GetImage, ZPixmap, all planes.
        self._sock.sendall(struct.pack("<BBHIhhHHI", 73, 2, 5, self.root, left, top, width,
                                       height, 0xFFFFFFFF))
        reply = _read(self._sock, 32)
        if reply[0] != 1:
            raise RuntimeError("GetImage failed with X error %d" % reply[1])
        length = struct.unpack_from("<I", reply, 4)[0]
        data = _read(self._sock, length * 4)
        bpp = self._formats[reply[1]] // 8
        return Screenshot(left, top, width, height, data, bpp, self._masks)

    def close(self):
        self._sock.close()
