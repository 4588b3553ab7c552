// What the running system is: its version record, edition, 64-bit flag and Wine version, and
// the names and code numbers made from them.
//
// The record is filled once per process by osRecord() (os_info_win.cpp). The naming and the
// code numbers are portable (os_info.cpp) so that they can be checked on recorded records of
// every system they know.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows9x = 1;
inline constexpr uint32_t kPlatformNt = 2;

inline constexpr uint8_t kProductWorkstation = 1;       // VER_NT_WORKSTATION
inline constexpr uint8_t kProductDomainController = 2;  // VER_NT_DOMAIN_CONTROLLER
inline constexpr uint8_t kProductServer = 3;            // VER_NT_SERVER

// Suite-mask bits (VER_SUITE_*).
inline constexpr uint16_t kSuiteEnterprise = 0x2;
inline constexpr uint16_t kSuiteEmbeddedNt = 0x40;
inline constexpr uint16_t kSuiteDatacenter = 0x80;
inline constexpr uint16_t kSuitePersonal = 0x200;
inline constexpr uint16_t kSuiteBlade = 0x400;  // Web edition
inline constexpr uint16_t kSuiteStorageServer = 0x2000;
inline constexpr uint16_t kSuiteComputeServer = 0x4000;
inline constexpr uint16_t kSuiteHomeServer = 0x8000;

// The system metrics that name XP and Server 2003 variants (SM_TABLETPC .. SM_SERVERR2).
enum OsMetric : uint8_t {
    kMetricTabletPc = 0x1,
    kMetricMediaCenter = 0x2,
    kMetricStarter = 0x4,
    kMetricServerR2 = 0x8,
};

struct OsRecord {
    // OSVERSIONINFOEXW
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platform = kPlatformNt;
    String servicePack;  // UTF-16
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    uint16_t suiteMask = 0;
    uint8_t productType = kProductWorkstation;

    uint32_t productKind = 0;  // GetProductInfo, asked only above major version 5
    uint16_t processorArchitecture = 0;
    bool is64Bit = false;
    uint8_t metrics = 0;   // OsMetric bits
    String wineVersion;    // 8-bit; empty when not running under Wine
    String releaseNumber;  // 8-bit "ReleaseId" of the system, empty when there is none
};

// Filled on first use, then the same record for the rest of the run.
const OsRecord& osRecord();

bool isNtFamily();
bool isNtAboveXp();  // NT family with a major version above 5
bool isWindows9598();
bool is64BitWindows();

// Options of osName().
inline constexpr uint32_t kOsNameNoServicePack = 0x1;
inline constexpr uint32_t kOsNameNoEdition = 0x2;
inline constexpr uint32_t kOsNameShort = 0x4;

// The system's display name, 8-bit (the service-pack text in the system ANSI code page).
String osName(const OsRecord& os, uint32_t options);
inline String osName(uint32_t options) {
    return osName(osRecord(), options);
}

// The build number of the record from the one the system reports: on the 9x family only its
// low word (the high word repeats the version).
uint32_t buildNumber(uint32_t platform, uint32_t reported);

// The edition suffix of a product kind (" Professional" for 48), empty for unknown kinds.
const char* editionName(uint32_t productKind);

// The code number of the system that the "%OS%" path variable gives (0 for systems outside
// the NT family and versions it does not know).
int osCodeNumber(const OsRecord& os);

}  // namespace tessarin
