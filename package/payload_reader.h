// Reading the ".setup" payload: header, packed script, data area and file records. The code
// works on byte spans (the section in the loaded image, or bytes read from the file) and
// reports structural faults as corruption codes; the caller turns a code into the fatal
// corruption message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/string.h"
#include "package/payload_format.h"

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

// A record's fields; its file data follows through DataArea::readData.
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
    int32_t dataSize = 0;  // bytes of file data (the record's FileSizes entry)
};

// Where the stored data area is read from. A piece handed out stays valid until the next read.
class DataSource {
  public:
    virtual ~DataSource() = default;
    virtual uint64_t size() const = 0;
    // n bytes from offset (offset + n within size); false when they cannot be read.
    virtual bool read(uint64_t offset, size_t n, const uint8_t*& bytes) = 0;
    // The size of the pieces a reader that walks the whole area asks for.
    virtual size_t chunkSize() const { return kDefaultChunk; }
    static constexpr size_t kDefaultChunk = size_t{1} << 20;
};

// The area as bytes already in memory.
class MemoryDataSource : public DataSource {
  public:
    MemoryDataSource() = default;
    MemoryDataSource(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, size_t n, const uint8_t*& bytes) override;

  private:
    const uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
};

// The area read from a file piece by piece into one buffer that holds at least a chunk, and a
// whole piece when a piece is larger: memory stays at the largest piece whatever the area's size.
class ChunkedDataSource : public DataSource {
  public:
    explicit ChunkedDataSource(uint64_t size, size_t chunk = kDefaultChunk)
        : size_(size), chunk_(chunk ? chunk : 1) {}
    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, size_t n, const uint8_t*& bytes) override;
    size_t chunkSize() const override { return chunk_; }
    // The bytes the buffer takes now.
    size_t bufferSize() const { return buffer_.size(); }
    // Where the last failed read began and how many bytes it asked for.
    uint64_t failedOffset() const { return failedOffset_; }
    size_t failedCount() const { return failedCount_; }

  protected:
    // Fills out with exactly n bytes of the area from offset.
    virtual bool fill(uint64_t offset, uint8_t* out, size_t n) = 0;

  private:
    uint64_t size_;
    size_t chunk_;
    std::vector<uint8_t> buffer_;
    uint64_t start_ = 0;  // area offset of buffer_[0]
    size_t held_ = 0;     // bytes of buffer_ that hold area bytes
    uint64_t failedOffset_ = 0;
    size_t failedCount_ = 0;
};

// One block of the data area as read and decoded, or the fault found in it.
struct DecodedBlock {
    uint64_t start = 0;  // area offset of its length field
    uint64_t next = 0;   // area offset after it (as far as it was read, after a fault)
    int code = 0;        // kCodeOk, or the block's corruption code
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    // Where the bytes are kept when they are not the stored bytes themselves.
    String deciphered;
    std::vector<uint8_t> inflated;
};

// Decodes the next compressed block on a second thread while the current one is being read, so
// that inflating overlaps with writing files. A fault found ahead stays with its block and is
// reported only when the reader reaches it.
class BlockReadAhead {
  public:
    BlockReadAhead();
    ~BlockReadAhead();
    // An area that is replaced or moved leaves its thread behind: it is stopped first.
    BlockReadAhead(BlockReadAhead&&) noexcept;
    BlockReadAhead& operator=(BlockReadAhead&&) noexcept;
    BlockReadAhead(const BlockReadAhead&) = delete;
    BlockReadAhead& operator=(const BlockReadAhead&) = delete;

    // Starts decoding the block at `at` (source and header stay in place until it is taken or
    // stopped). Without a thread nothing happens, and the block is decoded when it is needed.
    void start(DataSource& source, const PayloadHeader& header, uint64_t at);
    // Waits for the block being decoded; when it is the one at `at`, swaps it into `into` (whose
    // buffers are used for the next one) and returns true.
    bool take(uint64_t at, DecodedBlock& into);
    // Waits until the source is no longer read.
    void wait();
    // Ends the thread.
    void stop();

  private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
    bool failedToStart_ = false;
};

// The data area: blocks (length, checksum, bytes) decoded in order into one record stream. One
// decoded block is read at a time (and the next one decoded ahead); a record's file data is
// handed out in pieces straight from it, so a file of any size needs no more memory than two
// blocks.
class DataArea {
  public:
    DataArea() = default;
    // The thread that decodes ahead is stopped before anything it reads goes.
    ~DataArea() { readAhead_.stop(); }
    DataArea(DataArea&&) = default;
    DataArea& operator=(DataArea&&) = default;

    // bytes/size: the data area as stored; compressed: ProductFlags low word 0x20. The stored
    // bytes must stay in place while the area is read.
    PayloadResult open(const uint8_t* bytes, size_t size, const PayloadHeader& header,
                       bool compressed);
    // The same from a source that must outlive the reading. A source that cannot be read gives
    // kCodeDataRead.
    PayloadResult open(DataSource& source, const PayloadHeader& header, bool compressed);
    // Reads record index up to its file data: the record's length and fields. A record whose
    // data was not read to its end is finished first (and its faults reported).
    PayloadResult nextFileRecord(int32_t index, FileRecord& record, bool silentMode = false);
    // The next piece of the open record's file data, valid until the next call on the area.
    // size 0: the data is complete, its checksum was compared (code 100) and the record is
    // closed. A fault, once reported, is reported by every later call.
    PayloadResult readData(const uint8_t*& piece, size_t& size);
    // Back to the first byte of the last record's data (the record opens again), for a reader
    // that has to start over; the data is checked again when it is read to its end.
    PayloadResult rewindData();
    // Reads and checks what is left of the open record; nothing to do when none is open.
    PayloadResult finishRecord();
    // The rest of the open record's data appended to out, then the record finished.
    PayloadResult appendData(String& out);
    // The stored data checksum of the last record read to its end.
    uint32_t dataCheck() const { return dataCheck_; }
    // Decoding the next compressed block ahead on a second thread (on by default); off, each
    // block is decoded when it is reached. Either way the reader gives the same results. The
    // choice holds for every later open.
    void setReadAhead(bool on) { readAheadOn_ = on; }
    // Whether anything follows the records read so far: decoded bytes not yet taken, or
    // stored bytes other than the zero padding that may close an area kept outside the image.
    bool hasLeftover();

  private:
    PayloadResult result() const;
    int fail(int code);
    int loadBlock();
    int takeRecordLength(int32_t& length);
    int readRecordBytes(void* out, size_t n);
    int readRecordText(String& text, bool wide);
    int skipRecordBytes(int64_t n);
    int recordFault(int code);
    int readFields(int32_t index, FileRecord& record, bool silentMode);
    int closeData();

    // First: its assignment stops the thread before the members it reads from (the header, the
    // source) change.
    BlockReadAhead readAhead_;
    const PayloadHeader* header_ = nullptr;
    MemoryDataSource memory_;
    DataSource* source_ = nullptr;
    uint64_t blocks_ = 0;  // area offset of the next block
    bool compressed_ = false;
    bool readAheadOn_ = true;
    // The current decoded block (current_.start is where it begins): in the stored area or in
    // current_'s buffers.
    const uint8_t* block_ = nullptr;
    size_t blockSize_ = 0;
    size_t blockPos_ = 0;
    DecodedBlock current_;
    int failed_ = kCodeOk;
    // The open record: its bytes not read yet, its data bytes not handed out yet.
    bool recordOpen_ = false;
    int64_t recordLeft_ = 0;
    size_t dataLeft_ = 0;
    size_t dataSize_ = 0;
    HashAccumulator dataHash_;
    uint32_t dataCheck_ = 0;
    // Where the last record's data begins, for rewindData.
    struct DataStart {
        bool valid = false;
        uint64_t blockStart = 0;
        size_t position = 0;
        int64_t recordLeft = 0;
    } dataStart_;
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
int prepareUninstallerImage(String head, const String& tail, bool tailRead,
                            const SectionPlace& section, uint32_t imageCheck, bool checkImage,
                            bool cutSection, String& image);

}  // namespace tessarin
