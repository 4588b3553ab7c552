// The steps of beginning and ending a restore point, and their messages.
#include "core/restore_point.h"

#include "core/format.h"

namespace tessarin {

bool RestorePoint::begin(const String& description, String& message) {
    try {
        return beginSteps(description, message);
    } catch (...) {
        message.assign("Crashed");
        return false;
    }
}

bool RestorePoint::beginSteps(const String& description, String& message) {
    String securityMessage;
    if (!service_.initializeComSecurity(securityMessage)) {
        message.assign("Failed to initialize COM security: ");
        message.append(securityMessage);
        return false;
    }
    switch (service_.availability()) {
        case RestorePointService::Availability::NoLibrary:
            message.assign("System Restore is not present.");
            return false;
        case RestorePointService::Availability::NoFunction:
            message.assign("SRSetRestorePointW is not present.");
            return false;
        case RestorePointService::Availability::Present:
            break;
    }
    String text;
    description.substringWide(text, 0, kRestoreDescriptionChars);
    uint32_t status = 0;
    int64_t sequence = 0;
    if (service_.setRestorePoint(kRestoreBeginSystemChange, kRestoreApplicationInstall, 0, text,
                                 status, sequence)) {
        sequence_ = sequence;
        message.clear();
        return true;
    }
    if (status == kRestoreServiceDisabled)
        message.assign("System Restore is turned off.");
    else
        formatAssign(message, "Failed, code %u: %s", status, service_.systemText8(status).c_str());
    return false;
}

bool RestorePoint::end() {
    if (sequence_ == 0) return false;
    if (service_.availability() != RestorePointService::Availability::Present) return false;
    int64_t sequence = sequence_;
    sequence_ = 0;
    uint32_t status = 0;
    int64_t answered = 0;
    return service_.setRestorePoint(kRestoreEndSystemChange, kRestoreApplicationInstall, sequence,
                                    String(), status, answered);
}

}  // namespace tessarin
