// The enumeration of a container's one connection point.
#pragma once

#include <ocidl.h>

#include <new>

#include "win/com_object.h"
#include "win/com_ptr.h"

namespace tolvane::win {

class OnePointEnumerator final : public ComObject<IEnumConnectionPoints> {
 public:
  OnePointEnumerator(IConnectionPoint* point, ULONG position) : point_(point), position_(position) {}

  STDMETHODIMP Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (points == nullptr || (count != 1 && fetched == nullptr)) return E_POINTER;
    ULONG given = 0;
    if (count > 0 && position_ == 0) {
      point_.copy_to(&points[0]);
      position_ = 1;
      given = 1;
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const ULONG left = 1 - position_;
    position_ = count >= left ? 1 : position_ + count;
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnectionPoints** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new (std::nothrow) OnePointEnumerator(point_.get(), position_);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~OnePointEnumerator() override = default;

  ComPtr<IConnectionPoint> point_;
  ULONG position_;
};

}  // namespace tolvane::win
