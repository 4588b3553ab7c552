#include "core/inflate.h"

#include <zlib.h>

#include <chrono>
#include <cstring>

namespace tessarin {
namespace {

class InflateStream {
  public:
    InflateStream() { ok_ = inflateInit(&z_) == Z_OK; }
    ~InflateStream() {
        if (ok_) inflateEnd(&z_);
    }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    bool ok() const { return ok_; }
    z_stream* get() { return &z_; }

  private:
    z_stream z_{};
    bool ok_ = false;
};

uint64_t nowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

bool inflateBuffer(const uint8_t* input, size_t length, String& output, InflateProgress progress,
                   void* context) {
    output.clear();
    InflateStream stream;
    if (!stream.ok()) return false;
    z_stream* z = stream.get();
    // Reserve the usual estimate; appends grow it further when needed.
    size_t estimate = 3 * length + 1024;
    if (estimate < 0x7FFFF000u) output.reserve(static_cast<int32_t>(estimate));
    unsigned char window[kInflateWindow];
    uint64_t lastReport = nowMs();
    size_t consumed = 0;
    while (consumed < length) {
        size_t piece = length - consumed < kInflateWindow ? length - consumed : kInflateWindow;
        z->next_in = const_cast<Bytef*>(input + consumed);
        z->avail_in = static_cast<uInt>(piece);
        consumed += piece;
        while (true) {
            z->next_out = window;
            z->avail_out = sizeof window;
            int rc = inflate(z, Z_NO_FLUSH);
            if (rc == Z_STREAM_ERROR) return false;
            size_t produced = sizeof window - z->avail_out;
            if (produced > 0) {
                if (output.length() + static_cast<int64_t>(produced) > 0x7FFFF000) return false;
                std::memcpy(output.appendRoom(static_cast<int32_t>(produced)), window, produced);
            }
            if (rc != Z_OK || z->avail_out != 0) break;
        }
        if (progress && nowMs() - lastReport >= 201) {
            lastReport = nowMs();
            if (!progress(context, consumed, length, uint64_t(z->total_out) * 8)) return false;
        }
    }
    return true;
}

bool deflateBuffer(const uint8_t* input, size_t length, String& output, int level) {
    uLongf bound = compressBound(static_cast<uLong>(length));
    String out;
    out.setLength(static_cast<int32_t>(bound));
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &bound, input, static_cast<uLong>(length),
                  level) != Z_OK)
        return false;
    out.setLength(static_cast<int32_t>(bound));
    output = std::move(out);
    return true;
}

}  // namespace tessarin
