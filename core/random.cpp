#include "core/random.h"

#include <atomic>

namespace tessarin {
namespace {

constexpr uint64_t kMultiplier = 0x2545F4914F6CDD1Dull;

uint64_t step(uint64_t x) {
    x ^= x >> 12;
    x ^= x << 25;
    x ^= x >> 27;
    return x;
}

uint32_t output(uint64_t state) {
    return static_cast<uint32_t>(state * kMultiplier);
}

uint32_t reduce(uint32_t value, uint32_t n) {
    return n < 2 ? 0 : (value & 0x7FFFFFFFu) % n;
}

std::atomic<uint64_t> g_state{kRandomStartState};

}  // namespace

uint32_t RandomGenerator::next() {
    state_ = step(state_);
    return output(state_);
}

uint32_t RandomGenerator::below(uint32_t n) {
    return reduce(next(), n);
}

uint32_t randomNumber() {
    uint64_t old = g_state.load(std::memory_order_relaxed);
    uint64_t fresh;
    do {
        fresh = step(old);
    } while (!g_state.compare_exchange_weak(old, fresh, std::memory_order_relaxed));
    return output(fresh);
}

uint32_t randomBelow(uint32_t n) {
    return reduce(randomNumber(), n);
}

}  // namespace tessarin
