#include "tools/build/script_writer.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "package/script_format.h"

namespace tessarin::build {
namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw std::runtime_error("install script: " + why);
}

class WriterIo {
  public:
    static constexpr bool kReading = false;

    WriterIo(String& out, const ScriptWriteOptions& options) : out_(out), options_(options) {}

    void byte(uint8_t& v) { out_.appendChar(static_cast<char>(v)); }
    void uint16(uint16_t& v) { put(v, 2); }
    void int32(int32_t& v, FieldRule) { put(static_cast<uint32_t>(v), 4); }
    void int64(int64_t& v) { put(static_cast<uint64_t>(v), 8); }
    void int64(uint64_t& v) { put(v, 8); }
    void real(double& v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        put(bits, 8);
    }
    void bytes(uint8_t* p, size_t n) {
        out_.append(reinterpret_cast<const char*>(p), static_cast<int32_t>(n));
    }
    void bytesInto(String& v, int32_t) { out_.append(v); }
    void date(FileDateTime& d) {
        uint8_t raw[kFileDateTimeSize];
        d.write(raw);
        bytes(raw, sizeof raw);
    }
    void counted(String& v, FieldRule) {
        if (uint32_t(v.length()) > kMaxCountedLength)
            refuse("counted field longer than 0x40000000");
        appendCountedLength(out_, static_cast<uint32_t>(v.length()));
        out_.append(v);
    }
    void byteCounted(String& v) {
        if (v.length() > 0xFF) refuse("byte-counted field longer than 255 bytes");
        out_.appendChar(static_cast<char>(v.length()));
        out_.append(v);
    }
    void uint16Counted(String& v) {
        if (v.length() > 0xFFFF) refuse("uint16-counted field longer than 65535 bytes");
        put(static_cast<uint32_t>(v.length()), 2);
        out_.append(v);
    }
    void int32Counted(String& v) {
        put(static_cast<uint32_t>(v.length()), 4);
        out_.append(v);
    }
    void zstr8(String& v) {
        if (std::memchr(v.c_str(), 0, static_cast<size_t>(v.length())))
            refuse("zero byte inside a zero-terminated text");
        out_.append(v);
        out_.appendChar(0);
    }
    void zstr16(String& v, FieldRule) {
        const char16_t* w = v.w_str();
        if (v.length() % 2) refuse("UTF-16 text with an odd byte count");
        for (int32_t i = 0; i < v.wideLength(); ++i)
            if (w[i] == 0) refuse("zero character inside a zero-terminated text");
        out_.append(v);
        out_.appendChar(0);
        out_.appendChar(0);
    }

    bool check(bool ok, int code) {
        if (!ok && options_.checkRanges)
            refuse("a value the installer refuses (corruption code " + std::to_string(code) + ")");
        return true;
    }
    bool step(ScriptStep) { return true; }
    bool exhausted() const { return false; }

  private:
    void put(uint64_t v, int bytes) {
        char b[8];
        for (int i = 0; i < bytes; ++i) b[i] = static_cast<char>(v >> (8 * i));
        out_.append(b, bytes);
    }

    String& out_;
    const ScriptWriteOptions& options_;
};

template <class T>
void refuseMarkerEntries(const Vector<T>& list, String T::*first, const char* marker,
                         const char* name) {
    for (const T& entry : list)
        if ((entry.*first).equals(marker))
            refuse(std::string(name) + " entry equal to the list's end marker");
}

}  // namespace

void appendCountedLength(String& out, uint32_t length) {
    uint8_t b[6];
    int n;
    if (length < 255) {
        b[0] = static_cast<uint8_t>(length);
        n = 1;
    } else if (length <= 0xFFFF && (length & 0xFF) != 0xFF) {
        b[0] = 255;
        b[1] = static_cast<uint8_t>(length);
        b[2] = static_cast<uint8_t>(length >> 8);
        n = 3;
    } else {
        b[0] = b[1] = 255;
        for (int i = 0; i < 4; ++i) b[2 + i] = static_cast<uint8_t>(length >> (8 * i));
        n = 6;
    }
    out.append(reinterpret_cast<const char*>(b), n);
}

String writeInstallScript(const InstallScript& script, const ScriptWriteOptions& options) {
    InstallScript s = script;
    refuseMarkerEntries(s.UninstallExtras, &ConditionalDeletion::Path, kUninstallExtrasEnd,
                        "UninstallExtras");
    refuseMarkerEntries(s.ProgramsToClose, &ProgramToClose::ClassText, kProgramsToCloseEnd,
                        "ProgramsToClose");
    MessageTable& m = s.Messages;
    if (m.Languages.count() > 0xFF) refuse("more than 255 languages");
    int64_t texts = int64_t(m.MessageCount > 0 ? m.MessageCount : 0) * m.Languages.count();
    if (m.Texts.count() > texts) refuse("more message texts than MessageCount x languages");
    while (m.Texts.count() < texts) m.Texts.append(String());

    String out;
    WriterIo io(out, options);
    visitInstallScript(io, s);
    return out;
}

}  // namespace tessarin::build
