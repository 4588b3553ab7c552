// System names and code numbers made from recorded version records.
#include "core/os_info.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

struct Recorded {
    const char* label;
    uint32_t platform, major, minor, build;
    uint8_t productType;
    uint16_t suite;
    uint32_t productKind;
    bool is64Bit;
    uint8_t metrics;
    const char16_t* servicePack;
    const char* release;
    const char* full;
    const char* shortName;
    int code;
};

OsRecord record(const Recorded& r) {
    OsRecord os;
    os.platform = r.platform;
    os.major = r.major;
    os.minor = r.minor;
    os.build = r.build;
    os.productType = r.productType;
    os.suiteMask = r.suite;
    os.productKind = r.productKind;
    os.is64Bit = r.is64Bit;
    os.metrics = r.metrics;
    os.servicePack = String(r.servicePack);
    os.releaseNumber = r.release;
    return os;
}

constexpr uint8_t W = kProductWorkstation;
constexpr uint8_t S = kProductServer;

const Recorded kSystems[] = {
    {"Windows 95 OSR2", 1, 4, 0, 1111, W, 0, 0, false, 0, u"", "", "Windows 95 OSR2", "95", 0},
    {"Windows 98 SE", 1, 4, 10, 2222, W, 0, 0, false, 0, u" A ", "", "Windows 98 SE A", "98", 0},
    {"Windows ME", 1, 4, 90, 3000, W, 0, 0, false, 0, u"", "", "Windows ME", "ME", 0},
    {"Windows 2000", 2, 5, 0, 2195, W, 0, 0, false, 0, u"Service Pack 4", "",
     "Windows 2000 Professional Service Pack 4", "2000", 0},
    {"2000 Datacenter", 2, 5, 0, 2195, S, kSuiteDatacenter, 0, false, 0, u"", "",
     "Windows 2000 Datacenter Server", "2000", 0},
    {"XP Home", 2, 5, 1, 2600, W, kSuitePersonal, 0, false, 0, u"Service Pack 3", "",
     "Windows XP Home Service Pack 3", "XP", 20},
    {"XP Media Center", 2, 5, 1, 2600, W, 0, 0, false, kMetricMediaCenter, u"", "",
     "Windows XP Professional Media Center", "XP", 20},
    {"XP x64", 2, 5, 2, 3790, W, 0, 0, true, 0, u"Service Pack 2", "",
     "Windows XP Professional x64 Service Pack 2", "XP", 24},
    {"Server 2003 R2", 2, 5, 2, 3790, S, kSuiteEnterprise, 0, false, kMetricServerR2, u"", "",
     "Windows Server 2003 R2 Enterprise", "2003", 26},
    {"Server 2003", 2, 5, 2, 3790, S, kSuiteBlade, 0, false, 0, u"", "", "Windows Server 2003 Web",
     "2003", 22},
    {"Home Server", 2, 5, 2, 3790, S, kSuiteHomeServer, 0, false, 0, u"", "", "Windows Home Server",
     "Home Server", 28},
    {"Vista", 2, 6, 0, 6002, W, 0, 3, false, 0, u"Service Pack 2", "",
     "Windows Vista Home Premium Service Pack 2", "Vista", 30},
    {"Server 2008", 2, 6, 0, 6001, S, kSuiteEnterprise, 0, true, 0, u"", "",
     "Windows Server 2008 Enterprise x64", "2008", 32},
    {"Windows 7", 2, 6, 1, 7601, W, 0, 1, true, 0, u"Service Pack 1", "",
     "Windows 7 Ultimate x64 Service Pack 1", "7", 36},
    {"Server 2008 R2", 2, 6, 1, 7601, S, 0, 8, true, 0, u"", "",
     "Windows Server 2008 R2 Datacenter x64", "2008", 34},
    {"Windows 8", 2, 6, 2, 9200, W, 0, 48, false, 0, u"", "", "Windows 8 Professional", "8", 40},
    {"Server 2012", 2, 6, 2, 9200, S, 0, 7, true, 0, u"", "",
     "Windows Server 2012 Server Standard x64", "2012", 42},
    {"Windows 8.1", 2, 6, 3, 9600, W, 0, 0, true, 0, u"", "", "Windows 8.1 x64", "8", 44},
    {"Server 2012 R2", 2, 6, 3, 9600, S, 0, 0, true, 0, u"", "", "Windows Server 2012 R2 x64",
     "2012", 46},
    {"Windows 10", 2, 10, 0, 19045, W, 0, 48, true, 0, u"", "2009",
     "Windows 10 Professional x64 2009", "10", 48},
    {"Server 2016", 2, 10, 0, 14393, S, 0, 7, true, 0, u"", "1607",
     "Windows Server 2016 Server Standard x64", "2016", 50},
    {"Server 2016 last build", 2, 10, 0, 17732, S, 0, 0, true, 0, u"", "",
     "Windows Server 2016 x64", "2016", 50},
    {"Server 2019", 2, 10, 0, 17733, S, 0, 0, true, 0, u"", "", "Windows Server 2019 x64", "2019",
     52},
    {"unknown NT 6", 2, 6, 9, 1, W, 0, 0, false, 0, u"", "", "Windows NT 6.9", "NT6", 0},
    {"unknown NT", 2, 11, 2, 1, W, 0, 0, false, 0, u"", "", "Windows NT 11.2", "NT 11.2", 0},
    {"Win32s", 0, 3, 11, 1, W, 0, 0, false, 0, u"", "", "Windows 3.11", "3.11", 0},
};

TEST(OsName, NamesEveryKnownSystemInFullAndShortForm) {
    for (const Recorded& r : kSystems) {
        OsRecord os = record(r);
        EXPECT_STREQ(osName(os, 0).c_str(), r.full) << r.label;
        EXPECT_STREQ(osName(os, kOsNameShort).c_str(), r.shortName) << r.label;
        EXPECT_EQ(osCodeNumber(os), r.code) << r.label;
    }
}

TEST(OsName, OptionsLeaveOutServicePackAndEdition) {
    OsRecord os = record(kSystems[13]);  // Windows 7 Ultimate x64 SP1
    EXPECT_STREQ(osName(os, kOsNameNoServicePack).c_str(), "Windows 7 Ultimate x64");
    EXPECT_STREQ(osName(os, kOsNameNoEdition).c_str(), "Windows 7 Service Pack 1");
    EXPECT_STREQ(osName(os, kOsNameNoEdition | kOsNameNoServicePack).c_str(), "Windows 7");
}

TEST(OsName, WineNamesItselfFirstButNotInTheShortForm) {
    OsRecord os = record(kSystems[19]);  // Windows 10 Professional x64 2009
    os.wineVersion = "8.0.2";
    EXPECT_STREQ(osName(os, 0).c_str(), "WINE 8.0.2 reporting as Windows 10 Professional x64 2009");
    EXPECT_STREQ(osName(os, kOsNameShort).c_str(), "10");
}

TEST(OsName, ReleaseNumberOnlyForWindows10Workstations) {
    OsRecord server = record(kSystems[20]);  // Server 2016 with release 1607
    EXPECT_EQ(osName(server, 0).c_str(), std::string("Windows Server 2016 Server Standard x64"));
}

TEST(OsName, EditionTableCoversTheNamedKindsOnly) {
    EXPECT_STREQ(editionName(4), " Enterprise");
    EXPECT_STREQ(editionName(10), " Enterprise");
    EXPECT_STREQ(editionName(64), " Cluster Server (without Hyper-V)");
    EXPECT_STREQ(editionName(19), "");
    EXPECT_STREQ(editionName(34), "");
    EXPECT_STREQ(editionName(0xABCDEF), "");
}

// The 9x family reports its version again in the build number's high word (4.10 build 2222 as
// 0x040A08AE); only the low word is the build.
TEST(OsName, NinetyEightBuildNumberIsTheLowWordOfWhatTheSystemReports) {
    OsRecord os = record(kSystems[1]);  // Windows 98 SE
    os.build = buildNumber(kPlatformWindows9x, 0x040A08AEu);
    EXPECT_EQ(os.build, 2222u);
    EXPECT_STREQ(osName(os, kOsNameNoServicePack).c_str(), "Windows 98 SE");
    EXPECT_EQ(buildNumber(kPlatformNt, 0x040A08AEu), 0x040A08AEu);
}

TEST(OsName, VistaHomeOnlyWithoutProductKind) {
    OsRecord os = record(kSystems[11]);
    os.productKind = 0;
    os.suiteMask = kSuitePersonal;
    os.servicePack = String(u"");
    EXPECT_STREQ(osName(os, 0).c_str(), "Windows Vista Home");
}

}  // namespace
}  // namespace tessarin
