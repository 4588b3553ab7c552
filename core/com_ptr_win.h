// RAII owner of a COM interface pointer.
#pragma once

#include <unknwn.h>

namespace tessarin {

template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    Interface* get() const { return p_; }
    Interface* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For calls that hand out a new reference; releases the one held first.
    Interface** out() {
        reset();
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    void reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }

  private:
    Interface* p_ = nullptr;
};

}  // namespace tessarin
