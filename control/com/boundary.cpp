#include "control/com/boundary.h"

#include <oleauto.h>

#include "hostmodel/dispatch/dispatch_object.h"

namespace tolvane::com {

HRESULT reportError(REFIID iid, HRESULT hr, const std::string& text) noexcept {
  try {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return hr;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(L"Brenmoor.Tolvane"));
    std::wstring description = host::dispatch::widen(text);
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  } catch (...) {
    // The HRESULT alone still reports the failure.
  }
  return hr;
}

}  // namespace tolvane::com
