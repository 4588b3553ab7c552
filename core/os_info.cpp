// Names and code numbers of Windows versions, made from a version record.
#include "core/os_info.h"

#include "core/convert.h"
#include "core/format.h"

namespace tessarin {
namespace {

bool isWorkstation(const OsRecord& os) {
    return os.productType == kProductWorkstation;
}
bool hasSuite(const OsRecord& os, uint16_t bit) {
    return (os.suiteMask & bit) != 0;
}
bool hasMetric(const OsRecord& os, uint8_t bit) {
    return (os.metrics & bit) != 0;
}

void appendWindows9xName(String& name, const OsRecord& os, bool full) {
    if (os.major != 4) {
        formatAppend(name, "9x %u.%u", os.major, os.minor);
    } else if (os.minor <= 9) {
        name.append("95");
        if (full && os.build == 1111) name.append(" OSR2");
    } else if (os.minor >= 90) {
        name.append("ME");
    } else {
        name.append("98");
        if (full && os.build == 2222) name.append(" SE");
    }
}

void appendNt5Name(String& name, const OsRecord& os, bool full) {
    switch (os.minor) {
        case 0:
            name.append("2000");
            if (!full) return;
            if (isWorkstation(os))
                name.append(" Professional");
            else if (hasSuite(os, kSuiteEnterprise))
                name.append(" Advanced Server");
            else if (hasSuite(os, kSuiteDatacenter))
                name.append(" Datacenter Server");
            else
                name.append(" Server");
            return;
        case 1:
            name.append("XP");
            if (!full) return;
            name.append(hasSuite(os, kSuitePersonal) ? " Home" : " Professional");
            if (hasSuite(os, kSuiteEmbeddedNt)) name.append(" Embedded");
            if (hasMetric(os, kMetricMediaCenter)) name.append(" Media Center");
            if (hasMetric(os, kMetricStarter)) name.append(" Starter");
            if (hasMetric(os, kMetricTabletPc)) name.append(" Tablet PC");
            return;
        case 2:
            if (hasSuite(os, kSuiteHomeServer)) {
                name.append("Home Server");
            } else if (isWorkstation(os) && os.is64Bit) {
                name.append(full ? "XP Professional" : "XP");
            } else if (!full) {
                name.append("2003");
            } else {
                name.append(hasSuite(os, kSuiteStorageServer) ? "Storage Server 2003"
                                                              : "Server 2003");
                if (hasMetric(os, kMetricServerR2)) name.append(" R2");
                if (hasSuite(os, kSuiteEnterprise)) name.append(" Enterprise");
                if (hasSuite(os, kSuiteDatacenter)) name.append(" Datacenter");
                if (hasSuite(os, kSuiteBlade)) name.append(" Web");
                if (hasSuite(os, kSuiteComputeServer)) name.append(" Compute Cluster");
            }
            return;
        default:
            formatAppend(name, "NT 5.%u", os.minor);
            return;
    }
}

// Vista and 7 servers carry their suite in the name only when the system gave no product
// kind (the edition suffix says it otherwise).
void appendOldServerSuite(String& name, const OsRecord& os) {
    if (os.productKind != 0) return;
    if (hasSuite(os, kSuiteDatacenter))
        name.append(" Datacenter");
    else if (hasSuite(os, kSuiteEnterprise))
        name.append(" Enterprise");
}

void appendNt6Name(String& name, const OsRecord& os, bool full) {
    bool workstation = isWorkstation(os);
    switch (os.minor) {
        case 0:
            if (workstation) {
                name.append("Vista");
                if (full && os.productKind == 0 && hasSuite(os, kSuitePersonal))
                    name.append(" Home");
            } else {
                name.append(full ? "Server 2008" : "2008");
                if (full) appendOldServerSuite(name, os);
            }
            return;
        case 1:
            if (workstation) {
                name.append("7");
            } else {
                name.append(full ? "Server 2008 R2" : "2008");
                if (full) appendOldServerSuite(name, os);
            }
            return;
        case 2:
            name.append(workstation ? "8" : (full ? "Server 2012" : "2012"));
            return;
        case 3:
            if (full)
                name.append(workstation ? "8.1" : "Server 2012 R2");
            else
                name.append(workstation ? "8" : "2012");
            return;
        case 4:
            name.append(full ? "10 alpha" : "10");
            return;
        default:
            if (full)
                formatAppend(name, "NT 6.%u", os.minor);
            else
                name.append("NT6");
            return;
    }
}

void appendNtName(String& name, const OsRecord& os, bool full) {
    if (os.major == 5) return appendNt5Name(name, os, full);
    if (os.major == 6) return appendNt6Name(name, os, full);
    if (os.major == 10 && os.minor == 0) {
        if (isWorkstation(os))
            name.append("10");
        else if (os.build > 17732)
            name.append(full ? "Server 2019" : "2019");
        else
            name.append(full ? "Server 2016" : "2016");
        return;
    }
    formatAppend(name, "NT %u.%u", os.major, os.minor);
}

void appendVersionName(String& name, const OsRecord& os, bool full) {
    switch (os.platform) {
        case kPlatformWin32s:
            formatAppend(name, "%u.%u", os.major, os.minor);
            return;
        case kPlatformWindows9x:
            appendWindows9xName(name, os, full);
            return;
        default:
            appendNtName(name, os, full);
            return;
    }
}

void appendServicePack(String& name, const OsRecord& os) {
    if (os.servicePack.empty() || os.servicePack.getWide(0) == 0) return;
    String text;
    toNarrow(os.servicePack.w_str(), kWholeLength, text, kCodePageSystem, "?");
    if (text.empty()) return;
    if (text.get(0) != ' ') name.appendChar(' ');
    name.append(text);
}

}  // namespace

namespace {

struct Edition {
    uint32_t kind;
    const char* name;
};

// GetProductInfo's product kinds and the suffixes they give the system's name.
constexpr Edition kEditions[] = {
    {1, " Ultimate"},
    {2, " Home Basic"},
    {3, " Home Premium"},
    {4, " Enterprise"},
    {5, " Home Basic N"},
    {6, " Business"},
    {7, " Server Standard"},
    {8, " Datacenter"},
    {9, " Small Business Server"},
    {10, " Enterprise"},
    {11, " Starter"},
    {12, " Datacenter (core)"},
    {13, " Server Standard (core)"},
    {14, " Enterprise (core)"},
    {15, " Enterprise for Itanium"},
    {16, " Business N"},
    {17, " Web Server"},
    {18, " Cluster Server"},
    {20, " Storage Server Express"},
    {21, " Storage Server Standard"},
    {22, " Storage Server Workgroup"},
    {23, " Storage Server Enterprise"},
    {24, " for Windows Essential Server Solutions"},
    {25, " Small Business Server Premium"},
    {26, " Home Premium N"},
    {27, " Enterprise N"},
    {28, " Ultimate N"},
    {29, " Web Server (core)"},
    {30, " Essential Business Server Management Server"},
    {31, " Essential Business Server Security Server"},
    {32, " Essential Business Server Messaging Server"},
    {33, " Server Foundation"},
    {35, " for Windows Essential Server Solutions (without Hyper-V)"},
    {36, " Server Standard (without Hyper-V)"},
    {37, " Server Datacenter (without Hyper-V)"},
    {38, " Server Enterprise (without Hyper-V)"},
    {39, " Server Datacenter (without Hyper-V) (core)"},
    {40, " Server Standard (without Hyper-V) (core)"},
    {41, " Server Enterprise (without Hyper-V) (core)"},
    {42, " Hyper-V Server"},
    {43, " Storage Server Express (core)"},
    {44, " Storage Server Standard (core)"},
    {45, " Storage Server Workgroup (core)"},
    {46, " Storage Server Enterprise (core)"},
    {47, " Starter N"},
    {48, " Professional"},
    {49, " Professional N"},
    {56, " MultiPoint Server"},
    {57, " MultiPoint Server (core)"},
    {63, " Small Business Server Premium (core)"},
    {64, " Cluster Server (without Hyper-V)"},
};

}  // namespace

const char* editionName(uint32_t kind) {
    for (const Edition& edition : kEditions)
        if (edition.kind == kind) return edition.name;
    return "";
}

// The 9x family keeps its major and minor version in the high word of the build number.
uint32_t buildNumber(uint32_t platform, uint32_t reported) {
    return platform == kPlatformWindows9x ? (reported & 0xFFFF) : reported;
}

String osName(const OsRecord& os, uint32_t options) {
    String name;
    if (options & kOsNameShort) {
        appendVersionName(name, os, false);
        return name;
    }
    if (!os.wineVersion.empty()) {
        name.appendAll({"WINE ", os.wineVersion.c_str(), " reporting as "});
    }
    name.append("Windows ");
    appendVersionName(name, os, true);
    if (!(options & kOsNameNoEdition)) {
        if (os.major > 5) name.append(editionName(os.productKind));
        if (os.is64Bit) name.append(" x64");
    }
    if (!(options & kOsNameNoServicePack)) appendServicePack(name, os);
    bool ntWorkstation10 =
        os.platform == kPlatformNt && os.major == 10 && os.minor == 0 && isWorkstation(os);
    if (ntWorkstation10 && !os.releaseNumber.empty())
        name.appendAll({" ", os.releaseNumber.c_str()});
    name.trim(" \t\r\n");
    return name;
}

int osCodeNumber(const OsRecord& os) {
    if (os.platform != kPlatformNt) return 0;
    bool workstation = isWorkstation(os);
    if (os.major == 5 && os.minor == 1) return 20;
    if (os.major == 5 && os.minor == 2) {
        if (hasSuite(os, kSuiteHomeServer)) return 28;
        if (workstation) return os.is64Bit ? 24 : 20;
        return hasMetric(os, kMetricServerR2) ? 26 : 22;
    }
    if (os.major == 6) {
        switch (os.minor) {
            case 0:
                return workstation ? 30 : 32;
            case 1:
                return workstation ? 36 : 34;
            case 2:
                return workstation ? 40 : 42;
            case 3:
                return workstation ? 44 : 46;
            case 4:
                return 48;
            default:
                return 0;
        }
    }
    if (os.major == 10 && os.minor == 0) {
        if (workstation) return 48;
        return os.build < 17733 ? 50 : 52;
    }
    return 0;
}

}  // namespace tessarin
