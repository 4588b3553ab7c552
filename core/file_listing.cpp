#include "core/file_listing.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/chars.h"
#include "core/format.h"
#include "core/path.h"

namespace tessarin {
namespace {

constexpr uint32_t kPassedListOptions =
    kListFolders | kListRecursive | kListBareNames | kListSkipShellFiles;
// The duplicate set starts with 81 buckets and grows by 2.5 once it holds four entries a bucket.
constexpr int32_t kDuplicateSetExpected = 64;
constexpr double kDuplicateSetLoad = 4.0;
constexpr double kDuplicateSetGrowth = 2.5;

using Text = std::u16string;

std::vector<Text> split(const Text& s, char16_t separator) {
    std::vector<Text> parts;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == separator) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// Lines end in CR LF, LF or CR; line breaks at the very end open no further line.
std::vector<Text> splitLines(const String& text) {
    Text s(text.w_str(), static_cast<size_t>(text.wideLength()));
    while (!s.empty() && (s.back() == u'\r' || s.back() == u'\n')) s.pop_back();
    Text unified;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\r') {
            unified.push_back(u'\n');
            if (i + 1 < s.size() && s[i + 1] == u'\n') ++i;
        } else {
            unified.push_back(s[i]);
        }
    }
    return split(unified, u'\n');
}

String toString(const Text& s) {
    return String(s.c_str(), static_cast<int32_t>(s.size()));
}

String lowerCased(const String& path) {
    String lower = path;
    for (int32_t i = 0; i < lower.wideLength(); ++i)
        lower.setWide(i, static_cast<char16_t>(toLower(lower.getWide(i))));
    return lower;
}

int depth(const String& path) {
    int n = 0;
    for (int32_t i = 0; i < path.wideLength(); ++i) n += path.getWide(i) == u'\\';
    return n;
}

struct Accepted {
    String path;
    int line;
};

// Builds the messages; every message counts as one problem.
class MessageSink {
  public:
    MessageSink(String* sink, bool clear) : sink_(sink) {
        if (sink_ && clear) sink_->clear();
    }
    void add(std::initializer_list<const char16_t*> pieces) {
        ++count_;
        if (sink_) sink_->appendAllWide(pieces);
    }
    int count() const { return count_; }

  private:
    String* sink_;
    int count_ = 0;
};

class Expansion {
  public:
    Expansion(FileSpecificationSystem& system, uint32_t options, const String& defaultFolder,
              String* messages, FileSpecificationExtras* extras)
        : system_(system),
          options_(options),
          defaultFolder_(defaultFolder),
          sink_(messages, (options & kExpandClearMessages) != 0),
          extras_(extras ? *extras : FileSpecificationExtras()),
          seen_(kDuplicateSetExpected) {}

    int run(const String& text, Array<String>& output) {
        if (!(options_ & kListAppend)) output.clear();
        if (!defaultFolder_.empty() && !system_.folderExists(defaultFolder_)) {
            sink_.add({u"The default path \"", defaultFolder_.w_str(), u"\" does not exist.\r\n"});
        }
        std::vector<Text> lines = splitLines(text);
        bool empty = std::all_of(lines.begin(), lines.end(),
                                 [](const Text& l) { return trimWhiteSpace(l).empty(); });
        if (empty) {
            if (options_ & kExpandEmptyIsError) sink_.add({u"No files were specified.\r\n"});
            return sink_.count();
        }
        several_ = lines.size() > 1;
        for (size_t n = 0; n < lines.size(); ++n) {
            if (!expandLine(lines[n], static_cast<int>(n + 1))) return kListAborted;
        }
        finish(output);
        return sink_.count();
    }

  private:
    bool expandLine(const Text& line, int number) {
        Text content(trimWhiteSpace(line));
        if ((options_ & kExpandComments) && !content.empty() && content[0] == u';') return true;
        for (const Text& piece : split(content, u';')) {
            Text spec(trimWhiteSpace(piece));
            if (spec.empty()) continue;
            if (!expandOne(spec, number)) return false;
        }
        return true;
    }

    // The "on line %d " part of a message.
    String lineNote(int number) const {
        if ((options_ & kExpandNoLineNumbers) || (number <= 1 && !several_)) return String();
        return formatWide(u"on line %d ", number);
    }

    bool expandOne(const Text& given, int number) {
        String written = toString(given);
        bool recursive = takeRecursiveMark(written);
        bool folder =
            written.wideLength() > 0 && written.getWide(written.wideLength() - 1) == u'\\';
        String resolved = written;
        if (!(options_ & kExpandNoDefaultFolder) && !defaultFolder_.empty() &&
            !isAbsolutePath(resolved)) {
            resolved = joinPath(defaultFolder_, resolved);
        }
        String where = lineNote(number);
        if (!isAbsolutePath(resolved)) {
            sink_.add({u"The file specification \"", written.w_str(), u"\" ", where.w_str(),
                       u"is not an absolute path.  Please include the drive and directory.\r\n"});
            return true;
        }
        // A folder specification names the folder itself, which a listing only reports when
        // folders are asked for.
        uint32_t listOptions = options_ & kPassedListOptions;
        if (recursive) listOptions |= kListRecursive;
        if (folder) listOptions |= kListFolders;
        Vector<ListedFile> found;
        if (system_.list(resolved, listOptions, found, extras_.abort) == kListAborted) return false;
        if (found.empty()) {
            bool wildcard = hasWildcard(written);
            sink_.add({folder ? u"The folder" : u"The file", wildcard ? u" specification" : u"",
                       u" \"", written.w_str(), u"\" ", where.w_str(),
                       wildcard ? u"does not match any files.\r\n" : u"does not exist.\r\n"});
            return true;
        }
        for (const ListedFile& file : found) accept(file, number);
        return true;
    }

    void accept(const ListedFile& file, int number) {
        if (!(options_ & kExpandAllowDuplicates)) {
            String key = lowerCased(file.path);
            if (seen_.find(key)) {
                sink_.add({u"The file \"", file.path.w_str(), u"\" occurs more than once.\r\n"});
                return;
            }
            seen_.insert(key, true);
            seen_.growByLoad(kDuplicateSetLoad, kDuplicateSetGrowth);
        }
        accepted_.push_back({file.path, number});
        if (extras_.found) extras_.found(extras_.context, file.path);
        if (extras_.totalSize) *extras_.totalSize += file.size;
    }

    void finish(Array<String>& output) {
        if (options_ & kExpandSortByPath) {
            std::stable_sort(accepted_.begin(), accepted_.end(),
                             [](const Accepted& a, const Accepted& b) {
                                 return a.path.compareNoCaseWide(b.path) < 0;
                             });
        } else if (options_ & kExpandSortDeepestFirst) {
            std::stable_sort(
                accepted_.begin(), accepted_.end(),
                [](const Accepted& a, const Accepted& b) { return depth(a.path) > depth(b.path); });
        }
        for (Accepted& a : accepted_) {
            if (options_ & kExpandLongNames) a.path = system_.longName(a.path);
            if (options_ & kExpandShortNames) a.path = system_.shortName(a.path);
            output.append(a.path);
            if (extras_.lines) extras_.lines->append(a.line);
        }
    }

    FileSpecificationSystem& system_;
    uint32_t options_;
    const String& defaultFolder_;
    MessageSink sink_;
    FileSpecificationExtras extras_;
    List<bool, String> seen_;
    std::vector<Accepted> accepted_;
    bool several_ = false;
};

}  // namespace

int expandFileSpecificationWith(FileSpecificationSystem& system, const String& text,
                                Array<String>& output, uint32_t options,
                                const String& defaultFolder, String* messages,
                                FileSpecificationExtras* extras) {
    Expansion expansion(system, options, defaultFolder, messages, extras);
    return expansion.run(text, output);
}

}  // namespace tessarin
