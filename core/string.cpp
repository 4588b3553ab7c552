#include "core/string.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "core/chars.h"
#include "core/fatal.h"
#include "core/memory.h"
#include "core/platform_text.h"
#include "core/wildcard.h"

namespace tessarin {
namespace {

// Read by every accessor of an empty String: "" in both widths.
alignas(4) const char kEmptyBlock[8] = {};

// Slack added when a block is (re)allocated: small strings stay tight, medium and large ones
// get room so that repeated appends do not reallocate each time.
int32_t growthSlack(int32_t n) {
    if (n < 64) return 2;
    if (n < 16384) return 40;
    return 1024;
}

bool insideBlock(const char* block, int32_t capacity, const void* p) {
    const char* c = static_cast<const char*>(p);
    return block && c >= block && c < block + capacity;
}

int32_t clampWhole(int64_t v) {
    return v > kWholeLength ? kWholeLength : static_cast<int32_t>(v);
}

}  // namespace

size_t narrowTextLength(const char* s) {
    return s ? std::strlen(s) : 0;
}

size_t wideTextLength(const char16_t* s) {
    return s ? std::char_traits<char16_t>::length(s) : 0;
}

String::String(char c) {
    assign(&c, 1);
}

String::String(const String& other) {
    assign(other.c_str(), other.length_);
}

String::String(String&& other) noexcept
    : data_(other.data_), length_(other.length_), capacity_(other.capacity_) {
    other.data_ = nullptr;
    other.length_ = other.capacity_ = 0;
}

String::~String() {
    freeBlock(data_);
}

String& String::operator=(const String& other) {
    if (this != &other) assign(other.c_str(), other.length_);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        freeBlock(data_);
        data_ = other.data_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        other.data_ = nullptr;
        other.length_ = other.capacity_ = 0;
    }
    return *this;
}

const char* String::c_str() const {
    return data_ ? data_ : kEmptyBlock;
}

const char16_t* String::w_str() const {
    return reinterpret_cast<const char16_t*>(data_ ? data_ : kEmptyBlock);
}

int32_t String::sourceLength(const char* src, int32_t len) const {
    if (!src || len <= 0) return 0;
    if (len == kWholeLength) return clampWhole(static_cast<int64_t>(std::strlen(src)));
    return len;
}

void String::clear() {
    freeBlock(data_);
    data_ = nullptr;
    length_ = capacity_ = 0;
}

bool String::resize(int32_t n, bool soft) {
    if (n <= 0) {
        clear();
        return true;
    }
    if (n == length_) return true;
    if (capacity_ - 2 < n || n < capacity_ - 1024) {
        int32_t cap = n + growthSlack(n);
        void* p = soft ? tryReallocateBlock(data_, static_cast<size_t>(cap))
                       : reallocateBlock(data_, static_cast<size_t>(cap));
        if (!p) return false;
        data_ = static_cast<char*>(p);
        capacity_ = cap;
    }
    length_ = n;
    data_[n] = 0;
    data_[n + 1] = 0;
    return true;
}

void String::setLength(int32_t n) {
    resize(n, false);
}

bool String::trySetLength(int32_t n) {
    return resize(n, true);
}

void String::setExactLength(int32_t n) {
    if (n <= 0) {
        clear();
        return;
    }
    data_ = static_cast<char*>(reallocateBlock(data_, static_cast<size_t>(n) + 2));
    capacity_ = n + 2;
    length_ = n;
    data_[n] = data_[n + 1] = 0;
}

void String::reserve(int32_t n) {
    if (n <= capacity_) return;
    bool wasEmpty = data_ == nullptr;
    if (n < length_ + 2) n = length_ + 2;
    data_ = static_cast<char*>(reallocateBlock(data_, static_cast<size_t>(n)));
    capacity_ = n;
    if (wasEmpty) data_[0] = data_[1] = 0;
}

char* String::appendRoom(int32_t n) {
    int32_t old = length_;
    if (n <= 0) return data_ ? data_ + old : nullptr;
    setLength(old + n);
    return data_ + old;
}

void String::assign(const char* text, int32_t length) {
    int32_t n = sourceLength(text, length);
    if (n <= 0) {
        clear();
        return;
    }
    if (insideBlock(data_, capacity_, text)) {
        std::memmove(data_, text, static_cast<size_t>(n));
        setLength(n);
        return;
    }
    setLength(n);
    std::memcpy(data_, text, static_cast<size_t>(n));
}

void String::assignWide(const char16_t* text, int32_t chars) {
    if (!text || chars <= 0) {
        clear();
        return;
    }
    if (chars == kWholeLength) chars = clampWhole(static_cast<int64_t>(wideTextLength(text)));
    assign(reinterpret_cast<const char*>(text), clampWhole(int64_t(chars) * 2));
}

void String::adopt(char* block, int32_t length) {
    freeBlock(data_);
    data_ = nullptr;
    length_ = capacity_ = 0;
    if (length < 1) {
        freeBlock(block);
        return;
    }
    data_ = static_cast<char*>(reallocateBlock(block, static_cast<size_t>(length) + 2));
    length_ = length;
    capacity_ = length + 2;
    data_[length] = data_[length + 1] = 0;
}

void String::replace(int32_t pos, int32_t count, const char* src, int32_t srcLength) {
    if (pos < 0) pos = 0;
    if (pos > length_) pos = length_;
    if (count < 0) count = 0;
    if (count > length_ - pos) count = length_ - pos;
    int32_t n = sourceLength(src, srcLength);
    // A source inside our own block would move with the resize: read it from a copy.
    std::string copy;
    if (n > 0 && insideBlock(data_, capacity_, src)) {
        copy.assign(src, static_cast<size_t>(n));
        src = copy.data();
    }
    int64_t newLength64 = int64_t(length_) - count + n;
    if (newLength64 > kWholeLength - 1100) internalFatalError(kModuleCore, __LINE__);
    int32_t newLength = static_cast<int32_t>(newLength64);
    int32_t tail = length_ - pos - count;
    if (newLength <= 0) {
        clear();
        return;
    }
    if (n > count) {
        setLength(newLength);
        std::memmove(data_ + pos + n, data_ + pos + count, static_cast<size_t>(tail));
    } else {
        if (data_) std::memmove(data_ + pos + n, data_ + pos + count, static_cast<size_t>(tail));
        setLength(newLength);
    }
    if (n > 0) std::memcpy(data_ + pos, src, static_cast<size_t>(n));
}

void String::replaceWide(int32_t pos, int32_t count, const char16_t* src, int32_t srcChars) {
    if (srcChars == kWholeLength) srcChars = clampWhole(static_cast<int64_t>(wideTextLength(src)));
    int32_t bytePos = pos > kWholeLength / 2 ? kWholeLength : pos * 2;
    int32_t byteCount = count > kWholeLength / 2 ? kWholeLength : count * 2;
    replace(bytePos, byteCount, reinterpret_cast<const char*>(src),
            srcChars > 0 ? clampWhole(int64_t(srcChars) * 2) : 0);
}

void String::append(const char* text, int32_t length) {
    replace(length_, 0, text, length);
}

void String::appendWide(const char16_t* text, int32_t chars) {
    replaceWide(length_ >> 1, 0, text, chars);
}

// One reallocation for the sum of the pieces: the block grows to the total plus 1 KiB. A piece
// may lie in this String's own block, so a new block is filled before the old one is freed.
void String::appendPieces(const void* const* pieces, const size_t* bytes, size_t count) {
    int64_t total = length_;
    for (size_t i = 0; i < count; ++i) total += static_cast<int64_t>(bytes[i]);
    if (total <= length_) return;
    if (total > kWholeLength - 1100) internalFatalError(kModuleCore, __LINE__);
    char* old = nullptr;
    if (capacity_ - 2 < total) {
        int32_t capacity = static_cast<int32_t>(total) + 1024;
        char* block = static_cast<char*>(allocateBlock(static_cast<size_t>(capacity)));
        if (length_ > 0) std::memcpy(block, data_, static_cast<size_t>(length_));
        old = data_;
        data_ = block;
        capacity_ = capacity;
    }
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] > 0) std::memcpy(data_ + length_, pieces[i], bytes[i]);
        length_ += static_cast<int32_t>(bytes[i]);
    }
    data_[length_] = data_[length_ + 1] = 0;
    freeBlock(old);
}

void String::appendAll(std::initializer_list<const char*> texts) {
    std::vector<const void*> pieces(texts.begin(), texts.end());
    std::vector<size_t> bytes;
    for (const char* t : texts) bytes.push_back(narrowTextLength(t));
    appendPieces(pieces.data(), bytes.data(), pieces.size());
}

void String::appendAllWide(std::initializer_list<const char16_t*> texts) {
    std::vector<const void*> pieces(texts.begin(), texts.end());
    std::vector<size_t> bytes;
    for (const char16_t* t : texts) bytes.push_back(wideTextLength(t) * 2);
    appendPieces(pieces.data(), bytes.data(), pieces.size());
}

void String::appendLine(const char* text, int32_t length) {
    append(text, length);
    append("\r\n", 2);
}

void String::appendLineWide(const char16_t* text, int32_t chars) {
    appendWide(text, chars);
    appendWide(u"\r\n", 2);
}

void String::concatWide(const char16_t* a, const char16_t* b) {
    String result;
    result.appendAllWide({a, b});
    *this = std::move(result);
}

void String::concatWide(const char16_t* a, const String& b) {
    if (b.empty()) {
        assignWide(a);
        return;
    }
    int32_t aChars = clampWhole(static_cast<int64_t>(wideTextLength(a)));
    if (aChars == 0) {
        *this = b;
        return;
    }
    String result;
    result.reserve(aChars * 2 + b.length() + 2);
    result.appendWide(a, aChars);
    result.append(b);
    *this = std::move(result);
}

void String::substring(String& target, int32_t start, int32_t count) const {
    if (start < 0) start = 0;
    if (start > length_) start = length_;
    if (count > length_ - start) count = length_ - start;
    if (count < 1) {
        target.clear();
        return;
    }
    target.assign(c_str() + start, count);
}

void String::substringWide(String& target, int32_t start, int32_t count) const {
    int32_t chars = wideLength();
    if (start < 0) start = 0;
    if (start > chars) start = chars;
    if (count > chars - start) count = chars - start;
    if (count < 1) {
        target.clear();
        return;
    }
    target.assign(c_str() + start * 2, count * 2);
}

void String::removeFront(int32_t n) {
    if (n <= 0) return;
    replace(0, n > length_ ? length_ : n, nullptr, 0);
}

void String::removeFrontWide(int32_t chars) {
    if (chars <= 0) return;
    removeFront(chars > wideLength() ? length_ : chars * 2);
}

bool String::removeFrontChar(char c) {
    if (length_ < 1 || data_[0] != c) return false;
    removeFront(1);
    return true;
}

bool String::removeFrontWideChar(char16_t c) {
    if (wideLength() < 1 || w_str()[0] != c) return false;
    removeFrontWide(1);
    return true;
}

bool String::removeBackChar(char c) {
    if (length_ < 1 || data_[length_ - 1] != c) return false;
    setLength(length_ - 1);
    return true;
}

bool String::removeBackWideChar(char16_t c) {
    int32_t chars = wideLength();
    if (chars < 1 || w_str()[chars - 1] != c) return false;
    setLength((chars - 1) * 2);
    return true;
}

bool String::stripEnclosing(char c) {
    if (length_ < 2 || data_[0] != c || data_[length_ - 1] != c) return false;
    setLength(length_ - 1);
    removeFront(1);
    return true;
}

bool String::stripEnclosingWide(char16_t c) {
    int32_t chars = wideLength();
    if (chars < 2 || w_str()[0] != c || w_str()[chars - 1] != c) return false;
    setLength((chars - 1) * 2);
    removeFrontWide(1);
    return true;
}

bool String::startsWithNoCase(const char16_t* prefix, bool removeIfFound) {
    size_t n = wideTextLength(prefix);
    if (n > static_cast<size_t>(wideLength())) return false;
    if (compareNoCaseWidePrefix(w_str(), prefix, n) != 0) return false;
    if (removeIfFound) removeFrontWide(static_cast<int32_t>(n));
    return true;
}

bool String::startsWithWide(const char16_t* prefix, bool removeIfFound) {
    size_t n = wideTextLength(prefix);
    if (n > static_cast<size_t>(wideLength())) return false;
    if (std::memcmp(c_str(), prefix, n * 2) != 0) return false;
    if (removeIfFound) removeFrontWide(static_cast<int32_t>(n));
    return true;
}

bool String::endsWith(const char* suffix, bool removeIfFound) {
    int32_t n = static_cast<int32_t>(narrowTextLength(suffix));
    if (n > length_) return false;
    if (std::memcmp(c_str() + length_ - n, suffix, static_cast<size_t>(n)) != 0) return false;
    if (removeIfFound) setLength(length_ - n);
    return true;
}

void String::trim(const char* set) {
    int32_t end = length_;
    while (end > 0 && std::strchr(set, data_[end - 1]) && data_[end - 1]) --end;
    int32_t begin = 0;
    while (begin < end && std::strchr(set, data_[begin]) && data_[begin]) ++begin;
    if (begin == 0 && end == length_) return;
    setLength(end);
    removeFront(begin);
}

void String::trimWide(const char16_t* set) {
    auto inSet = [set](char16_t c) {
        for (const char16_t* p = set; *p; ++p)
            if (*p == c) return true;
        return false;
    };
    const char16_t* w = w_str();
    int32_t end = wideLength();
    while (end > 0 && inSet(w[end - 1])) --end;
    int32_t begin = 0;
    while (begin < end && inSet(w[begin])) ++begin;
    if (begin == 0 && end == wideLength()) return;
    setLength(end * 2);
    removeFrontWide(begin);
}

namespace {

// Shared by both widths: rewrites every line break as CR LF. "\r\n" stays, "\n\r" and the
// lone forms are changed; returns the number of changed breaks.
template <typename Ch>
int normalizeBreaks(const Ch* text, int32_t chars, std::basic_string<Ch>& out) {
    int changes = 0;
    out.reserve(static_cast<size_t>(chars) + 16);
    for (int32_t i = 0; i < chars; ++i) {
        Ch c = text[i];
        bool hasNext = i + 1 < chars;
        if (c == Ch('\r') && hasNext && text[i + 1] == Ch('\n')) {
            ++i;
        } else if (c == Ch('\n') && hasNext && text[i + 1] == Ch('\r')) {
            ++i;
            ++changes;
        } else if (c == Ch('\n') || c == Ch('\r')) {
            ++changes;
        } else {
            out.push_back(c);
            continue;
        }
        out.push_back(Ch('\r'));
        out.push_back(Ch('\n'));
    }
    return changes;
}

template <typename Ch>
int countTrailingBreaks(const Ch* text, int32_t chars) {
    int n = 0;
    while (chars > 0 && (text[chars - 1] == Ch('\r') || text[chars - 1] == Ch('\n'))) {
        --chars;
        ++n;
    }
    return n;
}

// Search and replacement go through the portion search of core/wildcard: a plain search text
// is one literal portion, a wildcard one is split at its stars.
template <typename Ch>
int replaceAllImpl(String& s, const Ch* search, const Ch* replacement, int32_t start,
                   int32_t maxCount, unsigned flags, String::ReplaceQuery query, void* context) {
    if (search == nullptr || search[0] == 0 || maxCount < 1) return 0;
    uint32_t options = (flags & kReplaceIgnoreCase) ? uint32_t{kWildcardIgnoreCase} : 0u;
    if (!(flags & kReplaceWildcard)) options |= kWildcardLiteral;
    Vector<WildcardPortion<Ch>> portions;
    splitWildcardPattern(search, portions, options);
    int32_t repLen = 0;
    while (replacement && replacement[repLen]) ++repLen;
    int32_t chars = s.length() / static_cast<int32_t>(sizeof(Ch));
    const Ch* text = reinterpret_cast<const Ch*>(s.c_str());
    int32_t from = start < 0 ? 0 : (start < chars ? start : chars);
    int32_t copied = 0;
    std::basic_string<Ch> out;
    int count = 0;
    WildcardOccurrence<Ch> m;
    while (count < maxCount && findPortions(text, chars, from, portions, options, m)) {
        if (query && !query(context, m.start)) {
            from = m.start + 1;
            continue;
        }
        out.append(text + copied, static_cast<size_t>(m.start - copied));
        out.append(replacement, static_cast<size_t>(repLen));
        copied = from = m.start + m.length;
        ++count;
    }
    if (count == 0) return 0;
    out.append(text + copied, static_cast<size_t>(chars - copied));
    s.assign(reinterpret_cast<const char*>(out.data()),
             static_cast<int32_t>(out.size() * sizeof(Ch)));
    return count;
}

}  // namespace

int String::normalizeLineEndings() {
    std::string out;
    int changes = normalizeBreaks(c_str(), length_, out);
    if (changes > 0) assign(out.data(), static_cast<int32_t>(out.size()));
    return changes;
}

int String::normalizeLineEndingsWide() {
    std::u16string out;
    int changes = normalizeBreaks(w_str(), wideLength(), out);
    if (changes > 0) assignWide(out.data(), static_cast<int32_t>(out.size()));
    return changes;
}

int String::trailingLineBreaks() const {
    return countTrailingBreaks(c_str(), length_);
}

int String::trailingLineBreaksWide() const {
    return countTrailingBreaks(w_str(), wideLength());
}

int String::replaceAll(const char* search, const char* replacement, int32_t start, int32_t maxCount,
                       unsigned flags, ReplaceQuery query, void* context) {
    return replaceAllImpl<char>(*this, search, replacement, start, maxCount, flags, query, context);
}

int String::replaceAllWide(const char16_t* search, const char16_t* replacement, int32_t start,
                           int32_t maxCount, unsigned flags, ReplaceQuery query, void* context) {
    return replaceAllImpl<char16_t>(*this, search, replacement, start, maxCount, flags, query,
                                    context);
}

char String::at(int32_t i) const {
    if (i < 0 || i >= length_) internalFatalError(kModuleCoreHeader, __LINE__);
    return data_[i];
}

bool String::set(int32_t i, char c) {
    if (i < 0 || i >= length_) return false;
    data_[i] = c;
    return true;
}

char16_t String::getWide(int32_t i) const {
    return (i >= 0 && i < wideLength()) ? w_str()[i] : 0;
}

bool String::setWide(int32_t i, char16_t c) {
    if (i < 0 || i >= wideLength()) return false;
    wideData()[i] = c;
    return true;
}

bool String::operator==(const String& o) const {
    return length_ == o.length_ &&
           std::memcmp(c_str(), o.c_str(), static_cast<size_t>(length_)) == 0;
}

bool String::equals(const char* text) const {
    size_t n = narrowTextLength(text);
    return n == static_cast<size_t>(length_) && std::memcmp(c_str(), text, n) == 0;
}

bool String::equalsWide(const char16_t* text) const {
    size_t n = wideTextLength(text);
    return n == static_cast<size_t>(wideLength()) && std::memcmp(c_str(), text, n * 2) == 0;
}

int String::compare(const String& o) const {
    int32_t n = length_ < o.length_ ? length_ : o.length_;
    int r = std::memcmp(c_str(), o.c_str(), static_cast<size_t>(n));
    if (r != 0) return r < 0 ? -1 : 1;
    return length_ == o.length_ ? 0 : (length_ < o.length_ ? -1 : 1);
}

int String::compareNoCase(const String& o) const {
    int32_t n = length_ < o.length_ ? length_ : o.length_;
    int r = compareNoCaseAscii(c_str(), o.c_str(), static_cast<size_t>(n));
    if (r != 0) return r;
    return length_ == o.length_ ? 0 : (length_ < o.length_ ? -1 : 1);
}

int String::compareNoCaseWide(const String& o) const {
    if (isNull() && !o.isNull()) return -1;
    int32_t n = wideLength() < o.wideLength() ? wideLength() : o.wideLength();
    int r = n > 0 ? compareInvariantNoCase(w_str(), n, o.w_str(), n) : 0;
    if (r != 0) return r;
    return wideLength() == o.wideLength() ? 0 : (wideLength() < o.wideLength() ? -1 : 1);
}

bool String::equalsNoCaseWide(const char16_t* text) const {
    size_t n = wideTextLength(text);
    if (n != static_cast<size_t>(wideLength())) return false;
    return n == 0 ||
           compareInvariantNoCase(w_str(), static_cast<int>(n), text, static_cast<int>(n)) == 0;
}

uint32_t String::hash() const {
    return hashBytes(c_str(), length_);
}

uint32_t hashBytes(const void* bytes, int32_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    uint32_t h = 0x79E2BC9Du;
    if (!p || length <= 0) return h;
    int32_t words = length / 4;
    for (int32_t i = 0; i < words; ++i, p += 4)
        h += uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    for (int32_t i = 0; i < (length & 3); ++i)
        h += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(p[i])));
    return h + static_cast<uint32_t>(length);
}

void HashAccumulator::add(const void* bytes, size_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    if (!p || length == 0) return;
    length_ += static_cast<uint32_t>(length);
    while (tailCount_ > 0 && tailCount_ < 4 && length > 0) {
        tail_[tailCount_++] = *p++;
        --length;
    }
    if (tailCount_ == 4) {
        sum_ += uint32_t(tail_[0]) | uint32_t(tail_[1]) << 8 | uint32_t(tail_[2]) << 16 |
                uint32_t(tail_[3]) << 24;
        tailCount_ = 0;
    }
    size_t words = length / 4;
    uint32_t sum = sum_;
    for (size_t i = 0; i < words; ++i, p += 4)
        sum += uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    sum_ = sum;
    for (size_t i = 0; i < (length & 3); ++i) tail_[tailCount_++] = p[i];
}

uint32_t HashAccumulator::value() const {
    uint32_t h = sum_;
    if (length_ == 0) return h;
    for (size_t i = 0; i < tailCount_; ++i)
        h += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(tail_[i])));
    return h + length_;
}

namespace {

// ASCII letters folded to lower case, n characters at most; the wide form of the C runtime also
// stops at a terminator on both sides.
template <typename Ch>
int compareFolded(const Ch* a, const Ch* b, size_t n, bool stopAtTerminator) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = toLowerAscii(static_cast<std::make_unsigned_t<Ch>>(a[i]));
        uint32_t y = toLowerAscii(static_cast<std::make_unsigned_t<Ch>>(b[i]));
        if (x != y) return x < y ? -1 : 1;
        if (x == 0 && stopAtTerminator) return 0;
    }
    return 0;
}

}  // namespace

int compareNoCaseAscii(const char* a, const char* b, size_t n) {
    return compareFolded(a, b, n, false);
}

// The C runtime's wide case-insensitive comparison folds only in the "C" locale: ASCII letters.
int compareNoCaseWidePrefix(const char16_t* a, const char16_t* b, size_t n) {
    return compareFolded(a, b, n, true);
}

// Comparing one character past the shorter text's end takes in its terminator.
bool equalsNoCaseAscii(const char16_t* a, const char16_t* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return compareNoCaseWidePrefix(a, b, wideTextLength(b) + 1) == 0;
}

std::u16string_view trimWhiteSpace(std::u16string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && isWhiteSpace(text[first])) ++first;
    while (last > first && isWhiteSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool isBlankWide(const String& text) {
    return trimWhiteSpace(std::u16string_view(text.w_str(), static_cast<size_t>(text.wideLength())))
        .empty();
}

}  // namespace tessarin
