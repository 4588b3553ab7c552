// The library's pseudo-random generator: xorshift64* with a fixed start, so that a run is
// reproducible. Not for anything secret.
#pragma once

#include <cstdint>

namespace tessarin {

inline constexpr uint64_t kRandomStartState = 0x48E73A850129BD2Full;

class RandomGenerator {
  public:
    explicit RandomGenerator(uint64_t state = kRandomStartState) : state_(state) {}
    // The next value: the low 32 bits of the scrambled state.
    uint32_t next();
    // A value in [0, n): the next value masked to 31 bits, modulo n; 0 for n < 2.
    uint32_t below(uint32_t n);

  private:
    uint64_t state_;
};

// The process-wide generator (safe to call from any thread).
uint32_t randomNumber();
uint32_t randomBelow(uint32_t n);

}  // namespace tessarin
