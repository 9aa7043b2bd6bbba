// An owning pointer to a COM interface: one reference, taken on copy and given back on drop.
//
// Our own rather than Microsoft::WRL::ComPtr: WRL's header in mingw-w64 drags in the WinRT weak
// reference machinery, and its operator& releases the held reference behind the caller's back
// (a well-known trap for out parameters). Here an out parameter is always explicit: put() to
// receive, copy_to() to hand out a new reference, detach() to hand over the one held.
#pragma once

#include <unknwn.h>

#include <utility>

namespace tolvane::win {

template <class I>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a new reference of its own.
  explicit ComPtr(I* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Adopts a reference the caller already owns (an object just made, an out parameter just filled).
  static ComPtr adopt(I* p) noexcept {
    ComPtr ref;
    ref.p_ = p;
    return ref;
  }

  void reset() noexcept {
    if (I* p = std::exchange(p_, nullptr)) p->Release();
  }
  I* get() const noexcept { return p_; }
  I* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out parameters: drops the current reference first.
  I** put() noexcept {
    reset();
    return &p_;
  }

  // Hands the caller of a COM method a reference of its own (null when empty).
  HRESULT copy_to(I** out) const noexcept {
    if (out == nullptr) return E_POINTER;
    *out = p_;
    if (p_ != nullptr) p_->AddRef();
    return S_OK;
  }
  // Gives up the reference held, to a caller that now owns it.
  I* detach() noexcept { return std::exchange(p_, nullptr); }

  // QueryInterface for another interface; empty when the object has none.
  template <class J>
  ComPtr<J> query(REFIID iid) const {
    ComPtr<J> out;
    if (p_ != nullptr && FAILED(p_->QueryInterface(iid, reinterpret_cast<void**>(out.put())))) out.reset();
    return out;
  }
  template <class J>
  ComPtr<J> query() const {
    return query<J>(__uuidof(J));
  }

 private:
  I* p_ = nullptr;
};

}  // namespace tolvane::win
