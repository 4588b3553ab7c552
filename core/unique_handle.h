// The one owner of a system handle (kernel object, GDI object, registry key, ...): it can be
// moved but not copied, hands its handle back with release(), and closes it when reset or
// destroyed. The traits say what the empty value is, which values are open handles, and how
// one is closed:
//
//   struct Traits {
//       using Type = ...;
//       static Type empty();
//       static bool valid(Type handle);
//       static void close(Type handle);
//   };
#pragma once

namespace tessarin {

template <typename Traits>
class UniqueHandle {
  public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Type get() const { return handle_; }
    bool valid() const { return Traits::valid(handle_); }
    explicit operator bool() const { return valid(); }
    Type release() {
        Type handle = handle_;
        handle_ = Traits::empty();
        return handle;
    }
    // Closes the handle held (unless it is the one given) and takes the given one.
    void reset(Type handle = Traits::empty()) {
        if (handle_ != handle && Traits::valid(handle_)) Traits::close(handle_);
        handle_ = handle;
    }

  private:
    Type handle_ = Traits::empty();
};

}  // namespace tessarin
