// The ".setup" payload format, shared by the installer (reader) and tessarin-build (writer).
#pragma once

#include <cstdint>

namespace tessarin {

inline constexpr uint32_t kPayloadMagic = 0xA4F23DE5u;
inline constexpr const char* kBuilderVersion = "37.0.2";
inline constexpr int32_t kMaxScriptPackedSize = 0x31FFFFF;
inline constexpr int32_t kMaxStoredFileSize = 0x40000000;
inline constexpr const char* kSetupSectionName = ".setup";

// ProductFlags2 bits of the container.
inline constexpr uint32_t kFlags2CutSetupSection = 0x20;
inline constexpr uint32_t kFlags2Enciphered = 0x1000;
// ProductFlags bits of the container (low word 0x20: zlib data blocks; high word 0x1:
// ImageCheck is checked).
inline constexpr uint64_t kFlagsCompressedBlocks = 0x20;
inline constexpr uint64_t kFlagsCheckImage = 0x1ull << 32;

// Record kind whose record carries the installer user-interface level.
inline constexpr int32_t kKindInstallerPackage = 11;
inline constexpr int32_t kDateRecordSize = 24;

// Corruption codes.
enum PayloadCode : int {
    kCodeOk = 0,
    // Not a corruption: the stored data area could not be read from the executable (its own
    // fatal message, "Error code 2: failed to read archive data").
    kCodeDataRead = 2,
    kCodeSectionOffsetZero = 9,
    kCodeSectionSeek = 10,
    kCodeMagic = 20,
    kCodeScriptSize = 22,
    kCodeScriptCheck = 25,
    kCodeFileCount = 27,
    kCodeFileSize = 28,
    kCodeDataSize = 29,
    kCodeImageRead = 35,
    kCodeImageCheck = 40,
    kCodeTailRead = 42,
    kCodePeOffset = 43,
    kCodeSectionCount = 44,
    kCodeDataEnd = 45,
    kCodeDataLength = 46,
    kCodeScriptInflate = 47,
    kCodeDataCheck = 55,
    kCodeBlockInflate = 60,
    kCodeBlockLength = 61,
    kCodeBlockCheck = 62,
    kCodeBlockOverrun = 63,
    kCodeEmptyName = 70,
    kCodeStoredSizeNegative = 71,
    kCodeStoredSizeLarge = 72,
    kCodeFileDataCheck = 100,
};

}  // namespace tessarin
