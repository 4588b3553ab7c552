#include "core/inflate.h"

#include <zlib.h>

#include <chrono>
#include <cstring>
#include <memory>

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

// Output limit of both forms: what a String can hold.
constexpr size_t kMaxInflated = 0x7FFFF000;

// One piece of input (at most kInflateWindow bytes) through the library's routine, over an
// output policy: window() gives room for kInflateWindow bytes, commit(n) keeps the first n of
// them and fails when the output cannot take them. Any result but a stream error just ends the
// piece's output.
template <typename Output>
bool inflatePiece(z_stream* z, const uint8_t* piece, size_t n, Output& output) {
    z->next_in = const_cast<Bytef*>(piece);
    z->avail_in = static_cast<uInt>(n);
    while (true) {
        uint8_t* window = output.window();
        if (!window) return false;
        z->next_out = window;
        z->avail_out = static_cast<uInt>(kInflateWindow);
        int rc = inflate(z, Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR) return false;
        size_t produced = kInflateWindow - z->avail_out;
        if (produced > 0 && !output.commit(produced)) return false;
        if (rc != Z_OK || z->avail_out != 0) return true;
    }
}

template <typename Output>
bool inflatePieces(const uint8_t* input, size_t length, Output& output, InflateProgress progress,
                   void* context) {
    InflateStream stream;
    if (!stream.ok()) return false;
    z_stream* z = stream.get();
    uint64_t lastReport = nowMs();
    size_t consumed = 0;
    while (consumed < length) {
        size_t piece = length - consumed < kInflateWindow ? length - consumed : kInflateWindow;
        if (!inflatePiece(z, input + consumed, piece, output)) return false;
        consumed += piece;
        if (progress && nowMs() - lastReport >= 201) {
            lastReport = nowMs();
            if (!progress(context, consumed, length, uint64_t(z->total_out) * 8)) return false;
        }
    }
    return true;
}

// Into a String through a window on the stack: a String shrinks its block when its length
// drops far below its capacity, so room is not taken in it ahead of the data.
class StringOutput {
  public:
    explicit StringOutput(String& out) : out_(out) {}
    uint8_t* window() { return window_; }
    bool commit(size_t n) {
        if (out_.length() + static_cast<int64_t>(n) > int64_t(kMaxInflated)) return false;
        std::memcpy(out_.appendRoom(static_cast<int32_t>(n)), window_, n);
        return true;
    }

  private:
    String& out_;
    uint8_t window_[kInflateWindow];
};

class VectorOutput {
  public:
    explicit VectorOutput(std::vector<uint8_t>& out) : out_(out) {}
    // The buffer's size runs one window ahead of the data: room reserved beyond it is never
    // written, so its pages are not touched until the data reaches them.
    uint8_t* window() {
        if (out_.size() - used_ < kInflateWindow) out_.resize(used_ + kInflateWindow);
        return out_.data() + used_;
    }
    bool commit(size_t n) {
        if (used_ + n > kMaxInflated) return false;
        used_ += n;
        return true;
    }
    size_t used() const { return used_; }

  private:
    std::vector<uint8_t>& out_;
    size_t used_ = 0;
};

}  // namespace

bool inflateBuffer(const uint8_t* input, size_t length, String& output, InflateProgress progress,
                   void* context) {
    output.clear();
    // Reserve the usual estimate; appends grow it further when needed.
    size_t estimate = 3 * length + 1024;
    if (estimate < kMaxInflated) output.reserve(static_cast<int32_t>(estimate));
    StringOutput sink(output);
    return inflatePieces(input, length, sink, progress, context);
}

struct PieceInflater::State {
    explicit State(std::vector<uint8_t>& output) : sink(output) {}
    InflateStream stream;
    VectorOutput sink;
};

PieceInflater::PieceInflater(std::vector<uint8_t>& output, size_t inputLength) {
    size_t estimate = 3 * inputLength + 1024;
    if (output.capacity() < estimate && estimate < kMaxInflated) output.reserve(estimate);
    state_ = std::make_unique<State>(output);
    failed_ = !state_->stream.ok();
}

PieceInflater::~PieceInflater() = default;

bool PieceInflater::feed(const uint8_t* input, size_t length) {
    for (size_t consumed = 0; !failed_ && consumed < length;) {
        size_t piece = length - consumed < kInflateWindow ? length - consumed : kInflateWindow;
        failed_ = !inflatePiece(state_->stream.get(), input + consumed, piece, state_->sink);
        consumed += piece;
    }
    return !failed_;
}

size_t PieceInflater::produced() const {
    return state_->sink.used();
}

bool inflateInto(const uint8_t* input, size_t length, std::vector<uint8_t>& output,
                 size_t& produced) {
    PieceInflater inflater(output, length);
    inflater.feed(input, length);
    produced = inflater.produced();
    return inflater.ok();
}

}  // namespace tessarin
