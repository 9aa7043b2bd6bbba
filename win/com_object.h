// The IUnknown that most of our COM objects share: one reference count, deleted at zero, and a
// QueryInterface that answers IUnknown and a short list of interfaces.
#pragma once

#include <unknwn.h>

#include <cstddef>

namespace tolvane::win {

// `self` as the first of `Interfaces` that `iid` names, or null. Each interface is known by its
// own IID only; an object that answers for an interface's base as well says so itself.
template <class... Interfaces, class Self>
IUnknown* interfaceOf(Self* self, REFIID iid) {
  const IID* const iids[] = {&__uuidof(Interfaces)...};
  IUnknown* const faces[] = {static_cast<Interfaces*>(self)...};
  for (std::size_t i = 0; i < sizeof...(Interfaces); ++i) {
    if (iid == *iids[i]) return faces[i];
  }
  return nullptr;
}

// The end of every QueryInterface: `found` with a new reference, or E_NOINTERFACE.
inline HRESULT handOut(IUnknown* found, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = found;
  if (found == nullptr) return E_NOINTERFACE;
  found->AddRef();
  return S_OK;
}

// A COM object implementing `First` and `Rest`; IUnknown is `First`. It starts with the one
// reference its creator owns. A class adding interfaces to a ComObject it derives from answers
// for them first and hands the rest to this QueryInterface.
template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown) return handOut(static_cast<First*>(this), out);
    return handOut(interfaceOf<First, Rest...>(this, iid), out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  ComObject() = default;
  // Only Release deletes; virtual so that it deletes the whole object.
  virtual ~ComObject() = default;

 private:
  LONG references_ = 1;
};

}  // namespace tolvane::win
