// Reading the ".setup" payload: header, packed script, data area and file records. The code
// works on byte spans (the section in the loaded image, or bytes read from the file) and
// reports structural faults as corruption codes; the caller turns a code into the fatal
// corruption message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/string.h"
#include "setup/payload_format.h"

namespace tessarin {

// Bounded little-endian reader; a read past the end fails and leaves the cursor in place.
class ByteCursor {
  public:
    ByteCursor() = default;
    ByteCursor(const uint8_t* base, size_t size) : base_(base), size_(size) {}
    bool readInt32(int32_t& v);
    bool readUInt32(uint32_t& v);
    bool readBytes(size_t n, const uint8_t*& p);
    bool readCString(String& text);      // zero-terminated 8-bit
    bool readWideCString(String& text);  // zero-terminated UTF-16
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }

  private:
    const uint8_t* base_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

struct PayloadHeader {
    uint32_t Magic = 0;
    String BuilderVersion;
    uint32_t ProductFlags2 = 0;
    int32_t ScriptPackedSize = 0;
    uint32_t ScriptCheck = 0;
    uint32_t ImageCheck = 0;
    int32_t DataEnd = 0;
    int32_t FileCount = 0;
    int32_t DataSize = 0;
    uint32_t DataCheck = 0;
    std::vector<int32_t> FileSizes;
    uint8_t CipherKey[8] = {};
    size_t dataOffset = 0;  // from the section base
};

struct PayloadResult {
    int code = kCodeOk;
    bool versionMismatch = false;  // BuilderVersion differs: its own fatal message
    bool ok() const { return code == kCodeOk && !versionMismatch; }
};

// Reads the header from the section bytes and unpacks the script (masked or enciphered zlib).
// The script checksum is verified separately (verifyScriptCheck), once the script reader has
// read its first fields.
PayloadResult openPayload(const uint8_t* section, size_t size, PayloadHeader& header,
                          String& script);
bool verifyScriptCheck(const PayloadHeader& header, const String& script);

// XOR mask of the plain packing: whole words with the check, tail bytes with its low bytes.
void maskScript(uint8_t* bytes, size_t length, uint32_t check);

struct FileRecord {
    String name;  // 8-bit (narrow path form)
    int32_t kind = 0;
    int32_t options = 0;
    int32_t attributes = 0;
    uint8_t date[kDateRecordSize] = {};
    String label;
    String shortcutIcon;
    String arguments;
    String targetPath;  // UTF-16
    String auxiliary;
    int32_t uiLevel = 0;
    String data;
    uint32_t dataCheck = 0;
};

// The data area: blocks (length, checksum, bytes) decoded in order into one record stream.
class DataArea {
  public:
    // bytes/size: the data area as stored; compressed: ProductFlags low word 0x20.
    PayloadResult open(const uint8_t* bytes, size_t size, const PayloadHeader& header,
                       bool compressed);
    PayloadResult nextFileRecord(int32_t index, FileRecord& record, bool silentMode = false);
    // Whether anything follows the records read so far: decoded bytes not yet taken, or
    // stored bytes other than the zero padding that may close an area kept outside the image.
    bool hasLeftover() const;

  private:
    int fillStream();
    int readRecordBytes(size_t n, String& out);
    int takeRecordLength(int32_t& length);

    const PayloadHeader* header_ = nullptr;
    ByteCursor blocks_;
    bool compressed_ = false;
    String stream_;  // decoded bytes not yet consumed
    size_t streamPos_ = 0;
};

// The uninstaller image from the executable's bytes: the head up to the section (checked
// against ImageCheck when checkImage), and with cutSection the section removed from the
// headers and the bytes after it appended. Without cutSection the image is the whole file.
struct SectionPlace {
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
    uint32_t tableEntryOffset = 0;
};
int prepareUninstallerImage(const uint8_t* file, size_t size, const SectionPlace& section,
                            uint32_t imageCheck, bool checkImage, bool cutSection, String& image);
// The same from the two pieces of the file that the image is made of, so that the section
// itself is never read: head holds the section's raw offset bytes, tail the bytes after the
// section (tailRead false when they could not be read).
int prepareUninstallerImage(const String& head, const String& tail, bool tailRead,
                            const SectionPlace& section, uint32_t imageCheck, bool checkImage,
                            bool cutSection, String& image);

int parseFileRecord(const uint8_t* bytes, size_t size, int32_t storedSize, FileRecord& record,
                    bool silentMode);

}  // namespace tessarin
