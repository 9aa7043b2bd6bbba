#include "control/com/class_factory.h"

#include <new>

#include "Brenmoor.h"
#include "control/com/server_module.h"
#include "control/com/tolvane_control.h"
#include "win/com_object.h"
#include "win/com_ptr.h"

namespace tolvane::com {

namespace {

class TolvaneFactory final : public win::ComObject<IClassFactory> {
 public:
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return TolvaneControl::create(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      ServerModule::lock();
    } else {
      ServerModule::unlock();
    }
    return S_OK;
  }

 private:
  ~TolvaneFactory() override = default;

  LiveObject live_;
};

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_Tolvane) return CLASS_E_CLASSNOTAVAILABLE;
  auto factory = win::ComPtr<TolvaneFactory>::adopt(new (std::nothrow) TolvaneFactory());
  if (!factory) return E_OUTOFMEMORY;
  return factory->QueryInterface(iid, out);
}

HRESULT canUnloadNow() noexcept {
  if (ServerModule::inUse()) return S_FALSE;
  ServerModule::releaseTypeLibrary();
  return S_OK;
}

}  // namespace tolvane::com
