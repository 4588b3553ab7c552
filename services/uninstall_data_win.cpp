// Reading and writing Uninstall.DAT.
#include <windows.h>

#include <string>

#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/path.h"
#include "core/system_error.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

constexpr int64_t kLargestReadable = 0x7FFFFFFF;

}  // namespace

String uninstallDataPath(const String& folder) {
    return joinPath(folder, String(kUninstallDataFileName));
}

// The file goes out a buffer at a time as its pieces come: its bytes are never gathered.
int writeUninstallDataFile(const UninstallData& data, const String& path) {
    constexpr size_t kBufferSize = 64 * 1024;
    File file;
    int code = file.open(extendedLengthPath(path).w_str(), kFileCreateAlways);
    if (code != kFileOk) return code;
    bool written = true;
    std::string buffer;
    auto flush = [&]() {
        written = written && file.write(buffer.data(), static_cast<int32_t>(buffer.size()));
        buffer.clear();
    };
    uninstallDataPieces(data, [&](const char* bytes, size_t n) {
        buffer.append(bytes, n);
        if (buffer.size() >= kBufferSize) flush();
    });
    flush();
    if (written) return kFileOk;
    DWORD error = GetLastError();  // for the caller's message
    file.close();
    SetLastError(error);
    return kFileErrorWriteFailed;
}

int readUninstallDataFile(const String& path, UninstallData& data, Vector<String>* notes) {
    File file;
    // Through the same "\\?\" form the file was written with, so that a record near the length
    // limit of plain paths can be read back.
    int code = file.open(extendedLengthPath(path).w_str(),
                         kFileOpenExisting | kFileNoWrite | kFileShareRead);
    if (code != kFileOk) return code;
    int64_t size = file.size();
    if (size < 0) return kFileErrorReadFailed;
    if (size >= kLargestReadable) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return kFileErrorTooLarge;
    }
    String bytes;
    if (!file.readAll(bytes)) return kFileErrorReadFailed;
    Vector<String> lineNotes;
    readUninstallDataText(bytes.c_str(), bytes.length(), data, notes ? &lineNotes : nullptr);
    String name = pathText(path);
    for (const String& note : lineNotes)
        notes->append(format("%s, %s", name.c_str(), note.c_str()));
    return kFileOk;
}

bool saveUninstallData(const UninstallData& data, const String& folder, const String& failureText,
                       Reporter& reporter) {
    String path = uninstallDataPath(folder);
    if (writeUninstallDataFile(data, path) == kFileOk) return true;
    String reason = systemErrorText8(GetLastError());
    String text;
    toNarrow(failureText.w_str(), failureText.wideLength(), text, kCodePageSystem, "?");
    reporter.error(
        format("%s %s\r\n%s\r\n\r\n", text.c_str(), pathText(path).c_str(), reason.c_str()));
    return false;
}

}  // namespace tessarin
