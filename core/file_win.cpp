#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/chars.h"
#include "core/convert.h"
#include "core/fatal.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/path.h"
#include "core/system_error.h"
#include "core/wide_win.h"

namespace tessarin {
namespace {

constexpr int kSharingRetries = 5;
constexpr DWORD kSharingPauseMs = 100;
constexpr DWORD kRetryOncePauseMs = 150;
constexpr int32_t kWritePiece = 1 << 20;
constexpr int32_t kCopyBlock = 4096;

void systemSleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

FileRetrySleep retrySleep = systemSleep;

HANDLE handleOf(void* h) {
    return static_cast<HANDLE>(h);
}

// ---- Names -------------------------------------------------------------------------------

// The folder of a path for a new temporary file beside it; a bare name lies in the current
// folder.
String folderOf(const String& path) {
    String folder = parentFolder(path);
    return folder.empty() ? String(u".") : folder;
}

bool isNewTempKind(uint32_t kind) {
    return kind == kFileNewTemp || kind == kFileNewTempInFolder || kind == kFileNewTempBeside ||
           kind == kFileNewTempWithExtension;
}

// The UTF-16 file name the name kind makes of the given name.
bool buildName(const String& given, uint32_t kind, String& name) {
    switch (kind) {
        case kFileNewTemp:
            name = temporaryFileName();
            break;
        case kFileNewTempInFolder:
            name = temporaryFileName(given);
            break;
        case kFileInTempFolder:
            name = joinPath(temporaryFolder(), given);
            break;
        case kFileNewTempBeside:
            name = temporaryFileName(folderOf(given));
            break;
        case kFileNewTempWithExtension:
            name = temporaryFileName(String(), given);
            break;
        default:
            name = given;
            break;
    }
    return !name.empty();
}

// The name argument as UTF-16; false when it is missing, empty or not convertible.
bool nameArgument(const void* name, uint32_t flags, String& wide) {
    if (name == nullptr) return false;
    if (flags & kFileWideName) {
        wide.assignWide(static_cast<const char16_t*>(name));
    } else if (!pathToWide(static_cast<const char*>(name), kWholeLength, wide)) {
        return false;
    }
    return !wide.empty();
}

// ---- Open policy -------------------------------------------------------------------------

DWORD accessFor(uint32_t flags) {
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    if (flags & kFileNoRead) access &= ~GENERIC_READ;
    if (flags & kFileNoWrite) access &= ~GENERIC_WRITE;
    return access;
}

DWORD sharingFor(uint32_t flags, DWORD access) {
    DWORD share = 0;
    if (flags & kFileShareRead) share |= FILE_SHARE_READ;
    if (flags & kFileShareWrite) share |= FILE_SHARE_WRITE;
    if (access == GENERIC_WRITE && (share & FILE_SHARE_WRITE)) share |= FILE_SHARE_READ;
    if (access == GENERIC_READ && (share & FILE_SHARE_READ)) share |= FILE_SHARE_WRITE;
    return share;
}

DWORD creationFor(uint32_t flags) {
    switch (flags & kFileCreationMask) {
        case kFileOpenExisting:
            return OPEN_EXISTING;
        case kFileCreateNew:
            return CREATE_NEW;
        case kFileCreateAlways:
            return CREATE_ALWAYS;
        default:
            return OPEN_ALWAYS;
    }
}

// The pause before the next attempt after a failed one, 0 to give up. retries counts the
// attempts already repeated.
DWORD retryPause(uint32_t flags, DWORD error, int retries) {
    if ((flags & kFileRetryOnce) && retries == 0) return kRetryOncePauseMs;
    if (error != ERROR_SHARING_VIOLATION || (flags & kFileNoSharingRetry)) return 0;
    return retries < kSharingRetries ? kSharingPauseMs : 0;
}

bool hasReadOnlyAttribute(const String& name) {
    DWORD attributes = GetFileAttributesW(win(name));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

int classifyOpenError(DWORD error, const String& name, bool wantedWrite) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return kFileErrorNotFound;
        case ERROR_PATH_NOT_FOUND:
            return name.getWide(1) == u':' && isAsciiLetter(name.getWide(0)) &&
                           !driveExists(name.getWide(0))
                       ? kFileErrorNoDrive
                       : kFileErrorNoDirectory;
        case ERROR_INVALID_DRIVE:
            return kFileErrorNoDrive;
        case ERROR_TOO_MANY_OPEN_FILES:
            return kFileErrorTooManyOpen;
        case ERROR_ACCESS_DENIED:
            return wantedWrite && hasReadOnlyAttribute(name) ? kFileErrorReadOnly
                                                             : kFileErrorAccessDenied;
        case ERROR_NOT_READY:
            return kFileErrorNotReady;
        case ERROR_SHARING_VIOLATION:
            return kFileErrorLocked;
        case ERROR_REM_NOT_LIST:
        case ERROR_BAD_NETPATH:
        case ERROR_NETNAME_DELETED:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_BAD_NET_NAME:
        case ERROR_NO_NET_OR_BAD_PATH:
            return kFileErrorNetworkPath;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return kFileErrorExists;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return kFileErrorInvalidName;
        case ERROR_INVALID_PARAMETER:
            return kFileErrorInvalidParameter;
        default:
            return kFileErrorUnknown;
    }
}

// Maps the error of a failed open to a FileError code; the checks it makes on the way do not
// change the thread's last error.
int openErrorCode(DWORD error, const String& name, bool wantedWrite) {
    int code = classifyOpenError(error, name, wantedWrite);
    SetLastError(error);
    return code;
}

int32_t narrowed(int64_t value) {
    if (value > INT32_MAX) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return -1;
    }
    return static_cast<int32_t>(value);
}

bool changeLock(void* handle, bool lock, int64_t offset, int64_t length) {
    if (handle == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (offset < 0 || length <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ULARGE_INTEGER o, n;
    o.QuadPart = static_cast<ULONGLONG>(offset);
    n.QuadPart = static_cast<ULONGLONG>(length);
    return (lock ? LockFile : UnlockFile)(handleOf(handle), o.LowPart, o.HighPart, n.LowPart,
                                          n.HighPart) != 0;
}

}  // namespace

// ---- Opening and closing -----------------------------------------------------------------

int File::open(const void* name, uint32_t flags, uint32_t attributes) {
    close();
    name_.clear();
    wideName_.clear();
    uint32_t kind = flags & kFileNameKindMask;
    String given;
    if (!nameArgument(name, flags, given) && kind != kFileNewTemp) {
        SetLastError(ERROR_INVALID_NAME);
        return kFileErrorInvalidName;
    }
    wideName_ = given;
    wideToPath(given.w_str(), given.wideLength(), name_);
    if (!buildName(given, kind, wideName_)) {
        return openErrorCode(GetLastError(), given, false);
    }
    wideToPath(wideName_.w_str(), wideName_.wideLength(), name_);
    if (isNewTempKind(kind)) flags = (flags & ~kFileCreationMask) | kFileCreateAlways;
    return attemptOpen(flags, attributes);
}

int File::attemptOpen(uint32_t flags, uint32_t attributes) {
    DWORD access = accessFor(flags);
    DWORD share = sharingFor(flags, access);
    DWORD creation = creationFor(flags);
    for (int retries = 0;; ++retries) {
        HANDLE h =
            CreateFileW(win(wideName_), access, share, nullptr, creation, attributes, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = h;
            readable_ = (access & GENERIC_READ) != 0;
            writable_ = (access & GENERIC_WRITE) != 0;
            return finishOpen(flags);
        }
        DWORD error = GetLastError();
        DWORD pause = retryPause(flags, error, retries);
        if (pause == 0) return openErrorCode(error, wideName_, (access & GENERIC_WRITE) != 0);
        retrySleep(pause);
    }
}

int File::finishOpen(uint32_t flags) {
    if ((flags & kFileMemory) && !loadImage()) {
        DWORD error = GetLastError();
        close();
        SetLastError(error);
        return kFileErrorReadFailed;
    }
    if (flags & kFileSeekEnd) seekFromEnd(0);
    if (flags & kFileCloseAfterOpen) close();
    return kFileOk;
}

int File::openRequired(const char* name, uint32_t flags, uint32_t attributes) {
    int code = open(static_cast<const void*>(name), flags & ~kFileWideName, attributes);
    if (code != kFileOk) reportOpenFailure(code, flags);
    return code;
}

int File::openRequired(const char16_t* name, uint32_t flags, uint32_t attributes) {
    int code = open(name, flags, attributes);
    if (code != kFileOk) reportOpenFailure(code, flags);
    return code;
}

void File::reportOpenFailure(int code, uint32_t flags) {
    message_.assign(fileErrorText(code));
    if (flags & kFileRequired) {
        String text = format("Failed to open required file:\r\n%s\r\n\r\n%s", name_.c_str(),
                             message_.c_str());
        fatalError(text.c_str());
    }
}

void File::close() {
    if (memory_) {
        if (dirty_) writeBack();
        image_.clear();
        imagePosition_ = 0;
        memory_ = dirty_ = false;
    }
    if (handle_ != nullptr) {
        for (const Region& r : locks_) changeLock(handle_, false, r.offset, r.length);
        CloseHandle(handleOf(handle_));
    }
    locks_.clear();
    handle_ = nullptr;
    readable_ = writable_ = false;
}

// ---- Memory image ------------------------------------------------------------------------

bool File::loadImage() {
    int64_t start = position();
    int64_t total = size();
    if (start < 0 || total < 0) return false;
    String image;
    if (total > INT32_MAX || !image.trySetLength(static_cast<int32_t>(total))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    DWORD got = 0;
    if (!seekHandle(0, FILE_BEGIN)) return false;
    if (total > 0 &&
        (!ReadFile(handleOf(handle_), image.data(), static_cast<DWORD>(total), &got, nullptr) ||
         got != total)) {
        return false;
    }
    if (!seekHandle(start, FILE_BEGIN)) return false;
    image_ = std::move(image);
    imagePosition_ = start;
    memory_ = true;
    dirty_ = false;
    return true;
}

bool File::writeBack() {
    return seekHandle(0, FILE_BEGIN) && writePieces(image_.bytes(), image_.length()) &&
           SetEndOfFile(handleOf(handle_));
}

bool File::readFromImage(void* buffer, int32_t n) {
    if (image_.length() - imagePosition_ < n) {
        fail("Read past end of file");
        return false;
    }
    std::memcpy(buffer, image_.bytes() + imagePosition_, static_cast<size_t>(n));
    imagePosition_ += n;
    return true;
}

bool File::writeToImage(const void* buffer, int32_t n) {
    int64_t end = imagePosition_ + n;
    int32_t old = image_.length();
    if (end > INT32_MAX || (end > old && !image_.trySetLength(static_cast<int32_t>(end)))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        failWithSystemText();
        return false;
    }
    if (imagePosition_ > old) {
        std::memset(image_.data() + old, 0, static_cast<size_t>(imagePosition_ - old));
    }
    std::memcpy(image_.data() + imagePosition_, buffer, static_cast<size_t>(n));
    imagePosition_ = end;
    dirty_ = true;
    return true;
}

// ---- Reading and writing -----------------------------------------------------------------

void File::failWithSystemText() {
    DWORD error = GetLastError();
    message_ = systemErrorText8(error);
    SetLastError(error);
}

// Reads and writes first need the access asked for at open, then an open handle.
bool File::checkAccess(bool allowed, const char* deniedText) {
    if (!allowed || !isOpen()) {
        if (!isOpen()) SetLastError(ERROR_INVALID_HANDLE);
        fail(allowed ? "File not open" : deniedText);
        return false;
    }
    return true;
}

bool File::canRead() {
    return checkAccess(readable_, "Read access denied");
}

bool File::canWrite() {
    return checkAccess(writable_, "Write access denied");
}

bool File::read(void* buffer, int32_t n) {
    if (n == 0) return true;
    if (n < 0) {
        fail(format("Illegal block size %d", n).c_str());
        return false;
    }
    if (buffer == nullptr) {
        fail("read(NULL)");
        return false;
    }
    if (!canRead()) return false;
    if (memory_) return readFromImage(buffer, n);
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), buffer, static_cast<DWORD>(n), &got, nullptr)) {
        failWithSystemText();
        return false;
    }
    if (got < static_cast<DWORD>(n)) {
        fail("Read past end of file");
        return false;
    }
    return true;
}

int32_t File::readSome(void* buffer, int32_t n) {
    if (n <= 0) {
        fail(format("Illegal block size %d", n).c_str());
        return 0;
    }
    if (buffer == nullptr) {
        fail("NULL block pointer");
        return 0;
    }
    if (!canRead()) return 0;
    if (memory_) {
        int32_t available =
            static_cast<int32_t>(std::clamp<int64_t>(image_.length() - imagePosition_, 0, n));
        return readFromImage(buffer, available) ? available : 0;
    }
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), buffer, static_cast<DWORD>(n), &got, nullptr)) {
        failWithSystemText();
        return 0;
    }
    return static_cast<int32_t>(got);
}

bool File::readAll(String& target) {
    return readRange(target, 0, size32());
}

bool File::readRange(String& target, int64_t offset, int32_t n) {
    int64_t total = size();
    if (offset < 0 || n < 0 || total < 0 || offset + n > total || !seek(offset)) return false;
    String data;
    data.setExactLength(n);
    if (!read(data.data(), n)) return false;
    target = std::move(data);
    return true;
}

bool File::write(const void* buffer, int32_t n) {
    if (n == 0) return true;
    if (n < 0) {
        fail("Illegal write size");
        return false;
    }
    if (!canWrite()) return false;
    if (memory_) return writeToImage(buffer, n);
    return writePieces(static_cast<const uint8_t*>(buffer), n);
}

bool File::writePieces(const uint8_t* data, int32_t n) {
    while (n > 0) {
        DWORD piece = static_cast<DWORD>(std::min(n, kWritePiece));
        DWORD done = 0;
        if (!WriteFile(handleOf(handle_), data, piece, &done, nullptr)) {
            failWithSystemText();
            return false;
        }
        if (done < piece) {
            fail("Not all data could be written");
            return false;
        }
        data += piece;
        n -= static_cast<int32_t>(piece);
    }
    return true;
}

bool File::truncateHere() {
    if (!memory_) return SetEndOfFile(handleOf(handle_)) != 0;
    image_.setLength(static_cast<int32_t>(imagePosition_));
    dirty_ = true;
    return true;
}

bool File::writeAll(const String& data) {
    return canWrite() && seek(0) && write(data) && truncateHere();
}

bool File::copyTo(File& target, int64_t offset, int64_t count) {
    if (offset < 0 || count < 0 || !seek(offset)) return false;
    char block[kCopyBlock];
    while (count > 0) {
        int32_t piece = static_cast<int32_t>(std::min<int64_t>(count, kCopyBlock));
        if (!read(block, piece) || !target.write(block, piece)) return false;
        count -= piece;
    }
    return true;
}

// ---- Positions ---------------------------------------------------------------------------

bool File::seekHandle(int64_t offset, uint32_t method, int64_t* result) {
    if (!isOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    LARGE_INTEGER distance, moved;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handleOf(handle_), distance, &moved, method)) return false;
    if (result) *result = moved.QuadPart;
    return true;
}

bool File::seekTo(int64_t offset, uint32_t method) {
    if (!memory_) return seekHandle(offset, method);
    int64_t base = method == FILE_BEGIN     ? 0
                   : method == FILE_CURRENT ? imagePosition_
                                            : image_.length();
    if (base + offset < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return false;
    }
    imagePosition_ = base + offset;
    return true;
}

bool File::seek(int64_t offset) {
    return seekTo(offset, FILE_BEGIN);
}
bool File::seekRelative(int64_t delta) {
    return seekTo(delta, FILE_CURRENT);
}
bool File::seekFromEnd(int64_t offset) {
    return seekTo(offset, FILE_END);
}

int64_t File::position() {
    if (memory_) return imagePosition_;
    int64_t at = -1;
    return seekHandle(0, FILE_CURRENT, &at) ? at : -1;
}

int32_t File::position32() {
    return narrowed(position());
}

int64_t File::size() {
    if (memory_) return image_.length();
    int64_t at = 0, end = -1;
    if (!seekHandle(0, FILE_CURRENT, &at) || !seekHandle(0, FILE_END, &end)) return -1;
    return seekHandle(at, FILE_BEGIN) ? end : -1;
}

int32_t File::size32() {
    return narrowed(size());
}

bool File::atEnd() {
    int64_t at = position();
    return !(at >= 0 && at < size());
}

// ---- Times, flushing, locks --------------------------------------------------------------

bool File::setTime(const uint64_t* creation, const uint64_t* access, const uint64_t* write) {
    if (!isOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    FILETIME times[3] = {};
    const uint64_t* values[3] = {creation, access, write};
    for (int i = 0; i < 3; ++i) {
        if (values[i] == nullptr) continue;
        times[i].dwLowDateTime = static_cast<DWORD>(*values[i]);
        times[i].dwHighDateTime = static_cast<DWORD>(*values[i] >> 32);
    }
    return SetFileTime(handleOf(handle_), creation ? &times[0] : nullptr,
                       access ? &times[1] : nullptr, write ? &times[2] : nullptr) != 0;
}

bool File::setCreationAndWriteTime(uint64_t creation, uint64_t write) {
    return setTime(&creation, nullptr, &write);
}

bool File::setCreationTime(uint64_t time) {
    return setTime(&time, nullptr, nullptr);
}
bool File::setLastAccessTime(uint64_t time) {
    return setTime(nullptr, &time, nullptr);
}

// Pending writes would otherwise stamp the file again after the time was set.
bool File::setLastWriteTime(uint64_t time) {
    return flush() && setTime(nullptr, nullptr, &time);
}

bool File::flush() {
    if (!isOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return FlushFileBuffers(handleOf(handle_)) != 0;
}

bool File::lockRegion(int64_t offset, int64_t length) {
    if (!changeLock(handle_, true, offset, length)) return false;
    locks_.push_back({offset, length});
    return true;
}

bool File::unlockRegion(int64_t offset, int64_t length) {
    if (!changeLock(handle_, false, offset, length)) return false;
    auto same = [&](const Region& r) { return r.offset == offset && r.length == length; };
    auto it = std::find_if(locks_.begin(), locks_.end(), same);
    if (it != locks_.end()) locks_.erase(it);
    return true;
}

FileRetrySleep setFileRetrySleep(FileRetrySleep sleep) {
    FileRetrySleep previous = retrySleep;
    retrySleep = sleep ? sleep : systemSleep;
    return previous;
}

}  // namespace tessarin
