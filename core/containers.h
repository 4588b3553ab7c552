// Containers of the library: Array (separately allocated elements kept centred in a pointer
// block), Vector (an indexed sequence that validates every index), List (a hash list of
// Bucket entries that also keeps one insertion-order list across all buckets), PieceBuffer
// (bytes appended in pieces that never move) and PrefixList (byte strings front-coded in one).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "core/fatal.h"
#include "core/string.h"

namespace tessarin {

// Element type names used in Vector index reports.
template <typename T>
struct TypeName {
    static constexpr const char* value = "T";
};
template <>
struct TypeName<String> {
    static constexpr const char* value = "String";
};
template <>
struct TypeName<int> {
    static constexpr const char* value = "int";
};
template <>
struct TypeName<unsigned> {
    static constexpr const char* value = "unsigned int";
};

[[noreturn]] inline void vectorIndexError(const char* typeName, int32_t index, int32_t count) {
    char text[256];
    std::snprintf(text, sizeof text, "Vector<%s>[%d]\r\nmax_index = %d", typeName, index,
                  count - 1);
    fatalError(text);
}

template <typename T>
class Vector {
  public:
    int32_t count() const { return static_cast<int32_t>(items_.size()); }
    bool empty() const { return items_.empty(); }
    T& operator[](int32_t i) {
        check(i);
        return items_[static_cast<size_t>(i)];
    }
    const T& operator[](int32_t i) const {
        check(i);
        return items_[static_cast<size_t>(i)];
    }
    void append(const T& v) { items_.push_back(v); }
    void append(T&& v) { items_.push_back(std::move(v)); }
    void insert(int32_t i, const T& v) {
        if (i < 0 || i > count()) vectorIndexError(TypeName<T>::value, i, count() + 1);
        items_.insert(items_.begin() + i, v);
    }
    void remove(int32_t i) {
        check(i);
        items_.erase(items_.begin() + i);
    }
    void setCount(int32_t n) { items_.resize(n > 0 ? static_cast<size_t>(n) : 0); }
    void clear() { items_.clear(); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    void check(int32_t i) const {
        if (i < 0 || i >= count()) vectorIndexError(TypeName<T>::value, i, count());
    }
    std::vector<T> items_;
};

template <typename T>
class Array {
  public:
    Array() = default;
    Array(const Array& other) { copyFrom(other); }
    Array& operator=(const Array& other) {
        if (this != &other) {
            clear();
            copyFrom(other);
        }
        return *this;
    }
    Array(Array&& other) noexcept { swap(other); }
    Array& operator=(Array&& other) noexcept {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    virtual ~Array() { clear(); }

    int32_t count() const { return count_; }
    int32_t capacity() const { return capacity_; }
    int32_t start() const { return start_; }
    bool empty() const { return count_ == 0; }

    virtual T& operator[](int32_t i) { return *block_[start_ + checked(i)]; }
    virtual const T& operator[](int32_t i) const { return *block_[start_ + checked(i)]; }

    virtual void setCount(int32_t n) {
        if (n < 0) n = 0;
        while (count_ > n) {
            delete block_[start_ + count_ - 1];
            --count_;
        }
        if (n > count_) {
            reserve(n);
            for (; count_ < n; ++count_) block_[start_ + count_] = new T();
        }
    }

    virtual void insert(int32_t i, const T& value) {
        if (i < 0 || i > count_) internalFatalError(kModuleCoreHeader, __LINE__);
        T* element = new T(value);
        // Room at the front makes insertion at index 0 cheap.
        if (i == 0 && start_ > 0) {
            block_[--start_] = element;
            ++count_;
            return;
        }
        reserve(count_ + 1);
        std::memmove(&block_[start_ + i + 1], &block_[start_ + i],
                     sizeof(T*) * static_cast<size_t>(count_ - i));
        block_[start_ + i] = element;
        ++count_;
    }
    void append(const T& value) { insert(count_, value); }
    void appendCopies(int32_t n, const T& value) {
        reserve(count_ + (n > 0 ? n : 0));
        for (int32_t k = 0; k < n; ++k) append(value);
    }
    void appendAll(const Array& other) {
        if (&other == this) {
            Array copy(other);
            appendAll(copy);
            return;
        }
        reserve(count_ + other.count_);
        for (int32_t k = 0; k < other.count_; ++k) append(other[k]);
    }
    virtual void remove(int32_t i) {
        checked(i);
        delete block_[start_ + i];
        if (i == 0) {
            ++start_;
        } else {
            std::memmove(&block_[start_ + i], &block_[start_ + i + 1],
                         sizeof(T*) * static_cast<size_t>(count_ - i - 1));
        }
        --count_;
    }

    // Rotation left moves element k to index 0.
    virtual void rotateLeft(int32_t k) { rotate(k); }
    virtual void rotateRight(int32_t k) { rotate(count_ > 0 ? -k : 0); }
    virtual void move(int32_t from, int32_t to) {
        checked(from);
        checked(to);
        T* element = block_[start_ + from];
        if (from < to)
            std::memmove(&block_[start_ + from], &block_[start_ + from + 1],
                         sizeof(T*) * static_cast<size_t>(to - from));
        else
            std::memmove(&block_[start_ + to + 1], &block_[start_ + to],
                         sizeof(T*) * static_cast<size_t>(from - to));
        block_[start_ + to] = element;
    }

    // Cursor iteration: first() then next() until null.
    T* first(int32_t& cursor) {
        cursor = 0;
        return count_ > 0 ? block_[start_] : nullptr;
    }
    T* next(int32_t& cursor) {
        ++cursor;
        return cursor < count_ ? block_[start_ + cursor] : nullptr;
    }

    void clear() {
        for (int32_t k = 0; k < count_; ++k) delete block_[start_ + k];
        delete[] block_;
        block_ = nullptr;
        count_ = start_ = capacity_ = 0;
    }

    // Room for n elements. A large block more than four times too big is shrunk; otherwise
    // the pointers are re-centred when the tail has no room. Room is never made smaller than
    // the elements held: reserving fewer keeps them all.
    void reserve(int32_t n) {
        if (n < count_) n = count_;
        if (capacity_ < n || (n > 500 && n < capacity_ / 4)) {
            int32_t cap = n + n / 2;
            T** block = new T*[static_cast<size_t>(cap)];
            int32_t newStart = n / 4;
            if (count_ > 0)
                std::memcpy(&block[newStart], &block_[start_],
                            sizeof(T*) * static_cast<size_t>(count_));
            delete[] block_;
            block_ = block;
            capacity_ = cap;
            start_ = newStart;
        } else if (start_ + n > capacity_) {
            int32_t newStart = (capacity_ - n) / 2;
            std::memmove(&block_[newStart], &block_[start_],
                         sizeof(T*) * static_cast<size_t>(count_));
            start_ = newStart;
        }
    }

  private:
    int32_t checked(int32_t i) const {
        if (i < 0 || i >= count_) internalFatalError(kModuleCoreHeader, __LINE__);
        return i;
    }
    void copyFrom(const Array& other) {
        int32_t n = other.count_;
        if (n == 0) return;
        capacity_ = n + n / 2;
        start_ = n / 4;
        block_ = new T*[static_cast<size_t>(capacity_)];
        for (int32_t k = 0; k < n; ++k) block_[start_ + k] = new T(other[k]);
        count_ = n;
    }
    void swap(Array& other) {
        std::swap(block_, other.block_);
        std::swap(count_, other.count_);
        std::swap(start_, other.start_);
        std::swap(capacity_, other.capacity_);
    }
    void rotate(int32_t k) {
        if (count_ < 2) return;
        k %= count_;
        if (k < 0) k += count_;
        if (k == 0) return;
        int32_t n = count_;
        int32_t cap = n + n / 2;
        T** block = new T*[static_cast<size_t>(cap)];
        int32_t newStart = n / 4;
        std::memcpy(&block[newStart], &block_[start_ + k], sizeof(T*) * static_cast<size_t>(n - k));
        std::memcpy(&block[newStart + n - k], &block_[start_], sizeof(T*) * static_cast<size_t>(k));
        delete[] block_;
        block_ = block;
        capacity_ = cap;
        start_ = newStart;
    }

    T** block_ = nullptr;
    int32_t count_ = 0;
    int32_t start_ = 0;
    int32_t capacity_ = 0;
};

// Hashes of List keys: Strings by their bytes, integers and pointers by their value.
inline uint32_t keyHash(const String& k) {
    return k.hash();
}
inline uint32_t keyHash(unsigned k) {
    return k;
}
inline uint32_t keyHash(int k) {
    return static_cast<uint32_t>(k);
}
inline uint32_t keyHash(const void* k) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(k));
}

// One entry of a List: value first, key second, as the library has always declared them.
template <typename V, typename K>
struct Bucket {
    K key;
    V value;
    Bucket* previous = nullptr;  // insertion-order list
    Bucket* next = nullptr;
    int32_t chain = -1;  // index of the bucket chain that holds it
};

inline int32_t bucketCountFor(int32_t expected) {
    double n = (static_cast<double>(expected) + 1.0) * 1.25;
    return n < 0 ? 0 : static_cast<int32_t>(n);
}

template <typename V, typename K>
class List {
  public:
    using Entry = Bucket<V, K>;

    explicit List(int32_t expected = 0) { init(expected); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    List(List&& other) noexcept { take(other); }
    List& operator=(List&& other) noexcept {
        if (this != &other) {
            clear();
            take(other);
        }
        return *this;
    }
    ~List() { clear(); }

    int32_t count() const { return count_; }
    int32_t bucketCount() const { return static_cast<int32_t>(chains_.size()); }
    static constexpr uint32_t kInvalidIndex = 0x80000000u;
    uint32_t bucketIndex(const K& key) const {
        if (chains_.empty()) return kInvalidIndex;
        return keyHash(key) % static_cast<uint32_t>(chains_.size());
    }

    Entry* find(const K& key) const {
        uint32_t b = bucketIndex(key);
        if (b == kInvalidIndex) return nullptr;
        for (Entry* e : chains_[b])
            if (e->key == key) return e;
        return nullptr;
    }
    V* findValue(const K& key) const {
        Entry* e = find(key);
        return e ? &e->value : nullptr;
    }
    // Assigns and returns false when the key exists; otherwise adds the entry and returns true.
    bool set(const K& key, const V& value) {
        if (Entry* e = find(key)) {
            e->value = value;
            return false;
        }
        insert(key, value);
        return true;
    }
    Entry* insert(const K& key, const V& value) {
        Entry* e = new Entry{key, value};
        link(e);
        return e;
    }
    void remove(Entry* e) {
        auto& chain = chains_[static_cast<size_t>(e->chain)];
        for (size_t i = 0; i < chain.size(); ++i) {
            if (chain[i] == e) {
                chain.erase(chain.begin() + static_cast<long>(i));
                break;
            }
        }
        if (e->previous)
            e->previous->next = e->next;
        else
            head_ = e->next;
        if (e->next)
            e->next->previous = e->previous;
        else
            tail_ = e->previous;
        --count_;
        delete e;
    }
    void clear() {
        for (Entry* e = head_; e;) {
            Entry* n = e->next;
            delete e;
            e = n;
        }
        head_ = tail_ = nullptr;
        count_ = 0;
        for (auto& chain : chains_) chain.clear();
    }
    // Empties the List and sizes it for a new expected count.
    void init(int32_t expected) {
        clear();
        chains_.assign(static_cast<size_t>(bucketCountFor(expected)), {});
    }

    // Iteration along the order list (newest first).
    Entry* first() const { return head_; }
    Entry* next(const Entry* e) const { return e ? e->next : nullptr; }

    // Rebuilds the buckets for n expected entries; n <= 0 chooses automatically.
    void rebuild(int32_t n) {
        if (n <= 0) {
            int32_t buckets = bucketCount();
            if (count_ < 4 * buckets && (buckets < 400 || buckets < 16 * count_)) return;
            int32_t grown = static_cast<int32_t>(count_ * 1.6);
            n = grown > 16 ? grown : 16;
        }
        if (n == bucketCount()) return;
        std::vector<Entry*> order;
        for (Entry* e = tail_; e; e = e->previous) order.push_back(e);
        head_ = tail_ = nullptr;
        count_ = 0;
        chains_.assign(static_cast<size_t>(bucketCountFor(n)), {});
        for (Entry* e : order) link(e);
    }
    bool growByLoad(double limit, double factor) {
        if (bucketCount() * limit < count_) {
            double target = count_ * factor;
            int32_t n = static_cast<int32_t>(target);
            if (n < target) ++n;
            rebuild(n);
            return true;
        }
        return false;
    }

  private:
    void link(Entry* e) {
        if (chains_.empty()) chains_.assign(1, {});
        uint32_t b = bucketIndex(e->key);
        e->chain = static_cast<int32_t>(b);
        chains_[b].push_back(e);
        e->previous = nullptr;
        e->next = head_;
        if (head_)
            head_->previous = e;
        else
            tail_ = e;
        head_ = e;
        ++count_;
    }
    void take(List& other) {
        chains_ = std::move(other.chains_);
        head_ = other.head_;
        tail_ = other.tail_;
        count_ = other.count_;
        other.head_ = other.tail_ = nullptr;
        other.count_ = 0;
        other.chains_.clear();
    }

    std::vector<std::vector<Entry*>> chains_;
    Entry* head_ = nullptr;
    Entry* tail_ = nullptr;
    int32_t count_ = 0;
};

// Bytes appended at the end, kept in pieces of kPieceSize (or one record's size when larger)
// that never move: a buffer that grows to megabytes one line at a time never holds an old and a
// new copy of itself at once, as a reallocated block would. A record taken with appendRoom lies
// in one piece; the room a piece cannot give is left unused.
class PieceBuffer {
  public:
    static constexpr size_t kPieceSize = 64 * 1024;

    // n contiguous bytes at the end, for the caller to fill.
    char* appendRoom(size_t n) {
        if (pieces_.empty() || pieces_.back().capacity - pieces_.back().used < n) {
            size_t capacity = n > kPieceSize ? n : kPieceSize;
            pieces_.push_back(Piece{std::unique_ptr<char[]>(new char[capacity]), 0, capacity});
        }
        Piece& last = pieces_.back();
        char* room = last.bytes.get() + last.used;
        last.used += n;
        size_ += n;
        return room;
    }
    void append(const void* bytes, size_t n) {
        if (n > 0) std::memcpy(appendRoom(n), bytes, n);
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() {
        pieces_.clear();
        size_ = 0;
    }
    // Calls visit(const char* bytes, size_t n) with each piece's bytes, in order.
    template <typename Visit>
    void forEachPiece(Visit visit) const {
        for (const Piece& piece : pieces_)
            if (piece.used > 0) visit(piece.bytes.get(), piece.used);
    }

  private:
    struct Piece {
        std::unique_ptr<char[]> bytes;
        size_t used;
        size_t capacity;
    };
    std::vector<Piece> pieces_;
    size_t size_ = 0;
};

// Byte strings kept in a PieceBuffer, each as the number of bytes it shares with the string
// before it and the bytes after those: paths or lines that come folder by folder take little
// more than their file names, and thousands of them make no allocation each.
class PrefixList {
  public:
    void add(const char* bytes, int32_t length);
    int32_t count() const { return count_; }
    // The bytes of all strings together.
    size_t totalLength() const { return total_; }
    void clear();
    // Calls visit(const String& bytes) with each string, in the order they were added.
    template <typename Visit>
    void forEach(Visit visit) const {
        String text;
        records_.forEachPiece([&](const char* bytes, size_t n) {
            for (size_t at = 0; at < n;) {
                int32_t shared = takeCount(bytes, at);
                int32_t rest = takeCount(bytes, at);
                text.setLength(shared);
                text.append(bytes + at, rest);
                at += static_cast<size_t>(rest);
                visit(text);
            }
        });
    }

  private:
    static int32_t takeCount(const char* bytes, size_t& at);

    PieceBuffer records_;
    String last_;
    int32_t count_ = 0;
    size_t total_ = 0;
};

}  // namespace tessarin
