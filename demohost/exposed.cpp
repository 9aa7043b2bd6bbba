#include "demohost/exposed.h"

#include <new>

#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/dispatch/invoke_on.h"
#include "hostmodel/dispatch/variant.h"
#include "win/error_boundary.h"
#include "win/text.h"
#include "win/variant_clear.h"

namespace tolvane::demohost {

using host::dispatch::invokeOn;
using host::dispatch::toVariant;
using win::narrow;

ComPtr<IDispatch> ExposedDispatch::expose(std::shared_ptr<Exposed> object) {
  return ComPtr<IDispatch>::adopt(new ExposedDispatch(std::move(object)));
}

host::Value objectValue(IDispatch* dispatch) {
  return host::Value{host::ObjectRef{std::make_shared<host::dispatch::DispatchObject>(dispatch)}};
}

STDMETHODIMP ExposedDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  // Only the member's own name; named arguments are not taken.
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return E_INVALIDARG;
  return win::resultOf([&] {
    const std::string name = narrow(names[0], static_cast<std::size_t>(lstrlenW(names[0])));
    if (!object_->has(name)) return DISP_E_UNKNOWNNAME;
    for (std::size_t n = 0; n < names_.size(); ++n) {
      if (names_[n] == name) {
        ids[0] = static_cast<DISPID>(n + 1);
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
      }
    }
    names_.push_back(name);
    ids[0] = static_cast<DISPID>(names_.size());
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  });
}

STDMETHODIMP ExposedDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  const bool byIndex = id == DISPID_VALUE && object_->indexed();
  if (!byIndex && (id < 1 || static_cast<std::size_t>(id) > names_.size())) return DISP_E_MEMBERNOTFOUND;
  if (result != nullptr) win::emptyVariant(result);
  // Keeps the object alive while a member runs that may release the caller's last reference.
  std::shared_ptr<Exposed> object = object_;
  const std::string* name = byIndex ? nullptr : &names_[static_cast<std::size_t>(id) - 1];
  return win::withExcepInfo(L"TolvaneDemoHost", exception, [&] {
    host::Value value;
    const HRESULT hr = invokeOn(*object, name, flags, *params, value, L"TolvaneDemoHost", exception);
    if (SUCCEEDED(hr) && result != nullptr) toVariant(value, result);
    return hr;
  });
}

}  // namespace tolvane::demohost
