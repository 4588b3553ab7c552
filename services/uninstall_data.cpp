#include "services/uninstall_data.h"

#include <cstring>

#include "core/chars.h"
#include "core/convert.h"
#include "core/csv.h"
#include "core/file.h"
#include "core/format.h"
#include "core/platform_text.h"

namespace tessarin {

const int32_t kUninstallTextNumbers[kUninstallTextCount] = {
    10, 15, 20, 30, 34, 35, 49, 53,  55,  56,  57,  58,  59,  65,  67, 68,
    69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kTrimmed = " \r\n\t";
constexpr const char* kAssociationSeparator = "~!~";
constexpr int32_t kAssociationSeparatorLength = 3;
constexpr int32_t kMaxNotes = 100;

// ---- Text helpers ------------------------------------------------------------------------

// UTF-16 to UTF-8 with "?" for what has no UTF-8 form (unpaired surrogates).
String utf8Text(const String& wide) {
    String copy = wide;
    int32_t n = copy.wideLength();
    char16_t* p = copy.wideData();
    for (int32_t i = 0; i < n; ++i) {
        bool high = p[i] >= 0xD800 && p[i] <= 0xDBFF;
        bool low = p[i] >= 0xDC00 && p[i] <= 0xDFFF;
        if (high && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            p[i] = u'?';
        }
    }
    String text;
    toNarrow(copy.w_str(), n, text, kCodePageUtf8);
    return text;
}

String wideFromUtf8(const char* bytes, int32_t length) {
    String text;
    toWide(bytes, length, text, kCodePageUtf8);
    return text;
}

String decimal(int64_t value) {
    String text;
    appendDecimal(text, value);
    return text;
}

void appendLines(String& body, const Vector<String>& lines) {
    for (const String& line : lines) {
        if (line.empty()) continue;  // blank lines read back from a file are not written again
        body.append(line);
        body.append(kLineEnd);
    }
}

void appendRecord(String& body, std::initializer_list<String> fields) {
    Vector<String> list;
    for (const String& f : fields) list.append(f);
    body.append(csvJoin(list));
    body.append(kLineEnd);
}

DeletionKind kindOfPrefix(char c, bool& hasPrefix) {
    hasPrefix = true;
    switch (c) {
        case '~':
            return DeletionKind::Folder;
        case '!':
            return DeletionKind::RegistryValue;
        case '^':
            return DeletionKind::RegistryKey;
        case '*':
            return DeletionKind::RegistryKey64;
        default:
            hasPrefix = false;
            return DeletionKind::File;
    }
}

String upperAscii(const char* text, int32_t length) {
    String upper(text, length);
    for (int32_t i = 0; i < upper.length(); ++i)
        upper.set(i, static_cast<char>(toUpperAscii(static_cast<unsigned char>(upper.get(i)))));
    return upper;
}

// ---- The parser --------------------------------------------------------------------------

class Parser;
using LineReader = void (*)(Parser& parser, const String& line);
using SectionWriter = void (*)(const UninstallData& data, String& body);

struct SectionFormat {
    const char* header;   // null for the deletion list, which comes first and has none
    bool always;          // written even when empty
    SectionWriter write;  // null for the deletion list, written a line at a time
    LineReader read;
};

// One line of the text: its content, where its line end begins and where the next line starts.
struct Line {
    int32_t start = 0;
    int32_t end = 0;   // the content ends here
    int32_t next = 0;  // after the line end
};

class Parser {
  public:
    Parser(const char* bytes, int32_t length, UninstallData& data, Vector<String>* notes)
        : bytes_(bytes), length_(length > 0 && bytes ? length : 0), data_(data), notes_(notes) {}

    void run();

    UninstallData& data() { return data_; }
    void note(const char* why);
    // After a text header: the lines up to the next header or "~" line (their line ends kept),
    // without trailing blanks and line breaks.
    String collectText();

  private:
    Line lineAt(int32_t position) const;
    bool beginsSection(const Line& line) const;
    const SectionFormat* sectionOf(const String& trimmed) const;

    const char* bytes_;
    int32_t length_;
    UninstallData& data_;
    Vector<String>* notes_;
    int32_t position_ = 0;
    int32_t lineNumber_ = 0;
};

// ---- Sections ----------------------------------------------------------------------------

void readDeletion(Parser& parser, const String& line) {
    FileDeletion deletion;
    bool hasPrefix = false;
    deletion.kind = kindOfPrefix(line.get(0), hasPrefix);
    int32_t skip = hasPrefix ? 1 : 0;
    deletion.path.assign(line.c_str() + skip, line.length() - skip);
    parser.data().deletions.append(deletion);
    if (!line.empty()) parser.data().restoreDeletionLine(line, deletion.kind);
}

// "~n", CR LF, the text in UTF-8, CR LF. Texts are appended with their length: a zero byte
// read into a text is written back as it was.
void appendText(String& body, int32_t number, const String& text) {
    body.appendChar('~');
    appendDecimal(body, number);
    body.append(kLineEnd);
    body.append(utf8Text(text));
    body.append(kLineEnd);
}

void writeTexts(const UninstallData& data, String& body) {
    for (int32_t number : kUninstallTextNumbers) appendText(body, number, data.text(number));
    appendText(body, kBannerTextNumber, data.banner);
}

// A text header is "~" and a number from 1 to 1000; anything else in this section is ignored.
void readTextLine(Parser& parser, const String& line) {
    int64_t number = 0;
    String digits;
    if (line.get(0) == '~') line.substring(digits, 1, kWholeLength);
    if (line.get(0) != '~' || !parseDecimal(digits, kMaxUninstallTextNumber, number) ||
        number < 1) {
        if (!line.empty()) parser.note("not a text number, ignored");
        return;
    }
    String text = parser.collectText();
    if (number == kBannerTextNumber)
        parser.data().banner = std::move(text);
    else
        parser.data().setText(static_cast<int32_t>(number), text);
}

void writeCloseRules(const UninstallData& data, String& body) {
    for (const WindowCloseRule& rule : data.closeRules)
        appendRecord(body,
                     {rule.classPattern, rule.titlePattern, rule.displayName, decimal(rule.mode)});
}

void readCloseRule(Parser& parser, const String& line) {
    if (line.empty()) return;
    Vector<String> fields = csvSplit(line.c_str(), line.length());
    int64_t mode = 0;
    if (fields.count() != 4) return parser.note("not four fields, ignored");
    if (!parseDecimal(fields[3], 3, mode)) return parser.note("unknown closing mode, ignored");
    WindowCloseRule rule;
    rule.classPattern = std::move(fields[0]);
    rule.titlePattern = std::move(fields[1]);
    rule.displayName = std::move(fields[2]);
    rule.mode = static_cast<int32_t>(mode);
    rule.phases = uninstallClosePhase(rule.mode);
    parser.data().closeRules.append(std::move(rule));
}

void writeAssociations(const UninstallData& data, String& body) {
    for (const FileAssociation& a : data.associations) {
        for (const String* field : {&a.extension, &a.programId, &a.verb}) {
            body.append(*field);
            body.append(kAssociationSeparator);
        }
        body.append(a.icon);
        body.append(kLineEnd);
    }
}

// Extension, identifier and verb end at the next separator; the icon is the rest.
void readAssociation(Parser& parser, const String& line) {
    if (line.empty()) return;
    String fields[4];
    const char* p = line.c_str();
    const char* end = p + line.length();
    int field = 0;
    for (; field < 3; ++field) {
        const char* found = nullptr;
        for (const char* q = p; q + kAssociationSeparatorLength <= end && !found; ++q)
            if (std::memcmp(q, kAssociationSeparator, kAssociationSeparatorLength) == 0) found = q;
        if (!found) break;
        fields[field].assign(p, static_cast<int32_t>(found - p));
        p = found + kAssociationSeparatorLength;
    }
    fields[field].assign(p, static_cast<int32_t>(end - p));
    if (fields[0].empty() || fields[1].empty() || fields[2].empty())
        return parser.note("association without extension, identifier or verb, ignored");
    FileAssociation a{fields[0], fields[1], fields[2], fields[3]};
    parser.data().associations.append(std::move(a));
}

template <Vector<String> UninstallData::*lines>
void writeLines(const UninstallData& data, String& body) {
    appendLines(body, data.*lines);
}

template <Vector<String> UninstallData::*lines>
void readLine(Parser& parser, const String& line) {
    (parser.data().*lines).append(line);
}

void writeRegistryTable(const UninstallData& data, String& body) {
    body.append(data.registryTable);
}

void readRegistryRecord(Parser& parser, const String& line) {
    if (line.empty()) return;
    parser.data().registryTable.append(line);
    parser.data().registryTable.append(kLineEnd);
}

void writeConditionalDeletions(const UninstallData& data, String& body) {
    for (const ConditionalDeletion& rule : data.conditionalDeletions) {
        if (!(rule.Flags & kConditionalAtUninstall)) continue;
        appendRecord(body, {rule.Path, decimal(rule.Kind), rule.Value, decimal(rule.Flags)});
    }
}

void readConditionalDeletion(Parser& parser, const String& line) {
    if (line.empty()) return;
    Vector<String> fields = csvSplit(line.c_str(), line.length());
    int64_t kind = 0, flags = 0;
    if (fields.count() != 4) return parser.note("not four fields, ignored");
    if (!parseDecimal(fields[1], kMaxConditionKind, kind) || !parseDecimal(fields[3], 255, flags))
        return parser.note("unknown condition or flags, ignored");
    ConditionalDeletion rule;
    rule.Path = std::move(fields[0]);
    rule.Kind = static_cast<uint8_t>(kind);
    rule.Value = std::move(fields[2]);
    rule.Flags = static_cast<uint8_t>(flags);
    parser.data().conditionalDeletions.append(std::move(rule));
}

// The file, in order. The reader recognises exactly these headers.
const SectionFormat kSections[] = {
    {nullptr, false, nullptr, readDeletion},
    {"[Strings]", true, writeTexts, readTextLine},
    {"[AutoClose]", false, writeCloseRules, readCloseRule},
    {"[Associations]", false, writeAssociations, readAssociation},
    {"[Firewall]", false, writeLines<&UninstallData::firewall>, readLine<&UninstallData::firewall>},
    {"[INF]", false, writeLines<&UninstallData::inf>, readLine<&UninstallData::inf>},
    {"[MSI]", false, writeLines<&UninstallData::msi>, readLine<&UninstallData::msi>},
    {"[Registry2]", false, writeRegistryTable, readRegistryRecord},
    {"[ConditionalDelete]", false, writeConditionalDeletions, readConditionalDeletion},
};

// ---- Parser ------------------------------------------------------------------------------

// A line ends at CR, LF, CR LF or LF CR; the last one need not be terminated.
Line Parser::lineAt(int32_t position) const {
    Line line;
    line.start = position;
    int32_t i = position;
    while (i < length_ && bytes_[i] != '\r' && bytes_[i] != '\n') ++i;
    line.end = i;
    if (i < length_) {
        char first = bytes_[i++];
        if (i < length_ && (bytes_[i] == '\r' || bytes_[i] == '\n') && bytes_[i] != first) ++i;
    }
    line.next = i;
    return line;
}

bool Parser::beginsSection(const Line& line) const {
    int32_t n = line.end - line.start;
    const char* p = bytes_ + line.start;
    if (n > 0 && p[0] == '~') return true;
    for (const SectionFormat& s : kSections) {
        if (!s.header) continue;
        int32_t h = static_cast<int32_t>(std::strlen(s.header));
        if (n >= h && std::memcmp(p, s.header, static_cast<size_t>(h)) == 0) return true;
    }
    return false;
}

const SectionFormat* Parser::sectionOf(const String& trimmed) const {
    for (const SectionFormat& s : kSections)
        if (s.header && trimmed.equals(s.header)) return &s;
    return nullptr;
}

String Parser::collectText() {
    String collected;
    while (position_ < length_) {
        Line line = lineAt(position_);
        if (beginsSection(line)) break;
        collected.append(bytes_ + line.start, line.next - line.start);
        position_ = line.next;
        ++lineNumber_;
    }
    int32_t n = collected.length();
    while (n > 0 && std::strchr(kTrimmed, collected.get(n - 1)) && collected.get(n - 1) != 0) --n;
    return wideFromUtf8(collected.c_str(), n);
}

void Parser::note(const char* why) {
    if (!notes_ || notes_->count() > kMaxNotes) return;
    if (notes_->count() == kMaxNotes)
        notes_->append(String("further lines ignored without a note"));
    else
        notes_->append(format("line %d: %s", lineNumber_, why));
}

void Parser::run() {
    const SectionFormat* section = &kSections[0];
    while (position_ < length_) {
        Line line = lineAt(position_);
        position_ = line.next;
        ++lineNumber_;
        String trimmed(bytes_ + line.start, line.end - line.start);
        trimmed.trim(kTrimmed);
        if (const SectionFormat* header = sectionOf(trimmed)) {
            section = header;
            continue;
        }
        section->read(*this, trimmed);
    }
}

}  // namespace

// ---- UninstallData -----------------------------------------------------------------------

bool UninstallData::recordDeletion(const char* path, DeletionKind kind) {
    int32_t n = path ? static_cast<int32_t>(narrowTextLength(path)) : 0;
    if (n <= 3 || std::strpbrk(path, "\r\n")) return false;
    if (kind == DeletionKind::Folder && !recordedFolders_.set(upperAscii(path, n), true))
        return false;
    if (char prefix = deletionPrefix(kind)) {
        String line(&prefix, 1);
        line.append(path, n);
        deletionLines_.add(line.c_str(), line.length());
    } else {
        deletionLines_.add(path, n);
    }
    return true;
}

bool UninstallData::recordDeletionWide(const String& path, DeletionKind kind) {
    return recordDeletion(pathText(path).c_str(), kind);
}

void UninstallData::restoreDeletionLine(const String& line, DeletionKind kind) {
    if (kind == DeletionKind::Folder)
        recordedFolders_.set(upperAscii(line.c_str() + 1, line.length() - 1), true);
    deletionLines_.add(line.c_str(), line.length());
}

String UninstallData::deletionText() const {
    String text;
    deletionLines_.forEach([&](const String& line) {
        text.append(line);
        text.append(kLineEnd);
    });
    return text;
}

void UninstallData::clearDeletions() {
    deletionLines_.clear();
    recordedFolders_.clear();
}

String UninstallData::text(int32_t number) const {
    return number >= 0 && number < texts.count() ? texts[number] : String();
}

void UninstallData::setText(int32_t number, const String& text) {
    if (number < 0 || number > kMaxUninstallTextNumber) return;
    if (number >= texts.count()) texts.setCount(number + 1);
    texts[number] = text;
}

void UninstallData::clear() {
    clearDeletions();
    deletions.clear();
    associations.clear();
    closeRules.clear();
    conditionalDeletions.clear();
    firewall.clear();
    inf.clear();
    msi.clear();
    registryTable.clear();
    texts.clear();
    banner.clear();
}

UninstallData& uninstallData() {
    static UninstallData data;
    return data;
}

char deletionPrefix(DeletionKind kind) {
    switch (kind) {
        case DeletionKind::Folder:
            return '~';
        case DeletionKind::RegistryValue:
            return '!';
        case DeletionKind::RegistryKey:
            return '^';
        case DeletionKind::RegistryKey64:
            return '*';
        default:
            return 0;
    }
}

String deletionPathWide(const FileDeletion& deletion) {
    String wide;
    pathToWide(deletion.path.c_str(), deletion.path.length(), wide, kCodePageAnsi);
    return wide;
}

void takeInstallerTexts(UninstallData& data, const InstallScript& script) {
    for (int32_t number : kUninstallTextNumbers) data.setText(number, script.message(number));
    data.banner = script.BannerText;
}

void takeUninstallCloseRules(UninstallData& data, const Vector<ProgramToClose>& programs) {
    data.closeRules.clear();
    for (const ProgramToClose& program : programs) {
        if ((program.Options & 0x2) == 0) continue;
        WindowCloseRule rule;
        rule.classPattern = program.ClassText;
        rule.titlePattern = program.TitleText;
        rule.displayName = program.DisplayName;
        rule.mode = program.Action;
        rule.phases = uninstallClosePhase(rule.mode);
        data.closeRules.append(std::move(rule));
    }
}

int32_t uninstallClosePhase(int32_t mode) {
    return mode == 2 ? kClosePhaseAfterQuestion : kClosePhaseBeforeQuestion;
}

void uninstallDataPieces(const UninstallData& data,
                         const std::function<void(const char* bytes, size_t n)>& take) {
    data.deletionLines().forEach([&](const String& line) {
        take(line.c_str(), static_cast<size_t>(line.length()));
        take(kLineEnd, 2);
    });
    String text;
    for (const SectionFormat& section : kSections) {
        if (!section.header) continue;  // the deletion list, above
        String body;
        section.write(data, body);
        if (section.always || !body.empty()) text.appendAll({"\r\n\r\n", section.header, kLineEnd});
        text.append(body);
    }
    take(text.c_str(), static_cast<size_t>(text.length()));
}

String uninstallDataText(const UninstallData& data) {
    String text;
    uninstallDataPieces(
        data, [&](const char* bytes, size_t n) { text.append(bytes, static_cast<int32_t>(n)); });
    return text;
}

void readUninstallDataText(const char* bytes, int32_t length, UninstallData& data,
                           Vector<String>* notes) {
    data.clear();
    Parser(bytes, length, data, notes).run();
}

String uninstallDataLoadFailure(const String& displayName, const String& path, int code) {
    return formatWide(
        u"The uninstall information for %s could not be loaded.\r\n\r\nFilepath: %s\r\nCode "
        u"%d: %hs",
        displayName.w_str(), path.w_str(), code, fileErrorText(code));
}

}  // namespace tessarin
