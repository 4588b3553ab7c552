#include "setup/payload_reader.h"

#include <cstring>

#include "core/byte_order.h"
#include "core/inflate.h"
#include "core/payload_cipher.h"

namespace tessarin {

bool ByteCursor::readInt32(int32_t& v) {
    uint32_t u;
    if (!readUInt32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool ByteCursor::readUInt32(uint32_t& v) {
    if (remaining() < 4) return false;
    const uint8_t* p = base_ + pos_;
    v = loadLe32(p);
    pos_ += 4;
    return true;
}

bool ByteCursor::readBytes(size_t n, const uint8_t*& p) {
    if (remaining() < n) return false;
    p = base_ + pos_;
    pos_ += n;
    return true;
}

bool ByteCursor::readCString(String& text) {
    const void* end = std::memchr(base_ + pos_, 0, remaining());
    if (!end) return false;
    size_t n = static_cast<const uint8_t*>(end) - (base_ + pos_);
    text.assign(reinterpret_cast<const char*>(base_ + pos_), static_cast<int32_t>(n));
    pos_ += n + 1;
    return true;
}

bool ByteCursor::readWideCString(String& text) {
    for (size_t i = pos_; i + 1 < size_; i += 2) {
        if (base_[i] == 0 && base_[i + 1] == 0) {
            text.assign(reinterpret_cast<const char*>(base_ + pos_),
                        static_cast<int32_t>(i - pos_));
            pos_ = i + 2;
            return true;
        }
    }
    return false;
}

void maskScript(uint8_t* bytes, size_t length, uint32_t check) {
    size_t words = length / 4;
    for (size_t i = 0; i < words * 4; i += 4)
        for (int k = 0; k < 4; ++k) bytes[i + k] ^= static_cast<uint8_t>(check >> (8 * k));
    for (size_t k = 0; k < length % 4; ++k)
        bytes[words * 4 + k] ^= static_cast<uint8_t>(check >> (8 * k));
}

namespace {

PayloadResult failed(int code) {
    PayloadResult r;
    r.code = code;
    return r;
}

// Header fields 1-12 in order; a field that cannot be read counts as failing its own check.
PayloadResult readHeader(ByteCursor& c, PayloadHeader& h) {
    if (!c.readUInt32(h.Magic) || h.Magic != kPayloadMagic) return failed(kCodeMagic);
    if (!c.readCString(h.BuilderVersion) || !h.BuilderVersion.equals(kBuilderVersion)) {
        PayloadResult r;
        r.versionMismatch = true;
        return r;
    }
    if (!c.readUInt32(h.ProductFlags2) || !c.readInt32(h.ScriptPackedSize) ||
        h.ScriptPackedSize < 1 || h.ScriptPackedSize > kMaxScriptPackedSize)
        return failed(kCodeScriptSize);
    if (!c.readUInt32(h.ScriptCheck) || !c.readUInt32(h.ImageCheck)) return failed(kCodeScriptSize);
    if (!c.readInt32(h.DataEnd) || h.DataEnd < 0) return failed(kCodeDataEnd);
    if (!c.readInt32(h.FileCount) || h.FileCount < 0) return failed(kCodeFileCount);
    if (!c.readInt32(h.DataSize) || h.DataSize < 0) return failed(kCodeDataSize);
    if (!c.readUInt32(h.DataCheck)) return failed(kCodeDataSize);
    if (static_cast<size_t>(h.FileCount) > c.remaining() / 4) return failed(kCodeFileSize);
    h.FileSizes.resize(static_cast<size_t>(h.FileCount));
    for (int32_t& size : h.FileSizes)
        if (!c.readInt32(size) || size < 0 || size > kMaxStoredFileSize)
            return failed(kCodeFileSize);
    if (h.ProductFlags2 & kFlags2Enciphered) {
        const uint8_t* key;
        if (!c.readBytes(8, key)) return failed(kCodeScriptSize);
        std::memcpy(h.CipherKey, key, 8);
    }
    return PayloadResult{};
}

}  // namespace

PayloadResult openPayload(const uint8_t* section, size_t size, PayloadHeader& header,
                          String& script) {
    script.clear();
    ByteCursor c(section, size);
    PayloadResult r = readHeader(c, header);
    if (!r.ok()) return r;
    const uint8_t* packed;
    if (!c.readBytes(static_cast<size_t>(header.ScriptPackedSize), packed))
        return failed(kCodeScriptSize);
    header.dataOffset = c.position();
    String bytes(reinterpret_cast<const char*>(packed), header.ScriptPackedSize);
    if (header.ProductFlags2 & kFlags2Enciphered) {
        if (!decipherPayloadBuffer(header.CipherKey, bytes)) return failed(kCodeScriptInflate);
    } else {
        maskScript(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<size_t>(bytes.length()),
                   header.ScriptCheck);
    }
    if (bytes.empty() || !inflateBuffer(bytes.bytes(), static_cast<size_t>(bytes.length()), script))
        return failed(kCodeScriptInflate);
    return PayloadResult{};
}

bool verifyScriptCheck(const PayloadHeader& header, const String& script) {
    return script.hash() == header.ScriptCheck;
}

PayloadResult DataArea::open(const uint8_t* bytes, size_t size, const PayloadHeader& header,
                             bool compressed) {
    header_ = &header;
    compressed_ = compressed;
    stream_.clear();
    streamPos_ = 0;
    if (size != static_cast<size_t>(header.DataSize)) return failed(kCodeDataLength);
    if (hashBytes(bytes, header.DataSize) != header.DataCheck) return failed(kCodeDataCheck);
    blocks_ = ByteCursor(bytes, size);
    return PayloadResult{};
}

bool DataArea::hasLeftover() const {
    if (static_cast<size_t>(stream_.length()) > streamPos_) return true;
    ByteCursor rest = blocks_;
    const uint8_t* bytes = nullptr;
    size_t count = rest.remaining();
    if (count == 0 || !rest.readBytes(count, bytes)) return false;
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] != 0) return true;
    return false;
}

// Decodes the next block and appends it to the record stream.
int DataArea::fillStream() {
    int32_t length;
    uint32_t check;
    if (!blocks_.readInt32(length) || length <= 0) return kCodeBlockLength;
    if (!blocks_.readUInt32(check)) return kCodeBlockLength;
    const uint8_t* stored;
    if (static_cast<size_t>(length) > blocks_.remaining() || !blocks_.readBytes(length, stored))
        return kCodeBlockOverrun;
    if (hashBytes(stored, length) != check) return kCodeBlockCheck;
    String block(reinterpret_cast<const char*>(stored), length);
    if ((header_->ProductFlags2 & kFlags2Enciphered) &&
        !decipherPayloadBuffer(header_->CipherKey, block))
        return kCodeBlockInflate;
    if (compressed_) {
        String inflated;
        if (!inflateBuffer(block.bytes(), static_cast<size_t>(block.length()), inflated))
            return kCodeBlockInflate;
        block = std::move(inflated);
    }
    // Only the unread rest of the stream is kept: one block at a time in the usual case.
    stream_.removeFront(static_cast<int32_t>(streamPos_));
    streamPos_ = 0;
    stream_.append(block);
    return kCodeOk;
}

// A length never straddles blocks: fewer than four bytes left in the current block are
// skipped and the next block is loaded.
int DataArea::takeRecordLength(int32_t& length) {
    if (static_cast<size_t>(stream_.length()) - streamPos_ < 4) {
        streamPos_ = static_cast<size_t>(stream_.length());
        if (int code = fillStream()) return code;
        if (stream_.length() < 4) return kCodeBlockLength;
    }
    const uint8_t* p = stream_.bytes() + streamPos_;
    length = static_cast<int32_t>(loadLe32(p));
    streamPos_ += 4;
    return kCodeOk;
}

int DataArea::readRecordBytes(size_t n, String& out) {
    while (static_cast<size_t>(stream_.length()) - streamPos_ < n)
        if (int code = fillStream()) return code;
    out.assign(stream_.c_str() + streamPos_, static_cast<int32_t>(n));
    streamPos_ += n;
    return kCodeOk;
}

PayloadResult DataArea::nextFileRecord(int32_t index, FileRecord& record, bool silentMode) {
    if (!header_ || index < 0 || index >= header_->FileCount) return failed(kCodeFileCount);
    int32_t length = 0;
    if (int code = takeRecordLength(length)) return failed(code);
    if (length <= 0) return failed(kCodeEmptyName);
    String bytes;
    if (int code = readRecordBytes(static_cast<size_t>(length), bytes)) return failed(code);
    int code = parseFileRecord(bytes.bytes(), static_cast<size_t>(bytes.length()),
                               header_->FileSizes[static_cast<size_t>(index)], record, silentMode);
    return failed(code);
}

int parseFileRecord(const uint8_t* bytes, size_t size, int32_t storedSize, FileRecord& r,
                    bool silentMode) {
    ByteCursor c(bytes, size);
    if (!c.readCString(r.name) || r.name.empty()) return kCodeEmptyName;
    const uint8_t* date;
    // A record cut short inside its fixed fields is as unusable as one without a name.
    if (!c.readInt32(r.kind) || !c.readInt32(r.options) || !c.readInt32(r.attributes) ||
        !c.readBytes(kDateRecordSize, date) || !c.readCString(r.label))
        return kCodeEmptyName;
    std::memcpy(r.date, date, kDateRecordSize);
    r.shortcutIcon.clear();
    if ((r.options & 0x3) && !c.readCString(r.shortcutIcon)) return kCodeEmptyName;
    if (!c.readCString(r.arguments) || !c.readWideCString(r.targetPath) ||
        !c.readCString(r.auxiliary))
        return kCodeEmptyName;
    r.uiLevel = 0;
    if (r.kind == kKindInstallerPackage) {
        if (!c.readInt32(r.uiLevel)) return kCodeEmptyName;
        if (silentMode) r.uiLevel = 2;
    }
    if (storedSize < 0) return kCodeStoredSizeNegative;
    if (storedSize > kMaxStoredFileSize) return kCodeStoredSizeLarge;
    const uint8_t* data;
    if (!c.readBytes(static_cast<size_t>(storedSize), data) || !c.readUInt32(r.dataCheck))
        return kCodeFileDataCheck;
    r.data.assign(reinterpret_cast<const char*>(data), storedSize);
    if (hashBytes(data, storedSize) != r.dataCheck) return kCodeFileDataCheck;
    return kCodeOk;
}

int prepareUninstallerImage(const uint8_t* file, size_t size, const SectionPlace& section,
                            uint32_t imageCheck, bool checkImage, bool cutSection, String& image) {
    image.clear();
    if (section.rawOffset > size) return kCodeImageRead;
    String head(reinterpret_cast<const char*>(file), static_cast<int32_t>(section.rawOffset));
    uint64_t sectionEnd = uint64_t(section.rawOffset) + section.rawSize;
    String tail;
    if (sectionEnd < size)
        tail.assign(reinterpret_cast<const char*>(file + sectionEnd),
                    static_cast<int32_t>(size - sectionEnd));
    return prepareUninstallerImage(head, tail, sectionEnd <= size, section, imageCheck, checkImage,
                                   cutSection, image);
}

int prepareUninstallerImage(const String& head, const String& tail, bool tailRead,
                            const SectionPlace& section, uint32_t imageCheck, bool checkImage,
                            bool cutSection, String& image) {
    image.clear();
    const uint8_t* file = head.bytes();
    if (uint32_t(head.length()) != section.rawOffset || section.rawOffset < 64)
        return kCodeImageRead;
    uint32_t pe = loadLe16(file + 60);
    if (pe + 92 > section.rawOffset || pe < 64) return kCodeImageRead;
    if (checkImage && hashBytes(file + pe + 92,
                                static_cast<int32_t>(section.rawOffset - (pe + 92))) != imageCheck)
        return kCodeImageCheck;
    if (!cutSection) return kCodeOk;
    if (!tailRead) return kCodeTailRead;
    String buffer = head;
    buffer.append(tail);
    uint8_t* b = reinterpret_cast<uint8_t*>(buffer.data());
    uint32_t count = loadLe16(b + pe + 6);
    uint32_t optionalSize = loadLe16(b + pe + 20);
    uint32_t table = pe + 24 + optionalSize;
    if (count == 0 || table + count * 40 > section.rawOffset || section.tableEntryOffset < table ||
        (section.tableEntryOffset - table) % 40 != 0)
        return kCodeImageRead;
    b[pe + 6] = static_cast<uint8_t>(count - 1);
    b[pe + 7] = static_cast<uint8_t>((count - 1) >> 8);
    storeLe32(b + pe + 32, loadLe32(b + pe + 32) - section.rawSize);
    storeLe32(b + pe + 80, loadLe32(b + pe + 80) - section.rawSize);
    // From the removed entry on, each slot takes the one after it; every moved entry except
    // the one that lands in the last slot (no longer counted) has its raw offset moved back
    // by the removed section's size.
    uint32_t last = table + (count - 1) * 40;
    for (uint32_t slot = section.tableEntryOffset; slot <= last; slot += 40) {
        if (slot + 80 <= section.rawOffset)
            std::memcpy(b + slot, b + slot + 40, 40);
        else
            std::memset(b + slot, 0, 40);
        if (slot < last) storeLe32(b + slot + 20, loadLe32(b + slot + 20) - section.rawSize);
    }
    image = std::move(buffer);
    return kCodeOk;
}

}  // namespace tessarin
