#include "win/error_boundary.h"

#include <oleauto.h>

#include <new>

#include "hostmodel/error.h"
#include "win/com_ptr.h"
#include "win/host_failure.h"
#include "win/scoped_bstr.h"
#include "win/text.h"

namespace tolvane::win {

HRESULT resultFromCaughtException(std::string* text) noexcept {
  try {
    throw;
  } catch (const host::HostError& error) {
    const HRESULT hr = hresultOf(error);
    if (text != nullptr && hr != E_OUTOFMEMORY) {
      try {
        *text = error.what();
      } catch (...) {
        text->clear();
        return E_OUTOFMEMORY;
      }
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT setErrorInfo(REFIID iid, const wchar_t* source, HRESULT hr, const std::string& text) noexcept {
  try {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return hr;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(source));
    std::wstring description = widen(text);
    create->SetDescription(description.data());
    if (ComPtr<IErrorInfo> info = create.query<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
  } catch (...) {
    // The HRESULT alone still reports the failure.
  }
  return hr;
}

HRESULT fillExcepInfo(HRESULT hr, const wchar_t* source, const std::string& text, EXCEPINFO* exception) noexcept {
  if (exception == nullptr) return hr;
  *exception = EXCEPINFO{};
  exception->scode = hr;
  try {
    exception->bstrSource = ScopedBstr(source).release();
    exception->bstrDescription = ScopedBstr(widen(text)).release();
  } catch (...) {
    // The code alone still reports the failure.
  }
  return DISP_E_EXCEPTION;
}

}  // namespace tolvane::win
