#include <windows.h>

#include <memory>
#include <utility>

#include "core/convert.h"
#include "core/fatal.h"
#include "core/file.h"
#include "core/format.h"
#include "core/process.h"
#include "core/system_error.h"
#include "package/install_script.h"
#include "package/payload.h"

namespace tessarin {
namespace {

// Enough of the executable's head for the PE headers and the section table.
constexpr int32_t kHeadBytes = 64 * 1024;

[[noreturn]] void cannotOpenSelf(const String& path, uint32_t error) {
    fatalErrorWide(selfOpenFailureMessage(path, error, systemErrorText(error)).w_str());
}

bool openSelf(File& file) {
    String path = currentModulePath();
    if (file.open(path.w_str(), kFileOpenExisting | kFileNoWrite | kFileShareRead,
                  kFileAttributeNormal) != kFileOk)
        cannotOpenSelf(path, GetLastError());
    return true;
}

// The data area read from the executable a chunk at a time, so that the installer's memory does
// not grow with the payload (the section's pages in the loaded image are never touched).
// Compressed blocks are inflated as their chunks arrive, so a small chunk is all that holds
// stored bytes; a stored block is still held whole.
constexpr size_t kReadChunk = 64 * 1024;

class FileDataSource : public ChunkedDataSource {
  public:
    FileDataSource(uint64_t position, uint64_t size)
        : ChunkedDataSource(size, kReadChunk), position_(position) {
        openSelf(file_);
    }
    uint64_t filePosition(uint64_t offset) const { return position_ + offset; }

  protected:
    bool fill(uint64_t offset, uint8_t* out, size_t n) override {
        return n <= size_t(kWholeLength) && file_.seek(static_cast<int64_t>(position_ + offset)) &&
               file_.read(out, static_cast<int32_t>(n));
    }

  private:
    File file_;
    uint64_t position_;
};

std::unique_ptr<FileDataSource>& dataSource() {
    static std::unique_ptr<FileDataSource> source;
    return source;
}

[[noreturn]] void cannotReadData(uint64_t position, size_t size) {
    fatalError(format("Error code 2: failed to read archive data\r\nsize=%d pos=%d",
                      static_cast<int>(size), static_cast<int>(position))
                   .c_str());
}

}  // namespace

// Once a script is loaded its message 13 is the text, in the user's language. A data area that
// could not be read is not corrupt: it has its own message.
void raiseCorruption(int code) {
    if (code == kCodeDataRead) {
        const FileDataSource* source = dataSource().get();
        if (!source) cannotReadData(0, 0);
        cannotReadData(source->filePosition(source->failedOffset()), source->failedCount());
    }
    fatalErrorWide(corruptionMessage(code, Message(13)).w_str());
}

bool OpenPayload(Payload& payload) {
    File self;
    openSelf(self);
    payload.fileSize = static_cast<uint64_t>(self.size());
    String head;
    int32_t headBytes = payload.fileSize < uint64_t(kHeadBytes)
                            ? static_cast<int32_t>(payload.fileSize)
                            : kHeadBytes;
    if (!self.readRange(head, 0, headBytes)) raiseCorruption(kCodePeOffset);
    payload.section = locateSetupSection(head.bytes(), static_cast<size_t>(head.length()));
    if (payload.section.errorCode) raiseCorruption(payload.section.errorCode);
    if (!payload.section.found) return false;
    if (!self.seek(payload.section.rawOffset)) raiseCorruption(kCodeSectionSeek);
    // The header and the script are read in place from the loaded image, the data area later
    // from the file.
    payload.dataFromFile = true;
    payload.sectionBase =
        static_cast<const uint8_t*>(currentImageBase()) + payload.section.virtualAddress;
    PayloadResult r = openPayload(payload.sectionBase, payload.section.mappedSize(), payload.header,
                                  payload.script);
    if (r.versionMismatch)
        fatalError(versionMismatchMessage(payload.header.BuilderVersion).c_str());
    if (!r.ok()) raiseCorruption(r.code);
    return true;
}

namespace {

bool cutsSection(const Payload& payload) {
    return (payload.header.ProductFlags2 & kFlags2CutSetupSection) != 0;
}

// The image from the executable's head and the bytes after the section; a corruption code.
int buildUninstallerImage(const Payload& payload, bool checkImage, String& image) {
    const SetupSection& section = payload.section;
    bool cut = cutsSection(payload);
    File self;
    openSelf(self);
    String head, tail;
    if (!self.readRange(head, 0, static_cast<int32_t>(section.rawOffset))) return kCodeImageRead;
    uint64_t sectionEnd = uint64_t(section.rawOffset) + section.rawSize;
    bool tailRead =
        sectionEnd <= payload.fileSize && payload.fileSize - sectionEnd < uint64_t(kWholeLength);
    if (cut && tailRead && sectionEnd < payload.fileSize)
        tailRead = self.readRange(tail, static_cast<int64_t>(sectionEnd),
                                  static_cast<int32_t>(payload.fileSize - sectionEnd));
    SectionPlace place{section.rawOffset, section.rawSize, section.tableEntryOffset};
    return prepareUninstallerImage(std::move(head), tail, tailRead, place,
                                   payload.header.ImageCheck, checkImage, cut, image);
}

}  // namespace

// The image is as large as the stub: it is not held through the file loop but made again when
// the uninstaller is written.
void PrepareUninstallerImage(Payload& payload, bool checkImage) {
    String image;
    int code = buildUninstallerImage(payload, checkImage, image);
    if (code != kCodeOk) raiseCorruption(code);
    payload.uninstallerSize = cutsSection(payload) ? uint64_t(image.length()) : payload.fileSize;
}

// The executable and the image were checked when the script was read.
String UninstallerImage(const Payload& payload) {
    String image;
    if (!cutsSection(payload)) return image;
    int code = buildUninstallerImage(payload, false, image);
    if (code != kCodeOk) raiseCorruption(code);
    return image;
}

void OpenDataArea(Payload& payload, DataArea& area, bool externalData, bool compressedBlocks) {
    const PayloadHeader& h = payload.header;
    uint64_t position = uint64_t(payload.section.rawOffset) + h.dataOffset;
    uint64_t length;
    if (externalData) {
        length = payload.fileSize > position ? payload.fileSize - position : 0;
        if (length != uint64_t(h.DataSize)) raiseCorruption(kCodeDataLength);
    } else {
        int64_t available = int64_t(h.DataEnd) - int64_t(h.dataOffset);
        // The data area must lie inside the mapped section, whose bytes are the file's.
        if (available != h.DataSize || uint64_t(h.DataEnd) > payload.section.mappedSize())
            raiseCorruption(kCodeDataLength);
        length = static_cast<uint64_t>(available);
    }
    std::unique_ptr<FileDataSource>& source = dataSource();
    source.reset();
    PayloadResult r;
    if (externalData || payload.dataFromFile) {
        source = std::make_unique<FileDataSource>(position, length);
        r = area.open(*source, h, compressedBlocks);
    } else {
        r = area.open(payload.sectionBase + h.dataOffset, static_cast<size_t>(length), h,
                      compressedBlocks);
    }
    if (!r.ok()) raiseCorruption(r.code);
}

void CloseDataArea(DataArea& area) {
    area = DataArea();
    dataSource().reset();
}

}  // namespace tessarin
