// A counted reference to a COM interface: AddRef on copy, Release on drop.
#pragma once

#include <unknwn.h>

#include <utility>

namespace tolvane::host::dispatch {

template <class I>
class ComRef {
 public:
  ComRef() = default;
  // Takes a new reference of its own.
  explicit ComRef(I* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComRef(const ComRef& other) : ComRef(other.p_) {}
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComRef() { reset(); }

  // Adopts a reference the caller already owns (an out parameter just filled).
  static ComRef adopt(I* p) {
    ComRef ref;
    ref.p_ = p;
    return ref;
  }

  void reset() noexcept {
    if (I* p = std::exchange(p_, nullptr)) p->Release();
  }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: drops the current reference first.
  I** put() {
    reset();
    return &p_;
  }

  // QueryInterface for another interface; empty when the object has none.
  template <class J>
  ComRef<J> query(REFIID iid) const {
    ComRef<J> out;
    if (p_ != nullptr && FAILED(p_->QueryInterface(iid, reinterpret_cast<void**>(out.put())))) out.reset();
    return out;
  }

 private:
  I* p_ = nullptr;
};

}  // namespace tolvane::host::dispatch
