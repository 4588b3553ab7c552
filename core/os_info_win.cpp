// Filling the version record from the running system.
#include <windows.h>

#include "core/convert.h"
#include "core/os_info.h"
#include "core/registry.h"
#include "core/system_function_win.h"

namespace tessarin {
namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using GetProductInfoFunction = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
using GetNativeSystemInfoFunction = void(WINAPI*)(SYSTEM_INFO*);
using WineGetVersionFunction = const char*(CDECL*)();

// RtlGetVersion tells the truth where GetVersionEx is subject to the compatibility shims.
OSVERSIONINFOEXW systemVersion() {
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof v;
    auto rtlGetVersion = systemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    if (rtlGetVersion && rtlGetVersion(&v) == 0) return v;
    v = OSVERSIONINFOEXW{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) {
        v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v));
    }
    return v;
}

uint8_t systemMetrics() {
    uint8_t metrics = 0;
    if (GetSystemMetrics(SM_TABLETPC)) metrics |= kMetricTabletPc;
    if (GetSystemMetrics(SM_MEDIACENTER)) metrics |= kMetricMediaCenter;
    if (GetSystemMetrics(SM_STARTER)) metrics |= kMetricStarter;
    if (GetSystemMetrics(SM_SERVERR2)) metrics |= kMetricServerR2;
    return metrics;
}

String releaseNumber() {
    RegistryKey key;
    if (!key.open(kHkeyLocalMachine, u"Software\\Microsoft\\Windows NT\\CurrentVersion",
                  kRegOpenExisting, kRegAccessReadValues)) {
        return String();
    }
    String wide = key.readText(u"ReleaseId", String());
    String text;
    toNarrow(wide.w_str(), wide.wideLength(), text, kCodePageSystem, "?");
    return text;
}

OsRecord readOsRecord() {
    OsRecord os;
    OSVERSIONINFOEXW v = systemVersion();
    os.major = v.dwMajorVersion;
    os.minor = v.dwMinorVersion;
    os.platform = v.dwPlatformId;
    os.build = buildNumber(os.platform, v.dwBuildNumber);
    os.servicePack.assignWide(reinterpret_cast<const char16_t*>(v.szCSDVersion),
                              static_cast<int32_t>(wcsnlen(v.szCSDVersion, 128)));
    os.servicePackMajor = v.wServicePackMajor;
    os.servicePackMinor = v.wServicePackMinor;
    os.suiteMask = v.wSuiteMask;
    os.productType = v.wProductType;
    if (os.major > 5) {
        auto getProductInfo =
            systemFunction<GetProductInfoFunction>(L"kernel32.dll", "GetProductInfo");
        DWORD kind = 0;
        if (getProductInfo &&
            getProductInfo(os.major, os.minor, os.servicePackMajor, os.servicePackMinor, &kind)) {
            os.productKind = kind;
        }
    }
    if (os.major > 4) {
        auto nativeInfo =
            systemFunction<GetNativeSystemInfoFunction>(L"kernel32.dll", "GetNativeSystemInfo");
        SYSTEM_INFO info{};
        if (nativeInfo)
            nativeInfo(&info);
        else
            GetSystemInfo(&info);
        os.processorArchitecture = info.wProcessorArchitecture;
        os.is64Bit = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
                     info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    }
    os.metrics = systemMetrics();
    if (auto wineGetVersion =
            systemFunction<WineGetVersionFunction>(L"ntdll.dll", "wine_get_version")) {
        os.wineVersion = wineGetVersion();
    }
    if (os.platform == kPlatformNt && os.major >= 10) os.releaseNumber = releaseNumber();
    return os;
}

}  // namespace

// The first call comes from the main thread during start-up, before any other thread exists.
const OsRecord& osRecord() {
    static const OsRecord record = readOsRecord();
    return record;
}

bool isNtFamily() {
    return osRecord().platform == kPlatformNt;
}
bool isNtAboveXp() {
    return isNtFamily() && osRecord().major > 5;
}
bool isWindows9598() {
    const OsRecord& os = osRecord();
    return os.platform == kPlatformWindows9x && os.major == 4 && (os.minor == 0 || os.minor == 10);
}
bool is64BitWindows() {
    return osRecord().is64Bit;
}

}  // namespace tessarin
