// The running system's side of the taskbar unpinning.
#include "core/crash_guard.h"
#include "core/process.h"
#include "uninstall/taskbar_unpin.h"

namespace tessarin {
namespace {

struct UnpinCall {
    const String* link;
    bool done = false;
};

// The verb is carried out by whatever shell extension handles it; systems without it (before
// Windows 7, and from Windows 10 on) refuse the unknown verb, which does no harm.
class RunningSystem : public TaskbarUnpinSystem {
  public:
    bool unpin(const String& link) override {
        UnpinCall call{&link};
        bool finished = runGuarded(
            [](void* context) {
                auto* c = static_cast<UnpinCall*>(context);
                c->done = shellVerb(*c->link, String(u"taskbarunpin"));
            },
            &call);
        return finished && call.done;
    }
};

}  // namespace

bool UnpinFromTaskbar(const Vector<FileDeletion>& deletions, Reporter& reporter) {
    RunningSystem system;
    return unpinFromTaskbar(deletions, system, reporter);
}

}  // namespace tessarin
