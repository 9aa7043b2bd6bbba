#include "demohost/control_site.h"

#include <string>

#include "Brenmoor.h"

namespace tolvane::demohost {

namespace {

class EmptyBag final : public win::ComObject<IPropertyBag> {
 public:
  STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return S_OK; }

 private:
  ~EmptyBag() override = default;
};

}  // namespace

win::ComPtr<IPropertyBag> emptyBag() { return win::ComPtr<IPropertyBag>::adopt(new EmptyBag()); }

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
