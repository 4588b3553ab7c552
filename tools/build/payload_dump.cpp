#include "tools/build/payload_dump.h"

#include <cstdio>
#include <stdexcept>

#include "core/convert.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"
#include "tools/build/json_text.h"
#include "tools/build/script_dump.h"
#include "tools/build/stub_kind.h"

namespace tessarin::build {
namespace {

[[noreturn]] void corrupt(int code, const char* where) {
    throw std::runtime_error(std::string("corrupt payload (") + where + "): error code " +
                             std::to_string(code));
}

// A record's label is UTF-8 for shortcut records (kind 5, or shortcut options) and control-panel
// applets, and 8-bit text otherwise (a version, a font's name).
std::string jsonLabel(const FileRecord& f) {
    bool utf8 = f.kind == 5 || f.kind == 12 || (f.options & 0x3) != 0;
    return utf8 ? jsonUtf8(f.label) : jsonAnsi(f.label);
}

}  // namespace

std::string dumpInstaller(const std::vector<uint8_t>& file) {
    SetupSection section = locateSetupSection(file.data(), file.size());
    if (section.errorCode) corrupt(section.errorCode, "PE headers");
    if (!section.found) throw std::runtime_error("no .setup section: not an installer");
    if (section.rawOffset > file.size()) corrupt(kCodeSectionSeek, "section offset");
    size_t available = file.size() - section.rawOffset;
    size_t size = section.rawSize < available ? section.rawSize : available;
    const uint8_t* base = file.data() + section.rawOffset;
    PayloadHeader h;
    String script;
    PayloadResult r = openPayload(base, size, h, script);
    if (r.versionMismatch)
        throw std::runtime_error("builder version mismatch: " +
                                 std::string(h.BuilderVersion.c_str()));
    if (!r.ok()) corrupt(r.code, "header");
    if (!verifyScriptCheck(h, script)) corrupt(kCodeScriptCheck, "script");
    // A script the installer's reader accepts also says how the data area is laid out; a
    // bare script (as tests build) leaves the layout to be worked out from the bytes.
    InstallScript read;
    int scriptCode = readScriptForDump(script, h.ScriptCheck, h.ProductFlags2, read);
    std::string scriptText = scriptCode == 0 ? scriptJson(read) : "null";

    // The data area lies in the section, or, with external data, runs from the end of the
    // script to the end of the file. Without a readable script: external data is what the
    // loader does not map (the section's virtual size ends at the data area), or what DataEnd
    // does not describe.
    bool external = scriptCode == 0 ? read.ExternalData != 0
                                    : (section.mappedSize() == h.dataOffset && h.DataSize > 0) ||
                                          uint64_t(h.DataEnd) > size ||
                                          int64_t(h.DataEnd) - int64_t(h.dataOffset) != h.DataSize;
    // Every length comes from the file being described and is held against what the file
    // holds: the data area in the image ends at DataEnd, which must lie within the section's
    // bytes that the file carries.
    const uint8_t* area = base + h.dataOffset;
    size_t areaSize;
    if (external) {
        areaSize = available - h.dataOffset;
    } else {
        if (size_t(h.DataEnd) < h.dataOffset) corrupt(kCodeDataLength, "DataEnd");
        if (size_t(h.DataEnd) > size) {
            throw std::runtime_error("truncated installer: the data area ends at byte " +
                                     std::to_string(h.DataEnd) + " of the section, but the file " +
                                     "holds only " + std::to_string(size) + " bytes of it");
        }
        areaSize = size_t(h.DataEnd) - h.dataOffset;
    }
    // Blocks are zlib streams when the first block starts with a zlib header (after the
    // cipher, which the reader undoes itself); try compressed first, then stored.
    DataArea data;
    std::string records;
    bool compressedBlocks = true;
    int firstAttempt = 0, lastAttempt = 1;
    if (scriptCode == 0) firstAttempt = lastAttempt = (read.ProductFlags & 0x20) ? 0 : 1;
    for (int attempt = firstAttempt; attempt <= lastAttempt; ++attempt) {
        compressedBlocks = attempt == 0;
        records.clear();
        r = data.open(area, areaSize, h, compressedBlocks);
        if (!r.ok()) corrupt(r.code, "data area");
        bool ok = true;
        for (int32_t i = 0; i < h.FileCount && ok; ++i) {
            FileRecord f;
            r = data.nextFileRecord(i, f);
            if (r.ok()) r = data.finishRecord();
            if (!r.ok()) {
                if (attempt < lastAttempt) {
                    ok = false;
                    break;
                }
                corrupt(r.code, "file record");
            }
            records += std::string(i ? "," : "") + "\n    {\"name\":" + jsonPath(f.name) +
                       ",\"kind\":" + std::to_string(f.kind) +
                       ",\"options\":" + std::to_string(f.options) +
                       ",\"attributes\":" + std::to_string(f.attributes) +
                       ",\"label\":" + jsonLabel(f) + ",\"arguments\":" + jsonAnsi(f.arguments) +
                       ",\"target\":" + jsonWide(f.targetPath) +
                       ",\"auxiliary\":" + jsonPath(f.auxiliary) +
                       ",\"size\":" + std::to_string(f.dataSize) +
                       ",\"checksum\":" + hex32(data.dataCheck()) + "}";
        }
        if (ok) break;
    }
    std::string out =
        "{\n  \"stub\":" + stubJson(stubKind(file.data(), file.size())) +
        ",\n  \"builderVersion\":" + jsonAnsi(h.BuilderVersion) +
        ",\n  \"productFlags2\":" + hex32(h.ProductFlags2) +
        ",\n  \"enciphered\":" + ((h.ProductFlags2 & kFlags2Enciphered) ? "true" : "false") +
        ",\n  \"scriptPackedSize\":" + std::to_string(h.ScriptPackedSize) +
        ",\n  \"scriptSize\":" + std::to_string(script.length()) +
        ",\n  \"scriptCheck\":" + hex32(h.ScriptCheck) +
        ",\n  \"imageCheck\":" + hex32(h.ImageCheck) +
        ",\n  \"dataOffset\":" + std::to_string(h.dataOffset) +
        ",\n  \"dataEnd\":" + std::to_string(h.DataEnd) +
        ",\n  \"dataSize\":" + std::to_string(h.DataSize) +
        ",\n  \"dataCheck\":" + hex32(h.DataCheck) +
        ",\n  \"externalData\":" + (external ? "true" : "false") +
        ",\n  \"compressedBlocks\":" + (compressedBlocks ? "true" : "false") +
        ",\n  \"section\":{\"rawOffset\":" + std::to_string(section.rawOffset) +
        ",\"rawSize\":" + std::to_string(section.rawSize) +
        ",\"virtualAddress\":" + std::to_string(section.virtualAddress) + "}" +
        ",\n  \"scriptReadCode\":" + std::to_string(scriptCode) + ",\n  \"script\":" + scriptText +
        ",\n  \"fileCount\":" + std::to_string(h.FileCount) + ",\n  \"files\":[" + records +
        (records.empty() ? "]" : "\n  ]") + "\n}\n";
    return out;
}

std::vector<uint8_t> uninstallerImage(const std::vector<uint8_t>& file) {
    SetupSection section = locateSetupSection(file.data(), file.size());
    if (section.errorCode) corrupt(section.errorCode, "PE headers");
    if (!section.found) throw std::runtime_error("no .setup section: not an installer");
    SectionPlace place{section.rawOffset, section.rawSize, section.tableEntryOffset};
    String image;
    int code = prepareUninstallerImage(file.data(), file.size(), place, 0, false, true, image);
    if (code) corrupt(code, "uninstaller image");
    return std::vector<uint8_t>(image.bytes(), image.bytes() + image.length());
}

}  // namespace tessarin::build
