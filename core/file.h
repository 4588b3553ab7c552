// File: the library's file object. A thin owner of a Win32 file handle with the installer's
// open policy (name kinds, sharing retries, error codes), checked reads and writes that keep a
// failure message, and an optional memory mode that works on an in-memory image of the file.
//
// The error table and the flag constants are portable (file.cpp); the object itself is
// implemented for Windows only (file_win.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace tessarin {

// Result codes of File::open; their messages come from fileErrorText().
enum FileError : int {
    kFileOk = 0,
    kFileErrorUnknown = 1,
    kFileErrorInvalidName = 2,
    kFileErrorNotFound = 3,
    kFileErrorNoDirectory = 4,
    kFileErrorLocked = 5,
    kFileErrorReadFailed = 6,
    kFileErrorWriteFailed = 7,
    kFileErrorTooManyOpen = 8,
    kFileErrorInvalidParameter = 9,
    kFileErrorExists = 10,
    kFileErrorTooManyIndexed = 11,
    kFileErrorAccessDenied = 12,
    kFileErrorReadOnly = 13,
    kFileErrorCorrupted = 14,
    kFileErrorDeleteFailed = 15,
    kFileErrorTooLarge = 16,
    kFileErrorAborted = 17,
    kFileErrorCreateDirectory = 18,
    kFileErrorNetworkPath = 19,
    kFileErrorNotReady = 20,
    kFileErrorNoDrive = 21,
    kFileErrorEraseVerify = 22,
};

// The message of a FileError code; unknown codes share the message of code 1.
const char* fileErrorText(int code);

// Open flags. Bits 0-1 choose the creation mode.
inline constexpr uint32_t kFileOpenAlways = 0;
inline constexpr uint32_t kFileOpenExisting = 1;
inline constexpr uint32_t kFileCreateNew = 2;
inline constexpr uint32_t kFileCreateAlways = 3;
inline constexpr uint32_t kFileCreationMask = 3;
inline constexpr uint32_t kFileNoRead = 0x8;
inline constexpr uint32_t kFileNoWrite = 0x10;
inline constexpr uint32_t kFileRequired = 0x20;   // failure raises the fatal error
inline constexpr uint32_t kFileRetryOnce = 0x40;  // retry once after 150 ms on any error
inline constexpr uint32_t kFileMemory = 0x80;     // work on an in-memory image
inline constexpr uint32_t kFileShareRead = 0x100;
inline constexpr uint32_t kFileShareWrite = 0x200;
inline constexpr uint32_t kFileSeekEnd = 0x400;
inline constexpr uint32_t kFileCloseAfterOpen = 0x800;
inline constexpr uint32_t kFileNoSharingRetry = 0x1000;
inline constexpr uint32_t kFileWideName = 0x2000;  // the name argument is UTF-16
// The top three bits say how the name argument becomes the file name.
inline constexpr uint32_t kFileNameKindMask = 0xE0000000;
inline constexpr uint32_t kFileNameAsGiven = 0;
inline constexpr uint32_t kFileNewTemp = 0x20000000;          // name ignored
inline constexpr uint32_t kFileNewTempInFolder = 0x40000000;  // name is the folder
inline constexpr uint32_t kFileInTempFolder = 0x60000000;     // name relative to the temp folder
inline constexpr uint32_t kFileNewTempBeside = 0x80000000;    // in the folder of the given path
inline constexpr uint32_t kFileNewTempWithExtension = 0xA0000000;  // name is the extension

inline constexpr uint32_t kFileAttributeNormal = 0x80;  // FILE_ATTRIBUTE_NORMAL

class File {
  public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { close(); }

    // Opens name (8-bit path form, or UTF-16 with kFileWideName) and returns a FileError code;
    // the Windows last error stays as the failing call left it. attributes go to CreateFileW.
    int open(const void* name, uint32_t flags, uint32_t attributes = kFileAttributeNormal);
    int open(const char16_t* name, uint32_t flags, uint32_t attributes = kFileAttributeNormal) {
        return open(static_cast<const void*>(name), flags | kFileWideName, attributes);
    }
    // As open, and a failure leaves the code's message in message(); with kFileRequired a
    // failure raises "Failed to open required file:\r\n<name>\r\n\r\n<message>".
    int openRequired(const char* name, uint32_t flags, uint32_t attributes = kFileAttributeNormal);
    int openRequired(const char16_t* name, uint32_t flags,
                     uint32_t attributes = kFileAttributeNormal);
    // Writes back a changed memory image, unlocks the regions locked here, closes the handle.
    void close();

    bool isOpen() const { return handle_ != nullptr; }
    bool readable() const { return readable_; }
    bool writable() const { return writable_; }
    bool memoryMode() const { return memory_; }
    const String& name() const { return name_; }          // 8-bit path form
    const String& wideName() const { return wideName_; }  // UTF-16
    // The last read or write failure; kept across close.
    const String& message() const { return message_; }
    static const char* errorText(int code) { return fileErrorText(code); }

    // Reads and writes fail with a text in message(). In memory mode they work on the image.
    bool read(void* buffer, int32_t n);         // exactly n bytes
    int32_t readSome(void* buffer, int32_t n);  // up to n bytes; the count read
    bool readAll(String& target);               // the whole file, from the start
    bool readRange(String& target, int64_t offset, int32_t n);
    bool write(const void* buffer, int32_t n);
    bool write(const String& data) { return write(data.c_str(), data.length()); }
    bool writeAll(const String& data);  // replaces the whole content
    // Copies count bytes from offset to the target's current position.
    bool copyTo(File& target, int64_t offset, int64_t count);

    // Positions and sizes are -1 on failure (ERROR_INVALID_HANDLE when closed; the 32-bit
    // forms ERROR_ARITHMETIC_OVERFLOW when the value does not fit). size() keeps the position.
    int64_t position();
    int32_t position32();
    bool seek(int64_t offset);
    bool seek32(int32_t offset) { return seek(static_cast<int64_t>(offset)); }
    bool seekRelative(int64_t delta);
    bool seekFromEnd(int64_t offset);  // to size + offset (offset is usually 0 or negative)
    int64_t size();
    int32_t size32();
    bool atEnd();  // the position is outside 0 <= position < size

    // FILETIME values as 64-bit numbers.
    // Creation and last-write time in one call, without the flush of setLastWriteTime: for a
    // file written through this object outside memory mode, whose writes go straight to the
    // system (a time set through the handle is not changed again by the writes before it).
    bool setCreationAndWriteTime(uint64_t creation, uint64_t write);
    bool setCreationTime(uint64_t time);
    bool setLastAccessTime(uint64_t time);
    bool setLastWriteTime(uint64_t time);
    bool flush();

    // Regions locked here are unlocked by close(). Lengths must be positive.
    bool lockRegion(int64_t offset, int64_t length);
    bool unlockRegion(int64_t offset, int64_t length);

  private:
    struct Region {
        int64_t offset;
        int64_t length;
    };

    int attemptOpen(uint32_t flags, uint32_t attributes);
    int finishOpen(uint32_t flags);
    void reportOpenFailure(int code, uint32_t flags);
    bool loadImage();
    bool writeBack();
    bool truncateHere();
    bool checkAccess(bool allowed, const char* deniedText);
    bool canRead();
    bool canWrite();
    bool readFromImage(void* buffer, int32_t n);
    bool writeToImage(const void* buffer, int32_t n);
    bool writePieces(const uint8_t* data, int32_t n);
    bool seekTo(int64_t offset, uint32_t method);
    bool seekHandle(int64_t offset, uint32_t method, int64_t* result = nullptr);
    bool setTime(const uint64_t* creation, const uint64_t* access, const uint64_t* write);
    void fail(const char* text) { message_.assign(text); }
    void failWithSystemText();

    void* handle_ = nullptr;
    bool readable_ = false;
    bool writable_ = false;
    bool memory_ = false;
    bool dirty_ = false;
    String image_;
    int64_t imagePosition_ = 0;
    String name_;
    String wideName_;
    String message_;
    std::vector<Region> locks_;
};

// The pause between open attempts (a sharing violation, or the one retry of kFileRetryOnce).
// Tests replace it to count the retries without waiting; returns the previous function.
using FileRetrySleep = void (*)(uint32_t milliseconds);
FileRetrySleep setFileRetrySleep(FileRetrySleep sleep);

}  // namespace tessarin
