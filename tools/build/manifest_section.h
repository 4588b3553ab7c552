// Reading one table of the manifest: typed values that report errors against the manifest
// file and the key's full path, converters to the script's text forms, and the check that no
// unknown key was given.
#pragma once

#include <toml++/toml.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/platform_text.h"
#include "core/string.h"
#include "tools/build/manifest.h"

namespace tessarin::build {

namespace fs = std::filesystem;

inline constexpr int kCodePageWestern = 1252;

// ---- Text forms ------------------------------------------------------------------------

inline String utf16(const std::string& utf8) {
    String w;
    if (!utf8.empty()) toWide(utf8.c_str(), static_cast<int32_t>(utf8.size()), w, kCodePageUtf8);
    return w;
}

// ---- Sections ------------------------------------------------------------------------

class Section {
  public:
    Section(const fs::path& file, std::string path, const toml::table* table)
        : file_(file), path_(std::move(path)), table_(table) {}

    [[noreturn]] void fail(const std::string& key, const std::string& reason) const {
        throw ManifestError(file_.string() + ": " + qualified(key) + ": " + reason);
    }
    std::string qualified(const std::string& key) const {
        return path_.empty() ? key : key.empty() ? path_ : path_ + "." + key;
    }
    const fs::path& file() const { return file_; }
    fs::path folder() const { return file_.parent_path(); }

    const toml::node* get(const std::string& key) {
        used_.insert(key);
        return table_ ? table_->get(key) : nullptr;
    }
    bool has(const std::string& key) { return get(key) != nullptr; }

    std::string text(const std::string& key, const std::string& fallback = "") {
        const toml::node* n = get(key);
        if (!n) return fallback;
        if (!n->is_string()) fail(key, std::string("expected a string, found ") + typeName(*n));
        return checkedText(key, n->as_string()->get());
    }
    // The script keeps most texts zero-terminated; a zero character would cut them short, so
    // no text of the manifest may hold one.
    const std::string& checkedText(const std::string& key, const std::string& value) const {
        if (value.find('\0') != std::string::npos) fail(key, "holds a zero character (\\u0000)");
        return value;
    }
    std::string requiredText(const std::string& key) {
        if (!has(key)) fail(key, "missing (required)");
        return text(key);
    }
    bool flag(const std::string& key, bool fallback) {
        const toml::node* n = get(key);
        if (!n) return fallback;
        if (!n->is_boolean())
            fail(key, std::string("expected true or false, found ") + typeName(*n));
        return n->as_boolean()->get();
    }
    int64_t integer(const std::string& key, int64_t fallback, int64_t lo, int64_t hi) {
        const toml::node* n = get(key);
        if (!n) return fallback;
        if (!n->is_integer()) fail(key, std::string("expected an integer, found ") + typeName(*n));
        int64_t v = n->as_integer()->get();
        if (v < lo || v > hi) {
            fail(key, std::to_string(v) + " is outside " + std::to_string(lo) + ".." +
                          std::to_string(hi));
        }
        return v;
    }
    double real(const std::string& key, double fallback) {
        const toml::node* n = get(key);
        if (!n) return fallback;
        if (n->is_integer()) return static_cast<double>(n->as_integer()->get());
        if (!n->is_floating_point())
            fail(key, std::string("expected a number, found ") + typeName(*n));
        return n->as_floating_point()->get();
    }
    // One of the given names, or a number in range for publishers who know the raw value.
    int64_t choice(const std::string& key, int64_t fallback,
                   std::initializer_list<std::pair<const char*, int64_t>> names, int64_t lo,
                   int64_t hi) {
        const toml::node* n = get(key);
        if (!n) return fallback;
        if (n->is_integer()) return integer(key, fallback, lo, hi);
        if (!n->is_string()) fail(key, std::string("expected a name, found ") + typeName(*n));
        std::string v = n->as_string()->get();
        std::string known;
        for (const auto& [name, value] : names) {
            if (v == name) return value;
            known += known.empty() ? "" : ", ";
            known += std::string("\"") + name + "\"";
        }
        fail(key, "unknown value \"" + v + "\" (expected " + known + ")");
    }
    std::vector<std::string> texts(const std::string& key) {
        std::vector<std::string> out;
        const toml::node* n = get(key);
        if (!n) return out;
        if (n->is_string()) return {n->as_string()->get()};
        if (!n->is_array())
            fail(key, std::string("expected a list of strings, found ") + typeName(*n));
        size_t i = 0;
        for (const toml::node& e : *n->as_array()) {
            if (!e.is_string()) {
                fail(key + "[" + std::to_string(i) + "]",
                     std::string("expected a string, found ") + typeName(e));
            }
            out.push_back(checkedText(key + "[" + std::to_string(i) + "]", e.as_string()->get()));
            ++i;
        }
        return out;
    }
    Section table(const std::string& key) {
        const toml::node* n = get(key);
        if (n && !n->is_table()) fail(key, std::string("expected a table, found ") + typeName(*n));
        return Section(file_, qualified(key), n ? n->as_table() : nullptr);
    }
    std::vector<Section> tables(const std::string& key) {
        std::vector<Section> out;
        const toml::node* n = get(key);
        if (!n) return out;
        if (!n->is_array_of_tables()) {
            fail(key, std::string("expected an array of tables ([[") + key + "]]), found " +
                          typeName(*n));
        }
        size_t i = 0;
        for (const toml::node& e : *n->as_array()) {
            out.emplace_back(file_, qualified(key) + "[" + std::to_string(i++) + "]", e.as_table());
        }
        return out;
    }
    void allowOnly(std::initializer_list<const char*> keys) const {
        if (!table_) return;
        for (const auto& [k, v] : *table_) {
            std::string key(k.str());
            bool known = false;
            for (const char* allowed : keys) known = known || key == allowed;
            if (!known) fail(key, "unknown key");
        }
    }
    // Every key of the table must have been asked for.
    void finish() const {
        if (!table_) return;
        for (const auto& [k, v] : *table_) {
            std::string key(k.str());
            if (!used_.count(key)) fail(key, "unknown key");
        }
    }
    const toml::table* raw() const { return table_; }

    // Converters that report against a key.
    String wide(const std::string& key, const std::string& fallback = "") {
        return utf16(text(key, fallback));
    }
    // 8-bit text in the Western code page; characters it lacks are refused rather than
    // turned into question marks.
    String ansi(const std::string& key, const std::string& fallback = "") {
        return toAnsi(key, text(key, fallback));
    }
    String toAnsi(const std::string& key, const std::string& utf8) {
        String w = utf16(utf8);
        String a;
        if (w.empty()) return a;
        toNarrow(w.w_str(), w.wideLength(), a, kCodePageWestern, nullptr, kNoBestFit);
        String back;
        toWide(a.c_str(), a.length(), back, kCodePageWestern);
        if (!(back == w)) fail(key, "holds characters outside the Western (1252) code page");
        return a;
    }
    // Paths in 8-bit storage: ASCII as it is, anything else "|" and UTF-8.
    String narrowPath(const std::string& key, const std::string& fallback = "") {
        std::string v = text(key, fallback);
        return toNarrowPath(v);
    }
    static String toNarrowPath(const std::string& utf8) {
        bool ascii = true;
        for (unsigned char c : utf8) ascii = ascii && c < 0x80;
        return String((ascii ? utf8 : "|" + utf8).c_str());
    }
    // The bytes of a file named by a key, relative to the manifest.
    String fileBytes(const std::string& key) {
        std::string name = text(key);
        if (name.empty()) return String();
        return readSource(key, name);
    }
    String readSource(const std::string& key, const std::string& name) {
        return readAt(key, folder() / fs::u8path(name), name);
    }
    String readAt(const std::string& key, const fs::path& p, const std::string& name) {
        std::error_code ec;
        if (!fs::is_regular_file(p, ec))
            fail(key, "\"" + name + "\" does not exist (" + p.string() + ")");
        std::ifstream in(p, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        if (!in.good() && !in.eof()) fail(key, "\"" + name + "\" cannot be read");
        if (bytes.size() > 0x40000000u) fail(key, "\"" + name + "\" is larger than 1 GiB");
        String s;
        s.assign(bytes.data(), static_cast<int32_t>(bytes.size()));
        return s;
    }
    // A colour as "#RRGGBB" (stored as a Windows colour value 0x00BBGGRR) or a raw integer.
    int32_t colour(const std::string& key, int32_t fallback) {
        const toml::node* n = get(key);
        if (!n) return fallback;
        if (n->is_integer())
            return static_cast<int32_t>(integer(key, fallback, INT32_MIN, INT32_MAX));
        std::string v = text(key);
        if (v.size() != 7 || v[0] != '#' ||
            v.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
            fail(key, "expected a colour \"#RRGGBB\", found \"" + v + "\"");
        }
        uint32_t rgb = static_cast<uint32_t>(std::stoul(v.substr(1), nullptr, 16));
        return static_cast<int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    }

    static const char* typeName(const toml::node& n) {
        switch (n.type()) {
            case toml::node_type::string:
                return "a string";
            case toml::node_type::integer:
                return "an integer";
            case toml::node_type::floating_point:
                return "a number";
            case toml::node_type::boolean:
                return "a boolean";
            case toml::node_type::table:
                return "a table";
            case toml::node_type::array:
                return "a list";
            default:
                return "a date or time";
        }
    }

  private:
    fs::path file_;
    std::string path_;
    const toml::table* table_;
    std::set<std::string> used_;
};

}  // namespace tessarin::build
