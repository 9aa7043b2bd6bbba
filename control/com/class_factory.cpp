#include "control/com/class_factory.h"

#include <new>

#include "Brenmoor.h"
#include "control/com/server_module.h"
#include "control/com/tolvane_control.h"

namespace tolvane::com {

namespace {

class TolvaneFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

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
  ~TolvaneFactory() = default;

  LiveObject live_;
  LONG references_ = 1;
};

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_Tolvane) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) TolvaneFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

HRESULT canUnloadNow() noexcept {
  if (ServerModule::inUse()) return S_FALSE;
  ServerModule::releaseTypeLibrary();
  return S_OK;
}

}  // namespace tolvane::com
