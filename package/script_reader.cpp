#include "package/script_reader.h"

#include <cstring>
#include <utility>

#include "core/byte_order.h"
#include "core/chars.h"
#include "core/convert.h"
#include "package/script_format.h"

namespace tessarin {

// A failed read leaves nothing behind it worth reading: the rest of the script is taken as
// missing, so the reading runs on to a range check or the closing value and fails there.
bool ScriptCursor::fail() {
    pos_ = size_;
    return false;
}

bool ScriptCursor::readByte(uint8_t& v) {
    v = 0;
    if (size_ - pos_ < 1) return fail();
    v = base_[pos_++];
    return true;
}

bool ScriptCursor::readUInt16(uint16_t& v) {
    v = 0;
    if (size_ - pos_ < 2) return fail();
    v = static_cast<uint16_t>(loadLe16(base_ + pos_));
    pos_ += 2;
    return true;
}

bool ScriptCursor::readInt32(int32_t& v) {
    v = 0;
    if (size_ - pos_ < 4) return fail();
    v = static_cast<int32_t>(loadLe32(base_ + pos_));
    pos_ += 4;
    return true;
}

bool ScriptCursor::readInt64(int64_t& v) {
    v = 0;
    if (size_ - pos_ < 8) return fail();
    uint64_t low = loadLe32(base_ + pos_);
    uint64_t high = loadLe32(base_ + pos_ + 4);
    v = static_cast<int64_t>(low | high << 32);
    pos_ += 8;
    return true;
}

bool ScriptCursor::readDouble(double& v) {
    int64_t bits;
    bool ok = readInt64(bits);
    std::memcpy(&v, &bits, sizeof v);
    return ok;
}

bool ScriptCursor::readBytes(uint8_t* target, size_t n) {
    if (size_ - pos_ < n) {
        std::memset(target, 0, n);
        return fail();
    }
    std::memcpy(target, base_ + pos_, n);
    pos_ += n;
    return true;
}

bool ScriptCursor::readBytes(String& target, int64_t n) {
    target.clear();
    if (n < 0 || uint64_t(n) > size_ - pos_) return fail();
    target.assign(reinterpret_cast<const char*>(base_ + pos_), static_cast<int32_t>(n));
    pos_ += static_cast<size_t>(n);
    return true;
}

bool ScriptCursor::readCounted(String& v) {
    v.clear();
    uint8_t first;
    if (!readByte(first)) return false;
    uint32_t length = first;
    if (first == 255) {
        uint8_t second;
        if (!readByte(second)) return false;
        if (second < 255) {
            uint8_t third;
            if (!readByte(third)) return false;
            length = second + 256u * third;
        } else {
            int32_t wide;
            if (!readInt32(wide)) return false;
            length = static_cast<uint32_t>(wide);
        }
    }
    if (length > kMaxCountedLength) return fail();
    return readBytes(v, length);
}

bool ScriptCursor::readByteCounted(String& v) {
    uint8_t length;
    if (!readByte(length)) {
        v.clear();
        return false;
    }
    return readBytes(v, length);
}

bool ScriptCursor::readUInt16Counted(String& v) {
    uint16_t length;
    if (!readUInt16(length)) {
        v.clear();
        return false;
    }
    return readBytes(v, length);
}

bool ScriptCursor::readInt32Counted(String& v) {
    int32_t length;
    if (!readInt32(length)) {
        v.clear();
        return false;
    }
    return readBytes(v, length);
}

bool ScriptCursor::readZstr8(String& v) {
    v.clear();
    if (atEnd()) return fail();
    const void* end = std::memchr(base_ + pos_, 0, size_ - pos_);
    if (!end) return fail();
    size_t n = static_cast<size_t>(static_cast<const uint8_t*>(end) - (base_ + pos_));
    v.assign(reinterpret_cast<const char*>(base_ + pos_), static_cast<int32_t>(n));
    pos_ += n + 1;
    return true;
}

bool ScriptCursor::readZstr16(String& v) {
    v.clear();
    for (size_t i = pos_; size_ - i >= 2; i += 2) {
        if (base_[i] == 0 && base_[i + 1] == 0) {
            v.assign(reinterpret_cast<const char*>(base_ + pos_), static_cast<int32_t>(i - pos_));
            pos_ = i + 2;
            return true;
        }
    }
    return fail();
}

bool systemKeepsFlags2Bit400(const OsRecord& os) {
    if (os.platform != kPlatformNt) return false;
    if (os.major >= 6) return true;
    return os.major == 5 && os.minor == 2 && os.productType != kProductWorkstation;
}

namespace {

bool hasDrive(const String& path) {
    char16_t c = path.getWide(0);
    return isAsciiLetter(c) && path.getWide(1) == u':';
}

// folder + "\" + name; either may be empty.
String joinPath(const String& folder, const String& name) {
    if (name.empty()) return folder;
    if (folder.empty()) return name;
    String joined = folder;
    if (joined.getWide(joined.wideLength() - 1) != u'\\') joined.appendWideChar(u'\\');
    joined.appendWide(name.w_str(), name.wideLength());
    return joined;
}

// A folder given relative is taken below base; one that starts at a drive's root goes on
// base's drive; drive and network paths stay as they are.
String absoluteBelow(const String& base, const String& path) {
    if (base.empty() || hasDrive(path)) return path;
    if (path.getWide(0) == u'\\') {
        if (path.getWide(1) == u'\\' || !hasDrive(base)) return path;
        String rooted;
        rooted.appendWide(base.w_str(), 2);
        rooted.appendWide(path.w_str(), path.wideLength());
        return rooted;
    }
    return joinPath(base, path);
}

// "<master>" and registry locations are resolved by the pre-install steps.
bool resolvedLater(String& dir) {
    return dir.equalsWide(u"<master>") || dir.startsWithWide(u"HKLM\\") ||
           dir.startsWithWide(u"HKCU\\");
}

class ReaderIo {
  public:
    static constexpr bool kReading = true;

    ReaderIo(const ScriptSource& source, ScriptEnvironment& env, InstallScript& script)
        : source_(source), cursor_(source.bytes, source.size), env_(env), s_(script) {}

    void byte(uint8_t& v) { cursor_.readByte(v); }
    void uint16(uint16_t& v) { cursor_.readUInt16(v); }
    void int32(int32_t& v, FieldRule rule) {
        cursor_.readInt32(v);
        if (rule == FieldRule::BottomColor) s_.MonoColor = s_.BottomColor == s_.TopColor;
    }
    void int64(int64_t& v) { cursor_.readInt64(v); }
    void int64(uint64_t& v) {
        int64_t value;
        cursor_.readInt64(value);
        v = static_cast<uint64_t>(value);
    }
    void real(double& v) { cursor_.readDouble(v); }
    void bytes(uint8_t* target, size_t n) { cursor_.readBytes(target, n); }
    void bytesInto(String& target, int32_t n) { cursor_.readBytes(target, n); }
    void date(FileDateTime& d) {
        uint8_t raw[kFileDateTimeSize];
        cursor_.readBytes(raw, sizeof raw);
        d = FileDateTime::read(raw);
    }
    void counted(String& v, FieldRule rule) {
        String value;
        cursor_.readCounted(value);
        store(v, std::move(value), rule);
    }
    void byteCounted(String& v) { cursor_.readByteCounted(v); }
    void uint16Counted(String& v) { cursor_.readUInt16Counted(v); }
    void int32Counted(String& v) { cursor_.readInt32Counted(v); }
    void zstr8(String& v) { cursor_.readZstr8(v); }
    void zstr16(String& v, FieldRule rule) {
        String value;
        cursor_.readZstr16(value);
        store(v, std::move(value), rule);
    }

    bool check(bool ok, int code) {
        if (!ok) fail(code);
        return ok;
    }
    bool step(ScriptStep step);
    bool exhausted() const { return cursor_.atEnd(); }
    int code() const { return code_; }

  private:
    void fail(int code) {
        if (code_ != kCodeOk) return;
        code_ = code;
        env_.raiseCorruption(code);
    }
    void store(String& target, String&& value, FieldRule rule);
    bool headerRead();
    void chooseInstallDir();
    void chooseLanguage();
    void finish();

    const ScriptSource& source_;
    ScriptCursor cursor_;
    ScriptEnvironment& env_;
    InstallScript& s_;
    int code_ = kCodeOk;
};

void ReaderIo::store(String& target, String&& value, FieldRule rule) {
    if (rule == FieldRule::ProductName) {
        if (target.empty()) target = std::move(value);
        return;
    }
    target = std::move(value);
    switch (rule) {
        case FieldRule::ProductDescription:
        case FieldRule::ProductStartMenu:
            if (target.empty()) target = s_.ProductName;
            break;
        case FieldRule::SharedDir:
            if (target.empty())
                target = isBlankWide(s_.CompanyName) ? s_.ProductName : s_.CompanyName;
            break;
        case FieldRule::Version:
            toWide(target.c_str(), target.length(), s_.Version, kCodePageSystem);
            break;
        case FieldRule::UninstallKeyName:
            if (isBlankWide(target)) target = s_.ProductName;
            break;
        case FieldRule::DesktopFolder:
            if (target.empty() && (s_.ProductFlags & kFlagsDesktopFolderIsProduct))
                target = s_.ProductName;
            break;
        case FieldRule::MessageText:
            target.normalizeLineEndingsWide();
            break;
        default:
            break;
    }
}

bool ReaderIo::step(ScriptStep step) {
    switch (step) {
        case ScriptStep::HeaderRead:
            return headerRead();
        case ScriptStep::BitnessRead:
            if (s_.Bitness == 1)
                s_.RedirectionOff = env_.disableFileSystemRedirection(s_.RedirectionOldValue);
            return true;
        case ScriptStep::DefaultFolderRead:
            chooseInstallDir();
            return true;
        case ScriptStep::DesktopRead:
            s_.DesktopShortcuts =
                joinPath(env_.desktopFolder(s_.ShortcutMode == 1), s_.DesktopFolder);
            s_.DesktopShortcuts8 = pathText(s_.DesktopShortcuts);
            return true;
        case ScriptStep::LanguagesRead:
            chooseLanguage();
            return true;
        case ScriptStep::Closed:
            finish();
            return true;
    }
    return true;
}

bool ReaderIo::headerRead() {
    bool silent = env_.silentMode();
    if (silent) s_.ProductFlags = (s_.ProductFlags & ~kSilentClearedFlags) | kSilentSetFlags;
    if (!systemKeepsFlags2Bit400(env_.os())) s_.ProductFlags2 &= ~kFlags2NewerSystemsOnly;
    if (s_.AutomaticModeByte == 1)
        env_.setAutomaticMode(true);
    else if (s_.AutomaticModeByte == 2 && !silent)
        env_.setAutomaticMode(false);
    s_.BackgroundMaximized = (s_.ProductFlags & kFlagsBackgroundMaximized) != 0;
    if (!(s_.ProductFlags & kFlagsNoBackgroundWindow))
        env_.createBackgroundWindow(env_.startMinimized());
    bool sizeFits = source_.size <= size_t(kWholeLength);
    uint32_t check = sizeFits ? hashBytes(source_.bytes, static_cast<int32_t>(source_.size)) : 0;
    return this->check(sizeFits && check == source_.scriptCheck, kCodeScriptCheck);
}

void ReaderIo::chooseInstallDir() {
    String dir = env_.installDirOverride();
    if (dir.empty()) {
        dir = s_.DefaultInstallDir;
        if (dir.empty()) {
            dir = s_.ProductName;
        } else {
            dir.replaceAllWide(u"<os>", s_.WindowsFolder.w_str());
            env_.expandPathVariables(dir);
        }
        if (!resolvedLater(dir)) dir = absoluteBelow(env_.programFilesFolder(s_.Bitness == 1), dir);
    }
    s_.InstallDir = std::move(dir);
    s_.InstallDir8 = pathText(s_.InstallDir);
}

// The last language named "English" is the default; otherwise the first language.
void ReaderIo::chooseLanguage() {
    MessageTable& m = s_.Messages;
    m.CurrentLanguage = 0;
    for (int32_t i = 0; i < m.Languages.count(); ++i)
        if (m.Languages[i].equalsWide(u"English")) m.CurrentLanguage = i;
}

void ReaderIo::finish() {
    expandScriptTokens(s_.BannerText, s_.ProductName, s_.ProductDescription, s_.WindowsFolder);
    env_.startNetworking();
    env_.notifyLaunch(s_.NotifyLaunch);
    // The window shows the script's appearance from here on, also behind a corruption message
    // of the image check.
    env_.backgroundAppearanceRead();
    env_.prepareUninstallerImage(s_);
}

}  // namespace

int ReadInstallScript(const ScriptSource& source, ScriptEnvironment& env, InstallScript& script) {
    script = InstallScript();
    script.ProductFlags2 = source.productFlags2;
    script.ProductName = env.productNameOverride();
    script.WindowsFolder = env.windowsFolder();
    ReaderIo io(source, env, script);
    visitInstallScript(io, script);
    return io.code();
}

}  // namespace tessarin
