// The Windows Firewall through its legacy COM objects: the manager's local policy and its current
// profile, whose globally open ports and authorized applications hold the exceptions. Results
// are small codes (0 = success), the same for every caller. Windows only.
#pragma once

#include <netfw.h>

#include <cstdint>

#include "core/com_ptr_win.h"
#include "core/string.h"

namespace tessarin {

inline constexpr int32_t kFirewallNotConnected = 1;
inline constexpr int32_t kFirewallNoManager = 2;
inline constexpr int32_t kFirewallNoPolicy = 3;
inline constexpr int32_t kFirewallNoProfile = 4;
inline constexpr int32_t kFirewallNoProgram = 7;  // empty program path
inline constexpr int32_t kFirewallNoApplications = 8;
inline constexpr int32_t kFirewallNoPorts = 15;
inline constexpr int32_t kFirewallNotRemoved = 14;  // the collection refused the removal
inline constexpr int32_t kFirewallCrashed = 27;     // for callers that guard the calls

inline constexpr int32_t kFirewallTcp = 6;
inline constexpr int32_t kFirewallUdp = 17;

// One connection to the firewall's current profile. COM must be initialised on the thread.
class FirewallSession {
  public:
    int32_t connect();
    bool connected() const { return static_cast<bool>(profile_); }
    // The port's exception for the protocol (kFirewallTcp or kFirewallUdp).
    int32_t removePort(int32_t port, int32_t protocol);
    // The program's exception, by its full path (UTF-16).
    int32_t removeProgram(const String& path);
    void release() { profile_.reset(); }

  private:
    ComPtr<INetFwProfile> profile_;
};

}  // namespace tessarin
