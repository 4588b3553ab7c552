// String: the library's one buffer type for 8-bit text, UTF-16 text and raw bytes.
//
// The payload is followed by two zero bytes at all times, so the same block reads as a
// terminated 8-bit string and as a terminated UTF-16 string. Whether a String holds 8-bit or
// UTF-16 text is not recorded: every operation has an 8-bit form (byte counts) and a wide form
// (character counts), and the caller chooses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace tessarin {

// Length argument meaning "up to the terminator" for source texts and "to the end" for
// counts of characters to remove or examine.
inline constexpr int32_t kWholeLength = 0x7FFFFFFF;

// Flags of String::replaceAll.
enum ReplaceFlags : unsigned {
    kReplaceIgnoreCase = 1,
    // "*" in the search text matches any run within a line, "**" a literal "*" (core/wildcard)
    kReplaceWildcard = 2,
};

// Lengths of terminated texts; a null pointer has length 0.
size_t narrowTextLength(const char* s);
size_t wideTextLength(const char16_t* s);

class String {
  public:
    String() = default;
    explicit String(char c);
    String(const char* text, int32_t length = kWholeLength) { assign(text, length); }
    String(const char16_t* text, int32_t chars = kWholeLength) { assignWide(text, chars); }
    String(const String& other);
    String(String&& other) noexcept;
    ~String();
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;

    // Assignment; a length below 1 or a null pointer empties the String. A piece of the
    // String's own block may be assigned.
    void assign(const char* text, int32_t length = kWholeLength);
    void assignWide(const char16_t* text, int32_t chars = kWholeLength);
    // Takes ownership of a block from allocateBlock() and terminates it.
    void adopt(char* block, int32_t length);
    void clear();

    // Read access: never null (the empty String yields the static zero block).
    const char* c_str() const;
    const char16_t* w_str() const;
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(c_str()); }
    char* data() { return data_; }  // null when empty
    char16_t* wideData() { return reinterpret_cast<char16_t*>(data_); }
    bool isNull() const { return data_ == nullptr; }
    bool empty() const { return length_ <= 0; }
    int32_t length() const { return length_; }
    int32_t wideLength() const { return length_ >> 1; }
    int32_t capacity() const { return capacity_; }

    // Length and capacity (growth rule in string.cpp).
    void setLength(int32_t n);
    bool trySetLength(int32_t n);  // soft allocation: false keeps the old block
    void setWideLength(int32_t chars) { setLength(chars * 2); }
    void setExactLength(int32_t n);
    void reserve(int32_t n);
    char* appendRoom(int32_t n);

    // Editing. replace() is the primitive behind insertion, deletion, append and prepend.
    void replace(int32_t pos, int32_t count, const char* src, int32_t srcLength);
    void replaceWide(int32_t pos, int32_t count, const char16_t* src, int32_t srcChars);
    void append(const char* text, int32_t length = kWholeLength);
    void appendWide(const char16_t* text, int32_t chars = kWholeLength);
    void append(const String& s) { append(s.c_str(), s.length()); }
    void appendChar(char c) { append(&c, 1); }
    void appendWideChar(char16_t c) { appendWide(&c, 1); }
    void appendAll(std::initializer_list<const char*> texts);
    void appendAllWide(std::initializer_list<const char16_t*> texts);
    void appendLine(const char* text, int32_t length = kWholeLength);
    void appendLineWide(const char16_t* text, int32_t chars = kWholeLength);
    void prepend(const char* text, int32_t length = kWholeLength) { replace(0, 0, text, length); }
    void prependWide(const char16_t* text, int32_t chars = kWholeLength) {
        replaceWide(0, 0, text, chars);
    }
    void concatWide(const char16_t* a, const char16_t* b);
    void concatWide(const char16_t* a, const String& b);
    void substring(String& target, int32_t start, int32_t count) const;
    void substringWide(String& target, int32_t start, int32_t count) const;
    void removeFront(int32_t n);
    void removeFrontWide(int32_t chars);
    bool removeFrontChar(char c);
    bool removeFrontWideChar(char16_t c);
    bool removeBackChar(char c);
    bool removeBackWideChar(char16_t c);
    bool stripEnclosing(char c);
    bool stripEnclosingWide(char16_t c);
    bool startsWithNoCase(const char16_t* prefix, bool removeIfFound = false);
    bool startsWithWide(const char16_t* prefix, bool removeIfFound = false);
    bool endsWith(const char* suffix, bool removeIfFound = false);
    void trim(const char* set = " \r\n\t");
    void trimWide(const char16_t* set = u" \r\n\t");
    int normalizeLineEndings();
    int normalizeLineEndingsWide();
    int trailingLineBreaks() const;
    int trailingLineBreaksWide() const;
    using ReplaceQuery = bool (*)(void* context, int32_t position);
    int replaceAll(const char* search, const char* replacement, int32_t start = 0,
                   int32_t maxCount = kWholeLength, unsigned flags = 0,
                   ReplaceQuery query = nullptr, void* context = nullptr);
    int replaceAllWide(const char16_t* search, const char16_t* replacement, int32_t start = 0,
                       int32_t maxCount = kWholeLength, unsigned flags = 0,
                       ReplaceQuery query = nullptr, void* context = nullptr);

    // Character access. at() validates and raises the internal fatal error; get()/set() never
    // fail (0 outside the text, false when writing outside).
    char at(int32_t i) const;
    char get(int32_t i) const { return (i >= 0 && i < length_) ? data_[i] : 0; }
    bool set(int32_t i, char c);
    char16_t getWide(int32_t i) const;
    bool setWide(int32_t i, char16_t c);

    // Comparison.
    bool operator==(const String& o) const;
    bool operator!=(const String& o) const { return !(*this == o); }
    bool equals(const char* text) const;
    bool equalsWide(const char16_t* text) const;
    int compare(const String& o) const;
    int compareNoCase(const String& o) const;  // 8-bit, ASCII letters
    int compareNoCaseWide(const String& o) const;
    bool equalsNoCaseWide(const char16_t* text) const;

    uint32_t hash() const;

  private:
    bool resize(int32_t n, bool soft);
    void appendPieces(const void* const* pieces, const size_t* bytes, size_t count);
    int32_t sourceLength(const char* src, int32_t len) const;

    char* data_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = 0;
};

// Hash of a byte run (also the payload checksum): start 0x79E2BC9D, little-endian words added,
// tail bytes as signed values, then the length.
uint32_t hashBytes(const void* bytes, int32_t length);

// The same hash over bytes that arrive in pieces of any size: value() equals hashBytes over
// everything added so far.
class HashAccumulator {
  public:
    void add(const void* bytes, size_t length);
    uint32_t value() const;
    void reset() { *this = HashAccumulator(); }

  private:
    uint32_t sum_ = 0x79E2BC9Du;
    uint32_t length_ = 0;
    uint8_t tail_[4] = {};
    size_t tailCount_ = 0;  // bytes of an unfinished word
};

// Text comparisons shared by String and callers that hold raw pointers. Both fold ASCII
// letters only; the wide one stops at a terminator found on both sides.
int compareNoCaseAscii(const char* a, const char* b, size_t n);
int compareNoCaseWidePrefix(const char16_t* a, const char16_t* b, size_t n);
// Whole terminated texts equal without regard to ASCII case.
bool equalsNoCaseAscii(const char16_t* a, const char16_t* b);

// The text without white space (tab, line feed, carriage return, space) at either end.
std::u16string_view trimWhiteSpace(std::u16string_view text);
// Empty, or nothing but white space (UTF-16).
bool isBlankWide(const String& text);

}  // namespace tessarin
