#include <windows.h>

// Needs the types of <windows.h>.
#include <srrestoreptapi.h>

#include <cstring>

#include "core/com_security.h"
#include "core/path.h"
#include "core/restore_point.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "core/wide_win.h"

namespace tessarin {
namespace {

using SetRestorePointCall = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

class SystemService : public RestorePointService {
  public:
    explicit SystemService(const String& libraryPath) : libraryPath_(libraryPath) {}

    bool initializeComSecurity(String& message) override {
        return tessarin::initializeComSecurity(message);
    }

    // The library is named by its full path, so that no other folder is searched; it stays
    // loaded for the life of the process.
    Availability availability() override {
        if (!loaded_) {
            loaded_ = true;
            HMODULE library = LoadLibraryExW(win(libraryPath_), nullptr, 0);
            if (library != nullptr)
                setRestorePoint_ = reinterpret_cast<SetRestorePointCall>(
                    reinterpret_cast<void*>(GetProcAddress(library, "SRSetRestorePointW")));
            availability_ = library == nullptr            ? Availability::NoLibrary
                            : setRestorePoint_ == nullptr ? Availability::NoFunction
                                                          : Availability::Present;
        }
        return availability_;
    }

    bool setRestorePoint(uint32_t eventType, uint32_t pointType, int64_t sequence,
                         const String& description, uint32_t& status,
                         int64_t& sequenceOut) override {
        RESTOREPOINTINFOW info = {};
        info.dwEventType = eventType;
        info.dwRestorePtType = pointType;
        info.llSequenceNumber = sequence;
        int32_t chars = description.wideLength();
        if (chars > MAX_DESC_W - 1) chars = MAX_DESC_W - 1;
        std::memcpy(info.szDescription, description.w_str(), static_cast<size_t>(chars) * 2);
        STATEMGRSTATUS answer = {};
        bool done = setRestorePoint_(&info, &answer) != 0;
        status = answer.nStatus;
        sequenceOut = answer.llSequenceNumber;
        return done;
    }

    String systemText8(uint32_t status) override { return tessarin::systemErrorText8(status); }

  private:
    String libraryPath_;
    bool loaded_ = false;
    Availability availability_ = Availability::NoLibrary;
    SetRestorePointCall setRestorePoint_ = nullptr;
};

}  // namespace

std::unique_ptr<RestorePointService> systemRestorePointService(const String& libraryPath) {
    String path =
        libraryPath.empty() ? joinPath(systemFolder(), String(u"srclient.dll")) : libraryPath;
    return std::make_unique<SystemService>(path);
}

RestorePoint& restorePoint() {
    static std::unique_ptr<RestorePointService> service = systemRestorePointService();
    static RestorePoint point(*service);
    return point;
}

}  // namespace tessarin
