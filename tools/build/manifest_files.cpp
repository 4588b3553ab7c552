// File sets: each [[files]] table names a source folder, the patterns that pick files from it
// and what the picked files are on the target system.
#include "tools/build/manifest_files.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>

#include "core/chars.h"
#include "core/date_time.h"
#include "tools/build/manifest_section.h"

namespace tessarin::build {
namespace {

// Option bits of a file record.
constexpr int32_t kDesktopShortcut = 0x1;
constexpr int32_t kStartMenuShortcut = 0x2;
constexpr int32_t kPermanent = 0x20;
constexpr int32_t kInUninstallFolder = 0x40;
constexpr int32_t kRememberPackage = 0x80;

// Elements of a "/" path.
std::vector<std::string> elements(const std::string& path) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        out.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return out;
}

bool matchElement(const char* p, const char* s) {
    for (; *p; ++p, ++s) {
        if (*p == '*') {
            for (const char* t = s;; ++t) {
                if (matchElement(p + 1, t)) return true;
                if (!*t) return false;
            }
        }
        if (!*s || (*p != '?' && *p != *s)) return false;
    }
    return !*s;
}

bool matchElements(const std::vector<std::string>& p, size_t i, const std::vector<std::string>& s,
                   size_t j) {
    if (i == p.size()) return j == s.size();
    if (p[i] == "**") {
        for (size_t k = j; k <= s.size(); ++k) {
            if (matchElements(p, i + 1, s, k)) return true;
        }
        return false;
    }
    return j < s.size() && matchElement(p[i].c_str(), s[j].c_str()) &&
           matchElements(p, i + 1, s, j + 1);
}

// The file's modification time as a date-time record (UTC: the build machine's zone means
// nothing on the target system).
FileDateTime modificationDate(const fs::path& p) {
    FileDateTime d;
    std::error_code ec;
    auto t = fs::last_write_time(p, ec);
    if (ec) return d;
    // Converted by the clock itself: going through the two clocks' current times adds the
    // moment between the two readings, which pushed whole seconds down to the one before.
    auto system = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::to_sys(t));
    std::time_t seconds = std::chrono::system_clock::to_time_t(system);
    std::tm* tm = std::gmtime(&seconds);
    if (!tm) return d;
    d.year = tm->tm_year + 1900;
    d.month = tm->tm_mon + 1;
    d.day = tm->tm_mday;
    d.hour = tm->tm_hour;
    d.minute = tm->tm_min;
    d.second = tm->tm_sec;
    return d;
}

std::string withBackslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

// The extension of a "/" path's last element, in lower case; empty when it has none.
std::string extensionOf(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(toLowerAscii(static_cast<unsigned char>(c)));
    return ext;
}

struct FileSet {
    fs::path source;
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    std::string into;  // subfolder of the base folder
};

std::vector<std::string> pickFiles(Section& s, const FileSet& set) {
    std::vector<std::string> picked;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(set.source, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        auto u8 = fs::relative(it->path(), set.source).generic_u8string();
        std::string relative(u8.begin(), u8.end());
        auto matches = [&](const std::vector<std::string>& patterns) {
            return std::any_of(patterns.begin(), patterns.end(),
                               [&](const std::string& p) { return globMatch(p, relative); });
        };
        if (matches(set.include) && !matches(set.exclude)) picked.push_back(relative);
    }
    if (ec) s.fail("source", "cannot list \"" + set.source.string() + "\": " + ec.message());
    // Files of one kind next to each other pack smaller: deflate finds repeats only within the
    // last 32 KiB, and sources resemble sources more than they resemble pictures.
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(picked.size());
    for (std::string& relative : picked)
        keyed.emplace_back(extensionOf(relative), std::move(relative));
    std::sort(keyed.begin(), keyed.end());
    picked.clear();
    for (auto& [extension, relative] : keyed) picked.push_back(std::move(relative));
    return picked;
}

FileEntry recordFor(Section& s, const FileSet& set, const std::string& relative,
                    const FileEntry& common) {
    FileEntry f = common;
    std::string name = set.into.empty() ? relative : set.into + "/" + relative;
    f.name = Section::toNarrowPath(withBackslashes(name));
    f.data = s.readAt("source", set.source / fs::u8path(relative), relative);
    FileDateTime date = modificationDate(set.source / fs::u8path(relative));
    date.write(f.date);
    if ((f.options & (kDesktopShortcut | kStartMenuShortcut)) != 0 || f.kind == 5) {
        if (f.label.empty()) {
            auto stem = fs::u8path(relative).stem().u8string();
            f.label = String(std::string(stem.begin(), stem.end()).c_str());
        }
    }
    return f;
}

FileEntry commonRecord(Section& s) {
    FileEntry f;
    f.kind = static_cast<int32_t>(s.choice("kind", 0,
                                           {{"install", 0},
                                            {"shared", 1},
                                            {"font", 4},
                                            {"startup", 5},
                                            {"system", 6},
                                            {"system-com", 7},
                                            {"system-typelib", 8},
                                            {"versioned", 9},
                                            {"driver", 10},
                                            {"msi", 11},
                                            {"applet", 12}},
                                           0, 12));
    if (f.kind == 2 || f.kind == 3) s.fail("kind", "2 and 3 are not file kinds");
    // Mode 1 leaves the files out of the installation altogether; "never" read as "never
    // overwrite", so it is refused with the names that say what each mode does.
    const toml::node* mode = s.get("overwrite");
    if (mode && mode->is_string() && mode->as_string()->get() == "never") {
        s.fail("overwrite",
               "\"never\" is not a mode: \"skip\" leaves these files out of the installation "
               "altogether, \"if-missing\" installs each only where no file of its name exists");
    }
    int32_t overwrite = static_cast<int32_t>(s.choice(
        "overwrite", 0,
        {{"always", 0}, {"skip", 1}, {"if-exists", 2}, {"if-missing", 3}, {"unless-newer", 4}}, 0,
        7));
    f.options = overwrite << 2;
    if (s.flag("desktop-shortcut", false)) f.options |= kDesktopShortcut;
    if (s.flag("start-menu-shortcut", false)) f.options |= kStartMenuShortcut;
    if (s.flag("permanent", false)) f.options |= kPermanent;
    if (s.flag("in-uninstall-folder", false)) f.options |= kInUninstallFolder;
    if (s.flag("remember-package", false)) f.options |= kRememberPackage;
    f.options |= static_cast<int32_t>(s.integer("raw-options", 0, INT32_MIN, INT32_MAX));
    f.attributes = static_cast<int32_t>(s.integer("attributes", -1, -1, INT32_MAX));
    // The label is the shortcut's display name (UTF-8), a font's name or a version text.
    std::string label = s.text("shortcut-name");
    if (label.empty()) label = s.text("font-name");
    if (label.empty()) label = s.text("version");
    f.label = String(label.c_str());
    f.shortcutIcon = s.narrowPath("shortcut-icon");
    f.arguments = s.ansi("arguments");
    f.targetPath = s.wide("target-path");
    std::string aux = s.text("working-folder");
    if (aux.empty()) aux = s.text("applet-class");
    f.auxiliary = Section::toNarrowPath(aux);
    f.uiLevel = static_cast<int32_t>(s.integer("msi-ui-level", 0, INT32_MIN, INT32_MAX));
    return f;
}

}  // namespace

bool globMatch(const std::string& pattern, const std::string& path) {
    return matchElements(elements(pattern), 0, elements(path), 0);
}

std::vector<FileEntry> readFileSets(Section& top) {
    std::vector<FileEntry> files;
    std::map<std::string, std::string> owners;  // lower-cased target name -> set
    for (Section s : top.tables("files")) {
        FileSet set;
        std::string source = s.requiredText("source");
        set.source = s.folder() / fs::u8path(source);
        std::error_code ec;
        if (!fs::is_directory(set.source, ec)) {
            s.fail("source", "\"" + source + "\" is not a folder (" + set.source.string() + ")");
        }
        set.include = s.texts("include");
        if (set.include.empty()) set.include = {"**"};
        set.exclude = s.texts("exclude");
        set.into = s.text("into");
        while (!set.into.empty() && (set.into.back() == '/' || set.into.back() == '\\'))
            set.into.pop_back();
        FileEntry common = commonRecord(s);
        s.finish();
        std::vector<std::string> picked = pickFiles(s, set);
        if (picked.empty()) s.fail("include", "no file in \"" + source + "\" matches");
        for (const std::string& relative : picked) {
            FileEntry f = recordFor(s, set, relative, common);
            std::string key = f.name.c_str();
            std::transform(key.begin(), key.end(), key.begin(), [](char c) {
                return static_cast<char>(toLowerAscii(static_cast<unsigned char>(c)));
            });
            key = std::to_string(f.kind) + ":" + (f.targetPath.empty() ? key : "");
            if (f.targetPath.empty() && owners.count(key)) {
                s.fail("source", "\"" + relative + "\" is already installed by " + owners[key]);
            }
            owners[key] = s.qualified("");
            files.push_back(std::move(f));
        }
    }
    return files;
}

}  // namespace tessarin::build
