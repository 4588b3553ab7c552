#include <algorithm>
#include <memory>

#include "core/file.h"
#include "core/file_system.h"
#include "core/os_info.h"
#include "services/install_log.h"

namespace tessarin {

namespace {

// The body: a new temporary file, written at its end and read once, a piece at a time. Others may
// read it while it grows.
class TempFileBody : public LogBody {
  public:
    static constexpr int32_t kPieceSize = 64 * 1024;

    bool open() {
        return file_.open(static_cast<const void*>(nullptr), kFileNewTemp | kFileShareRead) ==
               kFileOk;
    }
    bool append(const void* bytes, int32_t length) override {
        return file_.seekFromEnd(0) && file_.write(bytes, length);
    }
    bool read(String& content) override { return file_.readAll(content); }
    bool readPieces(const std::function<bool(const String& piece)>& take) override {
        int64_t size = file_.size();
        if (size < 0) return false;
        String piece;
        for (int64_t at = 0; at < size; at += kPieceSize) {
            int32_t n = static_cast<int32_t>(std::min<int64_t>(kPieceSize, size - at));
            if (!file_.readRange(piece, at, n) || !take(piece)) return false;
        }
        return true;
    }
    // Closes the file and deletes it.
    void discard() {
        String path = file_.wideName();
        file_.close();
        if (!path.empty()) deleteFile(path);
    }
    const String& path() const { return file_.wideName(); }

  private:
    File file_;
};

std::unique_ptr<TempFileBody>& bodyFile() {
    static std::unique_ptr<TempFileBody> body;
    return body;
}

class InstallLogFile : public LogFile {
  public:
    bool open(const String& path) override {
        return file_.open(path.w_str(), kFileOpenAlways | kFileShareRead) == kFileOk;
    }
    bool read(String& content) override { return file_.readAll(content); }
    bool readStart(int32_t n, String& start) override {
        int64_t size = file_.size();
        if (size < 0) return false;
        if (size < n) n = static_cast<int32_t>(size);
        start.clear();
        return n == 0 || file_.readRange(start, 0, n);
    }
    bool replace(const String& content) override { return file_.writeAll(content); }
    bool append(const String& bytes) override { return file_.seekFromEnd(0) && file_.write(bytes); }
    void close() override { file_.close(); }

  private:
    File file_;
};

}  // namespace

bool startLogBody() {
    discardLogBody();
    auto body = std::make_unique<TempFileBody>();
    if (!body->open()) return false;
    setLogBody(body.get());
    bodyFile() = std::move(body);
    return true;
}

void discardLogBody() {
    std::unique_ptr<TempFileBody>& body = bodyFile();
    if (!body) return;
    if (logBody() == body.get()) setLogBody(nullptr);
    body->discard();
    body.reset();
}

String logBodyPath() {
    return bodyFile() ? bodyFile()->path() : String();
}

// Without an uninstall folder there is no place for the log, so nothing is written.
bool finishInstallLog(bool reinstall) {
    const InstallScript& script = installScript();
    bool written = false;
    if (installLogWanted(script.ProductFlags, errorList()) && !script.UninstallDir.empty()) {
        InstallLogHeader header =
            installLogHeader(script, reinstall, DateTime::now(), osName(osRecord(), 0));
        InstallLogFile file;
        written = appendInstallLog(file, installLogPath(script.UninstallDir), header, logBody(),
                                   errorList(), Message(kMessageLogSuccess));
    }
    discardLogBody();
    return written;
}

bool appendToInstallLogFile(const String& text) {
    const InstallScript& script = installScript();
    if (script.UninstallDir.empty()) return false;
    InstallLogFile file;
    if (!file.open(installLogPath(script.UninstallDir))) return false;
    bool written = file.append(utf8FromWide(text));
    file.close();
    return written;
}

}  // namespace tessarin
