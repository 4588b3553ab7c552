// The running system's side of the firewall exception removal.
#include "core/crash_guard.h"
#include "core/firewall_win.h"
#include "uninstall/firewall_removal.h"

namespace tessarin {
namespace {

// Every call goes through the firewall's COM objects, which belong to the system or to a
// third-party firewall that replaces them: a crash there is reported as kFirewallCrashed.
class RunningSystem : public FirewallRemovalSystem {
  public:
    int32_t connect() override {
        return guarded([](Call& c) { c.result = c.session->connect(); });
    }

    int32_t removePort(int32_t port, bool udp) override {
        port_ = port;
        protocol_ = udp ? kFirewallUdp : kFirewallTcp;
        return guarded([](Call& c) {
            c.result = c.session->removePort(c.system->port_, c.system->protocol_);
        });
    }

    int32_t removeProgram(const String& path) override {
        path_ = &path;
        return guarded([](Call& c) { c.result = c.session->removeProgram(*c.system->path_); });
    }

    void release() override {
        guarded([](Call& c) { c.session->release(); });
    }

  private:
    struct Call {
        RunningSystem* system;
        FirewallSession* session;
        void (*body)(Call&);
        int32_t result = kFirewallCrashed;
    };

    int32_t guarded(void (*body)(Call&)) {
        Call call{this, &session_, body};
        runGuarded(
            [](void* context) {
                auto* c = static_cast<Call*>(context);
                c->body(*c);
            },
            &call);
        return call.result;
    }

    FirewallSession session_;
    int32_t port_ = 0;
    int32_t protocol_ = 0;
    const String* path_ = nullptr;
};

}  // namespace

void RemoveFirewallExceptions(const Vector<String>& lines, const String& installDir,
                              const PathVariableValues& values, Reporter& reporter) {
    RunningSystem system;
    removeFirewallExceptions(lines, installDir, values, system, reporter);
}

}  // namespace tessarin
