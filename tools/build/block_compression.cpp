#include "tools/build/block_compression.h"

#include <algorithm>
#include <memory>

#ifdef TESSARIN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

namespace tessarin::build {

#ifdef TESSARIN_HAVE_LIBDEFLATE

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// A compressor holds the tables of its level (several MiB for the highest ones), so each thread
// keeps the one it made last instead of making one per block.
libdeflate_compressor* compressorFor(int level) {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor;
    thread_local int compressorLevel = -1;
    if (!compressor || compressorLevel != level) {
        compressor.reset(libdeflate_alloc_compressor(level));
        compressorLevel = compressor ? level : -1;
    }
    return compressor.get();
}

}  // namespace

bool compressBlock(const uint8_t* input, size_t length, String& output, int level) {
    libdeflate_compressor* c = compressorFor(std::clamp(level, 1, kMaxCompressionLevel));
    if (!c) return false;
    size_t bound = libdeflate_zlib_compress_bound(c, length);
    if (bound > static_cast<size_t>(INT32_MAX)) return false;
    String out;
    out.setLength(static_cast<int32_t>(bound));
    size_t packed = libdeflate_zlib_compress(c, input, length, out.data(), bound);
    if (packed == 0) return false;  // cannot happen with the bound's room; never a short stream
    out.setLength(static_cast<int32_t>(packed));
    output = std::move(out);
    return true;
}

#else

bool compressBlock(const uint8_t* input, size_t length, String& output, int level) {
    uLongf bound = compressBound(static_cast<uLong>(length));
    if (bound > static_cast<uLongf>(INT32_MAX)) return false;
    String out;
    out.setLength(static_cast<int32_t>(bound));
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &bound, input, static_cast<uLong>(length),
                  std::clamp(level, 1, 9)) != Z_OK)
        return false;
    out.setLength(static_cast<int32_t>(bound));
    output = std::move(out);
    return true;
}

#endif

}  // namespace tessarin::build
