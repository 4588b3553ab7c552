"""Fails when a Windows program imports, statically or delay-loaded, a library that is not one
of the system's known libraries (those Windows always takes from its own folder). The installer
runs elevated from wherever it was downloaded to; a library it imports by any other name would
be looked for beside it first, and a planted copy would run with the rights just granted.

    check_imports.py PROGRAM.exe...
"""
import struct
import sys

# The known libraries of every Windows version the installer runs on (the Session Manager's
# KnownDLLs list of Windows 7 and later), and ntdll, which every process has loaded first.
KNOWN = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll",
         "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ntdll.dll",
         "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
         "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll"}

IMPORTS, DELAY_IMPORTS = 1, 13  # data directory indexes


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.directories = optional + {0x10B: 96, 0x20B: 112}[magic]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", data, table + 40 * i)
                         for i in range(sections)]

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x is in no section" % rva)

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def libraries(self, directory, entry_size, name_at):
        rva, size = struct.unpack_from("<II", self.data, self.directories + 8 * directory)
        if rva == 0 or size == 0:
            return []
        names, at = [], self.offset(rva)
        while any(self.data[at:at + entry_size]):
            names.append(self.text(struct.unpack_from("<I", self.data, at + name_at)[0]))
            at += entry_size
        return names


def main():
    status = 0
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            image = Image(f.read())
        names = image.libraries(IMPORTS, 20, 12) + image.libraries(DELAY_IMPORTS, 32, 4)
        unknown = sorted({n for n in names if n.lower() not in KNOWN})
        if unknown:
            status = 1
            print("%s imports libraries that are not known system libraries: %s"
                  % (path, ", ".join(unknown)))
        else:
            print("%s imports known system libraries only: %s"
                  % (path, ", ".join(sorted(set(names), key=str.lower))))
    return status


if __name__ == "__main__":
    sys.exit(main())
