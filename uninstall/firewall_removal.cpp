#include "uninstall/firewall_removal.h"

#include "core/convert.h"
#include "core/format.h"
#include "core/path.h"

namespace tessarin {

namespace {

bool allDigits(const String& text) {
    if (text.empty()) return false;
    for (int32_t i = 0; i < text.length(); ++i) {
        if (text.c_str()[i] < '0' || text.c_str()[i] > '9') return false;
    }
    return true;
}

Vector<String> splitFields(const String& line) {
    Vector<String> fields;
    const char* s = line.c_str();
    int32_t start = 0;
    for (int32_t i = 0; i <= line.length(); ++i) {
        if (i < line.length() && s[i] != ';') continue;
        fields.append(String(s + start, i - start));
        start = i + 1;
    }
    return fields;
}

void removePort(const FirewallException& exception, bool udp, FirewallRemovalSystem& system,
                Reporter& reporter) {
    const char16_t* protocol = udp ? u"UDP" : u"TCP";
    int32_t result = system.removePort(exception.port, udp);
    if (result == 0) {
        reporter.log(
            formatWide(u"Removed firewall exception: %s port %d\r\n", protocol, exception.port));
    } else {
        reporter.log(formatWide(u"Failed to remove firewall exception: %s port %d, code %d\r\n",
                                protocol, exception.port, result));
    }
}

void removeProgram(const String& path, FirewallRemovalSystem& system, Reporter& reporter) {
    int32_t result = system.removeProgram(path);
    if (result == 0) {
        reporter.log(formatWide(u"Removed firewall exception: %s\r\n", path.w_str()));
    } else {
        reporter.log(formatWide(u"Failed to remove firewall exception for \"%s\", code %d\r\n",
                                path.w_str(), result));
    }
}

}  // namespace

bool parseFirewallLine(const String& line, FirewallException& exception, String& why) {
    Vector<String> fields = splitFields(line);
    if (fields.count() != 4) {
        why = formatWide(u"%d fields instead of 4", fields.count());
        return false;
    }
    exception = FirewallException();
    if (allDigits(fields[0])) {
        int64_t port = 0;
        int64_t protocols = 0;
        if (!parseDecimal(fields[0], 65535, port) || port < 1) {
            why = String(u"port number out of range");
            return false;
        }
        if (!parseDecimal(fields[2], INT32_MAX, protocols)) {
            why = String(u"protocol is not a number");
            return false;
        }
        exception.isPort = true;
        exception.port = static_cast<int32_t>(port);
        exception.protocols = static_cast<uint32_t>(protocols);
        return true;
    }
    pathToWide(fields[0].c_str(), fields[0].length(), exception.program);
    if (isBlankWide(exception.program)) {
        why = String(u"no port or program");
        return false;
    }
    return true;
}

String firewallProgramPath(const String& program, const String& installDir,
                           const PathVariableValues& values) {
    String path = program;
    expandPathVariables(path, values);
    return isAbsolutePath(path) ? path : joinPath(installDir, path);
}

void removeFirewallExceptions(const Vector<String>& lines, const String& installDir,
                              const PathVariableValues& values, FirewallRemovalSystem& system,
                              Reporter& reporter) {
    bool any = false;
    for (int32_t i = 0; i < lines.count() && !any; ++i) any = !lines[i].empty();
    if (!any) return;
    int32_t connection = system.connect();
    if (connection != 0) {
        reporter.log(
            formatWide(u"Failed to connect to the firewall service: code %d\r\n", connection));
        return;
    }
    for (int32_t i = 0; i < lines.count(); ++i) {
        if (lines[i].empty()) continue;
        FirewallException exception;
        String why;
        if (!parseFirewallLine(lines[i], exception, why)) {
            String wide;
            toWide(lines[i].c_str(), lines[i].length(), wide);
            reporter.log(
                formatWide(u"Skipped firewall line \"%s\": %s\r\n", wide.w_str(), why.w_str()));
            continue;
        }
        if (!exception.isPort) {
            removeProgram(firewallProgramPath(exception.program, installDir, values), system,
                          reporter);
            continue;
        }
        if (exception.protocols & kFirewallProtocolTcp)
            removePort(exception, false, system, reporter);
        if (exception.protocols & kFirewallProtocolUdp)
            removePort(exception, true, system, reporter);
    }
    system.release();
}

}  // namespace tessarin
