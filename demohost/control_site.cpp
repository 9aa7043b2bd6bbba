#include "demohost/control_site.h"

#include <string>

#include "Brenmoor.h"

namespace tolvane::demohost {

win::ComPtr<IClassFactory> tolvaneFactory() {
  static HMODULE module = [] {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\') + 1);
    return LoadLibraryW((path + L"Brenmoor.ocx").c_str());
  }();
  win::ComPtr<IClassFactory> factory;
  if (module != nullptr) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (get != nullptr && SUCCEEDED(get(CLSID_Tolvane, IID_IClassFactory, reinterpret_cast<void**>(factory.put())))) {
      return factory;
    }
  }
  if (FAILED(CoGetClassObject(CLSID_Tolvane, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.put())))) {
    factory.reset();
  }
  return factory;
}

}  // namespace tolvane::demohost
