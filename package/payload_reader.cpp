#include "package/payload_reader.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

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

bool MemoryDataSource::read(uint64_t offset, size_t n, const uint8_t*& bytes) {
    if (offset > size_ || n > size_ - offset) return false;
    bytes = bytes_ + offset;
    return true;
}

bool ChunkedDataSource::read(uint64_t offset, size_t n, const uint8_t*& bytes) {
    if (offset > size_ || n > size_ - offset) return false;
    if (offset >= start_ && offset - start_ <= held_ && n <= held_ - (offset - start_)) {
        bytes = buffer_.data() + (offset - start_);
        return true;
    }
    size_t want = static_cast<size_t>(std::min<uint64_t>(std::max(n, chunk_), size_ - offset));
    if (buffer_.size() < want) {
        held_ = 0;
        buffer_.clear();
        buffer_.shrink_to_fit();
        buffer_.resize(want);
    }
    held_ = 0;
    start_ = offset;
    if (!fill(offset, buffer_.data(), want)) {
        failedOffset_ = offset;
        failedCount_ = want;
        return false;
    }
    held_ = want;
    bytes = buffer_.data();
    return true;
}

PayloadResult DataArea::open(const uint8_t* bytes, size_t size, const PayloadHeader& header,
                             bool compressed) {
    MemoryDataSource memory(bytes, size);
    PayloadResult r = open(memory, header, compressed);
    memory_ = memory;
    source_ = &memory_;
    return r;
}

// The whole area is checked before its first block is read, a chunk at a time.
PayloadResult DataArea::open(DataSource& source, const PayloadHeader& header, bool compressed) {
    bool readAhead = readAheadOn_;
    *this = DataArea();
    readAheadOn_ = readAhead;
    header_ = &header;
    compressed_ = compressed;
    source_ = &source;
    uint64_t size = source.size();
    if (size != static_cast<uint64_t>(header.DataSize)) return failed(kCodeDataLength);
    HashAccumulator hash;
    for (uint64_t at = 0; at < size;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(source.chunkSize(), size - at));
        const uint8_t* bytes;
        if (!source.read(at, n, bytes)) return failed(kCodeDataRead);
        hash.add(bytes, n);
        at += n;
    }
    if (hash.value() != header.DataCheck) return failed(kCodeDataCheck);
    return PayloadResult{};
}

bool DataArea::hasLeftover() {
    if (recordOpen_ || blockPos_ < blockSize_) return true;
    if (!source_) return false;
    readAhead_.wait();
    uint64_t size = source_->size();
    for (uint64_t at = blocks_; at < size;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(source_->chunkSize(), size - at));
        const uint8_t* bytes;
        // Bytes that cannot be read cannot be shown to be padding.
        if (!source_->read(at, n, bytes)) return true;
        for (size_t i = 0; i < n; ++i)
            if (bytes[i] != 0) return true;
        at += n;
    }
    return false;
}

PayloadResult DataArea::result() const {
    return failed(failed_);
}

// The first fault stays: the area is not read past it.
int DataArea::fail(int code) {
    if (failed_ == kCodeOk) failed_ = code;
    return failed_;
}

namespace {

// The inflation routine reserves three times the stored bytes and more for its output, and the
// output only ever grows. Grown in place, a larger buffer would hold a copy of the old one while
// both are allocated: the old one goes first, since no decoded byte of it is needed any more.
void makeInflateRoom(std::vector<uint8_t>& inflated, size_t stored) {
    size_t estimate = 3 * stored + 1024;
    if (inflated.capacity() >= estimate) return;
    std::vector<uint8_t>().swap(inflated);
    inflated.reserve(estimate);
}

// The stored bytes of a compressed block, from out.next, inflated as they are read a chunk at a
// time, so that they are never held whole. The decoded bytes count only when the stored ones
// match the checksum: a damaged block is a checksum fault even where inflating failed first.
int inflateBlockAsRead(DataSource& source, size_t length, uint32_t check, DecodedBlock& out) {
    makeInflateRoom(out.inflated, length);
    PieceInflater inflater(out.inflated, length);
    HashAccumulator hash;
    // Runs of whole inflation pieces, so that the pieces are cut as for a block read whole.
    size_t run = std::max(kInflateWindow, source.chunkSize() / kInflateWindow * kInflateWindow);
    for (size_t done = 0; done < length;) {
        size_t n = std::min(run, length - done);
        const uint8_t* stored;
        if (!source.read(out.next + done, n, stored)) return out.code = kCodeDataRead;
        hash.add(stored, n);
        inflater.feed(stored, n);
        done += n;
    }
    out.next += length;
    if (hash.value() != check) return out.code = kCodeBlockCheck;
    if (!inflater.ok()) return out.code = kCodeBlockInflate;
    out.bytes = out.inflated.data();
    out.size = inflater.produced();
    return out.code = kCodeOk;
}

// Reads the block at `at` (length, checksum, bytes), checks it and deciphers and inflates it.
int decodeBlock(DataSource& source, const PayloadHeader& header, bool compressed, uint64_t at,
                DecodedBlock& out) {
    out.start = out.next = at;
    out.bytes = nullptr;
    out.size = 0;
    uint64_t left = source.size() - at;
    const uint8_t* fields;
    if (left < 4) return out.code = kCodeBlockLength;
    if (!source.read(at, left < 8 ? 4 : 8, fields)) return out.code = kCodeDataRead;
    int32_t length = static_cast<int32_t>(loadLe32(fields));
    if (length <= 0 || left < 8) return out.code = kCodeBlockLength;
    uint32_t check = loadLe32(fields + 4);
    out.next += 8;
    if (static_cast<uint64_t>(length) > left - 8) return out.code = kCodeBlockOverrun;
    if (compressed && !(header.ProductFlags2 & kFlags2Enciphered))
        return inflateBlockAsRead(source, static_cast<size_t>(length), check, out);
    const uint8_t* stored;
    if (!source.read(out.next, static_cast<size_t>(length), stored))
        return out.code = kCodeDataRead;
    out.next += static_cast<uint64_t>(length);
    if (hashBytes(stored, length) != check) return out.code = kCodeBlockCheck;
    const uint8_t* bytes = stored;
    size_t size = static_cast<size_t>(length);
    if (header.ProductFlags2 & kFlags2Enciphered) {
        out.deciphered.assign(reinterpret_cast<const char*>(stored), length);
        if (!decipherPayloadBuffer(header.CipherKey, out.deciphered))
            return out.code = kCodeBlockInflate;
        bytes = out.deciphered.bytes();
        size = static_cast<size_t>(out.deciphered.length());
    }
    if (compressed) {
        makeInflateRoom(out.inflated, size);
        size_t produced = 0;
        if (!inflateInto(bytes, size, out.inflated, produced)) return out.code = kCodeBlockInflate;
        bytes = out.inflated.data();
        size = produced;
    }
    out.bytes = bytes;
    out.size = size;
    return out.code = kCodeOk;
}

}  // namespace

// One thread that decodes one block at a time when asked to.
struct BlockReadAhead::Worker {
    std::mutex lock;
    std::condition_variable changed;
    bool asked = false;  // a block is to be decoded or is being decoded
    bool ending = false;
    DataSource* source = nullptr;
    const PayloadHeader* header = nullptr;
    DecodedBlock block;
    std::exception_ptr thrown;
    std::thread thread;  // last: it starts once the rest is in place

    Worker() : thread([this] { run(); }) {}

    void run() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            changed.wait(held, [this] { return asked || ending; });
            if (!asked) return;
            held.unlock();
            try {
                decodeBlock(*source, *header, true, block.start, block);
            } catch (...) {
                thrown = std::current_exception();
            }
            held.lock();
            asked = false;
            changed.notify_all();
        }
    }

    void waitIdle() {
        std::unique_lock<std::mutex> held(lock);
        changed.wait(held, [this] { return !asked; });
    }
};

BlockReadAhead::BlockReadAhead() = default;

BlockReadAhead::BlockReadAhead(BlockReadAhead&&) noexcept {}

BlockReadAhead::~BlockReadAhead() {
    stop();
}

BlockReadAhead& BlockReadAhead::operator=(BlockReadAhead&&) noexcept {
    stop();
    failedToStart_ = false;
    return *this;
}

void BlockReadAhead::start(DataSource& source, const PayloadHeader& header, uint64_t at) {
    if (!worker_ && !failedToStart_) {
        try {
            worker_ = std::make_unique<Worker>();
        } catch (...) {
            // No thread (or no memory for one): the blocks are decoded as they are needed.
            failedToStart_ = true;
        }
    }
    if (!worker_) return;
    worker_->waitIdle();
    std::lock_guard<std::mutex> held(worker_->lock);
    worker_->source = &source;
    worker_->header = &header;
    worker_->block.start = at;
    worker_->asked = true;
    worker_->changed.notify_all();
}

bool BlockReadAhead::take(uint64_t at, DecodedBlock& into) {
    if (!worker_) return false;
    worker_->waitIdle();
    if (worker_->thrown) {
        std::exception_ptr thrown = std::exchange(worker_->thrown, nullptr);
        std::rethrow_exception(thrown);
    }
    if (!worker_->source || worker_->block.start != at) return false;
    std::swap(into, worker_->block);
    worker_->source = nullptr;
    return true;
}

void BlockReadAhead::wait() {
    if (worker_) worker_->waitIdle();
}

void BlockReadAhead::stop() {
    if (!worker_) return;
    {
        std::lock_guard<std::mutex> held(worker_->lock);
        worker_->ending = true;
        worker_->changed.notify_all();
    }
    worker_->thread.join();
    worker_.reset();
}

// Decodes the next block, which becomes the current one. Stored blocks without the cipher are
// read where they lie; the others are decoded into buffers kept from block to block.
int DataArea::loadBlock() {
    block_ = nullptr;
    blockSize_ = blockPos_ = 0;
    if (!source_) return fail(kCodeBlockLength);
    if (!readAhead_.take(blocks_, current_))
        decodeBlock(*source_, *header_, compressed_, blocks_, current_);
    blocks_ = current_.next;
    if (current_.code != kCodeOk) return fail(current_.code);
    block_ = current_.bytes;
    blockSize_ = current_.size;
    // Only inflated blocks live in buffers of their own; stored ones are the source's bytes,
    // which the next read would replace.
    if (readAheadOn_ && compressed_ && blocks_ < source_->size())
        readAhead_.start(*source_, *header_, blocks_);
    return kCodeOk;
}

// A length never straddles blocks: fewer than four bytes left in the current block are
// skipped and the next block is loaded.
int DataArea::takeRecordLength(int32_t& length) {
    if (blockSize_ - blockPos_ < 4) {
        blockPos_ = blockSize_;
        if (int code = loadBlock()) return code;
        if (blockSize_ < 4) return fail(kCodeBlockLength);
    }
    length = static_cast<int32_t>(loadLe32(block_ + blockPos_));
    blockPos_ += 4;
    return kCodeOk;
}

// n bytes of the open record, across blocks; the caller has checked that the record holds them.
int DataArea::readRecordBytes(void* out, size_t n) {
    uint8_t* to = static_cast<uint8_t*>(out);
    while (n > 0) {
        if (blockPos_ == blockSize_) {
            if (int code = loadBlock()) return code;
            continue;
        }
        size_t piece = std::min(n, blockSize_ - blockPos_);
        std::memcpy(to, block_ + blockPos_, piece);
        to += piece;
        n -= piece;
        blockPos_ += piece;
        recordLeft_ -= static_cast<int64_t>(piece);
    }
    return kCodeOk;
}

int DataArea::skipRecordBytes(int64_t n) {
    while (n > 0) {
        if (blockPos_ == blockSize_) {
            if (int code = loadBlock()) return code;
            continue;
        }
        size_t piece = std::min(static_cast<size_t>(n), blockSize_ - blockPos_);
        n -= static_cast<int64_t>(piece);
        blockPos_ += piece;
        recordLeft_ -= static_cast<int64_t>(piece);
    }
    return kCodeOk;
}

// A record whose fields do not fit its length gives its code once the whole record was
// found in the stream; a stream that ends first gives the block's code instead.
int DataArea::recordFault(int code) {
    if (int streamCode = skipRecordBytes(recordLeft_)) return streamCode;
    return fail(code);
}

// A zero-terminated field, 8-bit or UTF-16 (a zero unit at an even offset of the field), that
// may run across blocks but not past the record.
int DataArea::readRecordText(String& text, bool wide) {
    text.clear();
    while (true) {
        if (recordLeft_ <= 0) return recordFault(kCodeEmptyName);
        if (blockPos_ == blockSize_) {
            if (int code = loadBlock()) return code;
            continue;
        }
        const uint8_t* p = block_ + blockPos_;
        size_t piece = std::min(blockSize_ - blockPos_, static_cast<size_t>(recordLeft_));
        size_t end = piece;    // bytes of the piece that belong to the text
        size_t taken = piece;  // bytes of the piece read
        bool found = false;
        if (!wide) {
            if (const void* zero = std::memchr(p, 0, piece)) {
                end = static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
                taken = end + 1;
                found = true;
            }
        } else {
            size_t i = 0;
            if (text.length() % 2) {
                // The previous piece ended inside a unit.
                if (text.bytes()[text.length() - 1] == 0 && p[0] == 0) {
                    text.setLength(text.length() - 1);
                    end = 0;
                    taken = 1;
                    found = true;
                }
                i = 1;
            }
            for (; !found && i + 1 < piece; i += 2) {
                if (p[i] == 0 && p[i + 1] == 0) {
                    end = i;
                    taken = i + 2;
                    found = true;
                }
            }
        }
        if (end > 0) text.append(reinterpret_cast<const char*>(p), static_cast<int32_t>(end));
        blockPos_ += taken;
        recordLeft_ -= static_cast<int64_t>(taken);
        if (found) return kCodeOk;
    }
}

int DataArea::readFields(int32_t index, FileRecord& r, bool silentMode) {
    auto readInt = [this](int32_t& v) -> int {
        uint8_t b[4];
        if (recordLeft_ < 4) return recordFault(kCodeEmptyName);
        if (int code = readRecordBytes(b, 4)) return code;
        v = static_cast<int32_t>(loadLe32(b));
        return kCodeOk;
    };
    if (int code = readRecordText(r.name, false)) return code;
    if (r.name.empty()) return recordFault(kCodeEmptyName);
    // A record cut short inside its fixed fields is as unusable as one without a name.
    if (int code = readInt(r.kind)) return code;
    if (int code = readInt(r.options)) return code;
    if (int code = readInt(r.attributes)) return code;
    if (recordLeft_ < kDateRecordSize) return recordFault(kCodeEmptyName);
    if (int code = readRecordBytes(r.date, kDateRecordSize)) return code;
    if (int code = readRecordText(r.label, false)) return code;
    r.shortcutIcon.clear();
    if (r.options & 0x3)
        if (int code = readRecordText(r.shortcutIcon, false)) return code;
    if (int code = readRecordText(r.arguments, false)) return code;
    if (int code = readRecordText(r.targetPath, true)) return code;
    if (int code = readRecordText(r.auxiliary, false)) return code;
    r.uiLevel = 0;
    if (r.kind == kKindInstallerPackage) {
        if (int code = readInt(r.uiLevel)) return code;
        if (silentMode) r.uiLevel = 2;
    }
    int32_t stored = header_->FileSizes[static_cast<size_t>(index)];
    if (stored < 0) return recordFault(kCodeStoredSizeNegative);
    if (stored > kMaxStoredFileSize) return recordFault(kCodeStoredSizeLarge);
    if (recordLeft_ < int64_t{stored} + 4) return recordFault(kCodeFileDataCheck);
    r.dataSize = stored;
    return kCodeOk;
}

PayloadResult DataArea::nextFileRecord(int32_t index, FileRecord& record, bool silentMode) {
    if (failed_) return result();
    if (!header_ || index < 0 || index >= header_->FileCount) return failed(kCodeFileCount);
    if (recordOpen_ && !finishRecord().ok()) return result();
    dataStart_.valid = false;
    int32_t length = 0;
    if (takeRecordLength(length)) return result();
    if (length <= 0) return failed(fail(kCodeEmptyName));
    recordOpen_ = true;
    recordLeft_ = length;
    if (readFields(index, record, silentMode)) {
        recordOpen_ = false;
        return result();
    }
    dataSize_ = dataLeft_ = static_cast<size_t>(record.dataSize);
    dataHash_.reset();
    dataStart_ = DataStart{true, current_.start, blockPos_, recordLeft_};
    return PayloadResult{};
}

PayloadResult DataArea::readData(const uint8_t*& piece, size_t& size) {
    piece = nullptr;
    size = 0;
    if (failed_ || !recordOpen_) return result();
    if (dataLeft_ == 0) {
        closeData();
        return result();
    }
    while (blockPos_ == blockSize_)
        if (loadBlock()) return result();
    size = std::min(dataLeft_, blockSize_ - blockPos_);
    piece = block_ + blockPos_;
    dataHash_.add(piece, size);
    blockPos_ += size;
    dataLeft_ -= size;
    recordLeft_ -= static_cast<int64_t>(size);
    return PayloadResult{};
}

// After the last data byte: the stored checksum and whatever else the record holds, then the
// comparison.
int DataArea::closeData() {
    uint8_t check[4];
    if (int code = readRecordBytes(check, 4)) return code;
    if (int code = skipRecordBytes(recordLeft_)) return code;
    recordOpen_ = false;
    dataCheck_ = loadLe32(check);
    if (dataHash_.value() != dataCheck_) return fail(kCodeFileDataCheck);
    return kCodeOk;
}

PayloadResult DataArea::finishRecord() {
    const uint8_t* piece;
    size_t size;
    while (recordOpen_ && !failed_) readData(piece, size);
    return result();
}

PayloadResult DataArea::appendData(String& out) {
    const uint8_t* piece;
    size_t size;
    while (recordOpen_ && !failed_) {
        readData(piece, size);
        if (size > 0) out.append(reinterpret_cast<const char*>(piece), static_cast<int32_t>(size));
    }
    return result();
}

PayloadResult DataArea::rewindData() {
    if (failed_) return result();
    if (!dataStart_.valid) return failed(kCodeFileCount);
    blocks_ = dataStart_.blockStart;
    if (loadBlock()) return result();
    blockPos_ = std::min(dataStart_.position, blockSize_);
    recordLeft_ = dataStart_.recordLeft;
    dataLeft_ = dataSize_;
    dataHash_.reset();
    recordOpen_ = true;
    return PayloadResult{};
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
    return prepareUninstallerImage(std::move(head), tail, sectionEnd <= size, section, imageCheck,
                                   checkImage, cutSection, image);
}

int prepareUninstallerImage(String head, const String& tail, bool tailRead,
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
    // The image is made in the head's own block: the executable is never held twice.
    String buffer = std::move(head);
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
    // The section may start at a page boundary, after zero padding that the stub did not have:
    // zeros between the end of the last remaining section's raw data and the cut are dropped,
    // unless a section lies after the cut.
    uint64_t stubEnd = 0;
    bool sectionAfterCut = false;
    for (uint32_t slot = table; slot < last; slot += 40) {
        uint32_t offset = loadLe32(b + slot + 20);
        uint64_t end = uint64_t(offset) + loadLe32(b + slot + 16);
        if (offset == 0) continue;
        if (end > section.rawOffset) sectionAfterCut = true;
        stubEnd = std::max(stubEnd, end);
    }
    uint32_t cut = section.rawOffset;
    while (!sectionAfterCut && cut > stubEnd && b[cut - 1] == 0) --cut;
    if (cut < section.rawOffset)
        buffer.replace(static_cast<int32_t>(cut), static_cast<int32_t>(section.rawOffset - cut),
                       nullptr, 0);
    image = std::move(buffer);
    return kCodeOk;
}

}  // namespace tessarin
