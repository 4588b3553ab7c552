#include <windows.h>

#include "core/dialog.h"
#include "services/progress.h"

namespace tessarin {
namespace {

class SystemClock : public ProgressClock {
  public:
    uint32_t ticks() override { return GetTickCount(); }
    void pumpAndWait(uint32_t milliseconds) override {
        pumpAllMessages();
        if (milliseconds) Sleep(milliseconds);
    }
};

}  // namespace

ProgressClock& systemProgressClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace tessarin
