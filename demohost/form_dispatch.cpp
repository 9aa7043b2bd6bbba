#include "demohost/form_dispatch.h"

#include "DemoHost.h"
#include "win/com_ptr.h"
#include "win/excep_info.h"
#include "win/host_failure.h"

namespace tolvane::demohost {

namespace {

// A type of the demo host's own library, in this program's resources.
win::ComPtr<ITypeInfo> demoType(REFGUID guid) {
  static const win::ComPtr<ITypeLib> library = [] {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    win::ComPtr<ITypeLib> loaded;
    if (FAILED(LoadTypeLibEx(self, REGKIND_NONE, loaded.put()))) loaded.reset();
    return loaded;
  }();
  win::ComPtr<ITypeInfo> info;
  if (!library || FAILED(library->GetTypeInfoOfGuid(guid, info.put()))) info.reset();
  return info;
}

}  // namespace

FormDispatch::FormDispatch(std::shared_ptr<Exposed> form, bool raisesFormEvents)
    : ExposedDispatch(std::move(form)),
      classId_(raisesFormEvents ? CLSID_DemoForm : CLSID_DemoPanel),
      events_(*this, raisesFormEvents ? DIID_FormEvents : DIID_PanelEvents) {}

STDMETHODIMP FormDispatch::QueryInterface(REFIID iid, void** out) {
  if (IUnknown* found = win::interfaceOf<IProvideClassInfo, IConnectionPointContainer>(this, iid)) {
    return win::handOut(found, out);
  }
  return ExposedDispatch::QueryInterface(iid, out);
}

STDMETHODIMP FormDispatch::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  const win::ComPtr<ITypeInfo> type = demoType(classId_);
  if (!type) return TYPE_E_ELEMENTNOTFOUND;
  return type.copy_to(info);
}

std::vector<std::string> FormDispatch::raise(DISPID id) {
  std::vector<std::string> failures;
  const auto sinks = events_.connections();
  for (const auto& [cookie, sink] : sinks) {
    if (!events_.advised(cookie)) continue;
    DISPPARAMS none{};
    win::ExcepInfo exception;
    const HRESULT hr =
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, exception.receive(), nullptr);
    if (FAILED(hr)) failures.push_back(win::failureOf(hr, &exception.filled(hr), "the event").what());
  }
  return failures;
}

}  // namespace tolvane::demohost
