// A System Restore point around an installation: begun before the first change, ended after
// the last one.
//
// The steps and their messages are portable (restore_point.cpp) and work through
// RestorePointService; restore_point_win.cpp answers with COM security and the system-restore
// client library, loaded at run time from the system folder.
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"

namespace tessarin {

inline constexpr uint32_t kRestoreBeginSystemChange = 100;  // BEGIN_SYSTEM_CHANGE
inline constexpr uint32_t kRestoreEndSystemChange = 101;    // END_SYSTEM_CHANGE
inline constexpr uint32_t kRestoreApplicationInstall = 0;   // APPLICATION_INSTALL
inline constexpr int32_t kRestoreDescriptionChars = 255;
inline constexpr uint32_t kRestoreServiceDisabled = 1058;  // ERROR_SERVICE_DISABLED

class RestorePointService {
  public:
    enum class Availability { Present, NoLibrary, NoFunction };

    virtual ~RestorePointService() = default;
    virtual bool initializeComSecurity(String& message) = 0;
    // Loads the client library on the first call; later calls give the same answer.
    virtual Availability availability() = 0;
    // SRSetRestorePointW: the status and the sequence number the system answers.
    virtual bool setRestorePoint(uint32_t eventType, uint32_t pointType, int64_t sequence,
                                 const String& description, uint32_t& status,
                                 int64_t& sequenceOut) = 0;
    virtual String systemText8(uint32_t status) = 0;  // the system's text, 8-bit
};

class RestorePoint {
  public:
    explicit RestorePoint(RestorePointService& service) : service_(service) {}

    // Begins a restore point with the description (at most 255 characters are used); false
    // with an 8-bit message for the log.
    bool begin(const String& description, String& message);
    // Ends the restore point begun, if any; the call's result (false when none is open).
    bool end();
    int64_t sequenceNumber() const { return sequence_; }  // 0 when none is open

  private:
    bool beginSteps(const String& description, String& message);

    RestorePointService& service_;
    int64_t sequence_ = 0;
};

// The running system's service. libraryPath names the client library; empty means
// "srclient.dll" in the system folder (Windows only).
std::unique_ptr<RestorePointService> systemRestorePointService(const String& libraryPath = {});
// The process's restore point on the system's service (Windows only).
RestorePoint& restorePoint();

}  // namespace tessarin
