#include <chrono>
#include <thread>

#include "services/progress.h"

namespace tessarin {
namespace {

class SteadyClock : public ProgressClock {
  public:
    uint32_t ticks() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void pumpAndWait(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

ProgressClock& systemProgressClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace tessarin
