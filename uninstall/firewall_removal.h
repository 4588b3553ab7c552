// Removing the firewall exceptions an installation added: each "[Firewall]" line of the
// uninstall data is a line of the install script's firewall list, four fields separated by ";":
// a port number or a program path (path variables allowed, relative paths taken in the install
// folder), the exception's name, the protocol bits of a port (1 TCP, 2 UDP) and the "stays" mark.
// Failures are logged only.
//
// The lines and the decisions are portable (firewall_removal.cpp); the firewall's COM objects
// are called in firewall_removal_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/path_variables.h"
#include "services/reporter.h"

namespace tessarin {

inline constexpr uint32_t kFirewallProtocolTcp = 1;
inline constexpr uint32_t kFirewallProtocolUdp = 2;

struct FirewallException {
    bool isPort = false;
    int32_t port = 0;        // 1 to 65535
    uint32_t protocols = 0;  // kFirewallProtocol... bits
    String program;          // UTF-16 as written in the line, before expansion
};

// Reads a line of exactly four fields. A first field of decimal digits only is a port, which
// must lie between 1 and 65535 and then needs a decimal third field; anything else in the first
// field is a program path (not blank). False, with why (UTF-16) set, for any other line.
bool parseFirewallLine(const String& line, FirewallException& exception, String& why);

// The program's full path: variables expanded, a relative path taken in installDir (UTF-16).
String firewallProgramPath(const String& program, const String& installDir,
                           const PathVariableValues& values);

class FirewallRemovalSystem {
  public:
    virtual ~FirewallRemovalSystem() = default;
    // Results are the firewall's codes: 0 success.
    virtual int32_t connect() = 0;
    virtual int32_t removePort(int32_t port, bool udp) = 0;
    virtual int32_t removeProgram(const String& path) = 0;  // full path, UTF-16
    virtual void release() = 0;
};

// Removes the exception of every line, in order; empty lines are passed over, malformed ones
// are logged and skipped. A failed connection is logged and ends the removal.
void removeFirewallExceptions(const Vector<String>& lines, const String& installDir,
                              const PathVariableValues& values, FirewallRemovalSystem& system,
                              Reporter& reporter);

// The running system's side: the legacy firewall objects of the current profile, each call
// under the crash guard. COM must be initialised on the thread. Windows only.
void RemoveFirewallExceptions(const Vector<String>& lines, const String& installDir,
                              const PathVariableValues& values, Reporter& reporter);

}  // namespace tessarin
