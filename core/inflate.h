// zlib inflation in the library's fashion: the input is fed in pieces of at most 16 KiB and
// each piece is inflated through a 16 KiB window. Only a failed initialisation, a stream
// error, a failed append or an abort fail the routine; any other inflate result just ends
// the output of that piece, so damaged data surfaces as a checksum mismatch downstream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/string.h"

namespace tessarin {

inline constexpr size_t kInflateWindow = 16 * 1024;

// Called at most once every 201 ms; returns false to abort.
using InflateProgress = bool (*)(void* context, size_t consumed, size_t total, uint64_t bitsOut);

bool inflateBuffer(const uint8_t* input, size_t length, String& output,
                   InflateProgress progress = nullptr, void* context = nullptr);
// The same routine into a buffer that is kept from call to call, so that decoding block after
// block allocates only while the blocks grow: output only ever grows, and the result is its
// first `produced` bytes. The windows are inflated straight into it, without a copy.
bool inflateInto(const uint8_t* input, size_t length, std::vector<uint8_t>& output,
                 size_t& produced);

// The same into a kept buffer, with the input handed over as it is read. Input fed in runs
// whose lengths are multiples of kInflateWindow (but the last) is cut into the same pieces as
// inflateInto cuts it, so the output is the same whatever the runs.
class PieceInflater {
  public:
    // inputLength: the whole input's length, for the buffer's estimate.
    PieceInflater(std::vector<uint8_t>& output, size_t inputLength);
    ~PieceInflater();
    PieceInflater(const PieceInflater&) = delete;
    PieceInflater& operator=(const PieceInflater&) = delete;
    // false once the routine has failed; later input is then ignored.
    bool feed(const uint8_t* input, size_t length);
    bool ok() const { return !failed_; }
    // The bytes at the start of the buffer that hold the output so far.
    size_t produced() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
    bool failed_ = false;
};

}  // namespace tessarin
