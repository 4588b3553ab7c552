// Reading the install script into InstallScript. The reading is portable: everything it needs
// from the running system, and everything it does to it, goes through ScriptEnvironment, which
// the installer implements on Windows (script_environment_win.cpp) and tests implement with
// recorded values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/os_info.h"
#include "core/string.h"
#include "package/install_script.h"

namespace tessarin {

// The read primitives of the script. A read that cannot be completed (it runs past the end, or
// its length is refused) leaves the value empty or zero, moves the cursor to the end so that
// every later read fails the same way, and returns false.
class ScriptCursor {
  public:
    ScriptCursor(const uint8_t* bytes, size_t size) : base_(bytes), size_(size) {}

    bool readByte(uint8_t& v);
    bool readUInt16(uint16_t& v);
    bool readInt32(int32_t& v);
    bool readInt64(int64_t& v);
    bool readDouble(double& v);
    bool readBytes(uint8_t* target, size_t n);  // zero-filled on failure
    bool readBytes(String& target, int64_t n);  // n below 0 fails
    // A length L, then L bytes. L takes 1, 3 or 6 bytes: a first byte below 255 is L; after a
    // 255, a second byte below 255 gives L = second + 256 * third; 255, 255 is followed by L
    // as an int32. L above 0x40000000 fails.
    bool readCounted(String& v);
    bool readByteCounted(String& v);
    bool readUInt16Counted(String& v);
    bool readInt32Counted(String& v);
    bool readZstr8(String& v);   // 8-bit text and its zero byte
    bool readZstr16(String& v);  // UTF-16LE text and its zero character

    size_t position() const { return pos_; }
    bool atEnd() const { return pos_ >= size_; }

  private:
    bool fail();
    const uint8_t* base_;
    size_t size_;
    size_t pos_ = 0;
};

// The running system and the rest of the installer, as the script reader sees them.
class ScriptEnvironment {
  public:
    virtual ~ScriptEnvironment() = default;

    // Command line.
    virtual bool silentMode() const = 0;
    virtual bool startMinimized() const = 0;
    virtual String productNameOverride() const = 0;  // /n:, UTF-16; empty when not given
    virtual String installDirOverride() const = 0;   // /d:, UTF-16; empty when not given
    virtual void setAutomaticMode(bool on) = 0;

    // System facts; folders are UTF-16 without a trailing backslash.
    virtual const OsRecord& os() const = 0;
    virtual String windowsFolder() const = 0;
    virtual String programFilesFolder(bool for64BitProduct) const = 0;
    virtual String desktopFolder(bool allUsers) const = 0;
    virtual void expandPathVariables(String& text) const = 0;  // UTF-16, in place

    // Effects.
    virtual bool disableFileSystemRedirection(void*& oldValue) = 0;
    virtual void createBackgroundWindow(bool minimized) = 0;  // with the program's icons
    // Every field of the background window's appearance has been read.
    virtual void backgroundAppearanceRead() {}
    virtual void startNetworking() = 0;  // socket library and the local host's name
    virtual void notifyLaunch(const String& address) = 0;  // 8-bit address template
    virtual void prepareUninstallerImage(const InstallScript& script) = 0;
    // A failed check. The installer's environment ends the process here; when it returns, the
    // reader stops and hands the code back.
    virtual void raiseCorruption(int code) = 0;
};

struct ScriptSource {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    uint32_t scriptCheck = 0;    // the payload header's checksum of these bytes
    uint32_t productFlags2 = 0;  // the payload header's option word
};

// Reads the script into script (which starts afresh), applying each default as its field is
// read and acting on the environment at the fixed points of the reading. Returns 0, or the
// corruption code of the first failed check after reporting it to the environment.
int ReadInstallScript(const ScriptSource& source, ScriptEnvironment& env, InstallScript& script);

// True when the system keeps ProductFlags2 bit 0x400: NT 6.0 and later, and the server
// editions of NT 5.2.
bool systemKeepsFlags2Bit400(const OsRecord& os);

}  // namespace tessarin
