// A property bag with nothing in it: what a container loads a control from when nothing of the
// control was saved.
#pragma once

#include <ocidl.h>

#include "win/com_object.h"
#include "win/com_ptr.h"

namespace tolvane::win {

class EmptyPropertyBag final : public ComObject<IPropertyBag> {
 public:
  static ComPtr<IPropertyBag> make() { return ComPtr<IPropertyBag>::adopt(new EmptyPropertyBag()); }

  STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return S_OK; }

 private:
  EmptyPropertyBag() = default;
  ~EmptyPropertyBag() override = default;
};

}  // namespace tolvane::win
