#include "core/firewall_win.h"

#include <oleauto.h>

namespace tessarin {

namespace {

// {304CE942-6E39-40D8-943A-B913C40C9CD4}
constexpr CLSID kFirewallManager = {
    0x304ce942, 0x6e39, 0x40d8, {0x94, 0x3a, 0xb9, 0x13, 0xc4, 0x0c, 0x9c, 0xd4}};

}  // namespace

int32_t FirewallSession::connect() {
    release();
    ComPtr<INetFwMgr> manager;
    if (FAILED(CoCreateInstance(kFirewallManager, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(INetFwMgr), manager.outVoid())) ||
        !manager) {
        return kFirewallNoManager;
    }
    ComPtr<INetFwPolicy> policy;
    if (FAILED(manager->get_LocalPolicy(policy.out())) || !policy) return kFirewallNoPolicy;
    if (FAILED(policy->get_CurrentProfile(profile_.out())) || !profile_) {
        profile_.reset();
        return kFirewallNoProfile;
    }
    return 0;
}

int32_t FirewallSession::removePort(int32_t port, int32_t protocol) {
    if (!profile_) return kFirewallNotConnected;
    ComPtr<INetFwOpenPorts> ports;
    if (FAILED(profile_->get_GloballyOpenPorts(ports.out())) || !ports) return kFirewallNoPorts;
    HRESULT result = ports->Remove(port, static_cast<NET_FW_IP_PROTOCOL>(protocol));
    return SUCCEEDED(result) ? 0 : kFirewallNotRemoved;
}

int32_t FirewallSession::removeProgram(const String& path) {
    if (!profile_) return kFirewallNotConnected;
    if (path.empty()) return kFirewallNoProgram;
    ComPtr<INetFwAuthorizedApplications> applications;
    if (FAILED(profile_->get_AuthorizedApplications(applications.out())) || !applications) {
        return kFirewallNoApplications;
    }
    BSTR name = SysAllocString(reinterpret_cast<const OLECHAR*>(path.w_str()));
    if (name == nullptr) return kFirewallNotRemoved;
    HRESULT result = applications->Remove(name);
    SysFreeString(name);
    return SUCCEEDED(result) ? 0 : kFirewallNotRemoved;
}

}  // namespace tessarin
