// A COM object that answers IDispatch by name alone: it gives no type information, so
// GetTypeInfoCount and GetTypeInfo say so, once for every such object.
#pragma once

#include <oaidl.h>

#include "win/com_object.h"

namespace tolvane::win {

template <class First, class... Rest>
class UntypedDispatch : public ComObject<First, Rest...> {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }

 protected:
  UntypedDispatch() = default;
  ~UntypedDispatch() override = default;
};

}  // namespace tolvane::win
