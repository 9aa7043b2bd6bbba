#include "bench/wine/model_dispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>

#include "hostmodel/dispatch/com_object.h"
#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/dispatch/single_connection_point.h"

namespace tolvane::bench {

namespace {

using host::HostError;
using host::dispatch::ComObject;
using host::dispatch::guardedInvoke;
using host::dispatch::invokeOn;
using host::dispatch::exceptionOf;
using host::dispatch::failureOf;
using host::dispatch::handOut;
using host::dispatch::interfaceOf;
using host::dispatch::narrow;
using host::dispatch::SingleConnectionPoint;
using host::dispatch::toVariant;

// The form's events as the demo host's type library numbers them.
constexpr DISPID kLoad = 1;
constexpr DISPID kResize = 2;

class ObjectDispatch : public ComObject<IDispatch> {
 public:
  ObjectDispatch(Exposer& exposer, host::ObjectRef object) : exposer_(exposer), object_(std::move(object)) {}

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }

  // Every name has an identifier; a member the object lacks fails when it is invoked, with the
  // object's own error.
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ++exposer_.counts.names;
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr) return E_INVALIDARG;
    try {
      for (UINT i = 0; i < count; ++i) {
        if (names[i] == nullptr) return E_INVALIDARG;
        ids[i] = i == 0 ? exposer_.idOf(names[i]) : DISPID_UNKNOWN;
      }
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override {
    ++exposer_.counts.invokes;
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
    const std::string* name = id == DISPID_VALUE ? nullptr : exposer_.nameOf(id);
    if (id != DISPID_VALUE && name == nullptr) return DISP_E_MEMBERNOTFOUND;
    if (result != nullptr) VariantInit(result);
    // The member may drop the caller's last reference to this adapter.
    host::ObjectRef object = object_;
    return guardedInvoke(L"TolvaneBench", exception, [&] {
      host::Value value;
      const HRESULT hr = invokeOn(*object, name, flags, *params, value);
      if (FAILED(hr) || result == nullptr) return hr;
      if (const auto* inner = std::get_if<host::ObjectRef>(&value); inner != nullptr && *inner != nullptr) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = exposer_.expose(*inner).get();
        V_DISPATCH(result)->AddRef();
      } else {
        toVariant(value, result);
      }
      return hr;
    });
  }

 protected:
  ~ObjectDispatch() override = default;
  Exposer& exposer_;
  host::ObjectRef object_;
};

// Delivers the model form's Load and Resize to an advised sink; a failure the sink returns goes
// back to the form's event dispatch.
class EventBridge final : public host::FormEvents {
 public:
  explicit EventBridge(ComRef<IDispatch> sink) : sink_(std::move(sink)) {}
  void ParentForm_Load() override { deliver(kLoad); }
  void ParentForm_Resize() override { deliver(kResize); }

 private:
  void deliver(DISPID id) {
    ComRef<IDispatch> sink = sink_;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    const HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &exception, nullptr);
    if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    if (FAILED(hr)) {
      HostError error = failureOf(hr, &exception, "the event");
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
      throw error;
    }
  }
  ComRef<IDispatch> sink_;
};

// The connection of an advised sink: the bridge that calls it and the form's subscription.
struct Connection {
  std::unique_ptr<EventBridge> bridge;
  host::Subscription subscription;  // dropped before the bridge
};

class FormDispatch final : public ObjectDispatch,
                           public IProvideClassInfo,
                           public SingleConnectionPoint<std::unique_ptr<Connection>> {
 public:
  FormDispatch(Exposer& exposer, host::ObjectRef form, IID source)
      : ObjectDispatch(exposer, std::move(form)), SingleConnectionPoint(source) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IUnknown* found = interfaceOf<IProvideClassInfo, IConnectionPointContainer, IConnectionPoint>(this, iid)) {
      return handOut(found, out);
    }
    return ObjectDispatch::QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ObjectDispatch::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ObjectDispatch::Release(); }

  STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = exposer_.formClass();
    if (*info == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    (*info)->AddRef();
    return S_OK;
  }

 private:
  ~FormDispatch() override = default;

  HRESULT connect(ComRef<IDispatch> sink, std::unique_ptr<Connection>* connection) override {
    try {
      *connection = std::make_unique<Connection>();
      (*connection)->bridge = std::make_unique<EventBridge>(std::move(sink));
      (*connection)->subscription = object_->asForm()->advise(*(*connection)->bridge);
    } catch (const HostError& error) {
      return exceptionOf(error, L"TolvaneBench", nullptr);
    }
    return S_OK;
  }
  // The bridge may be delivering the event that unadvises it: it goes when the call returns.
  void disconnect(std::unique_ptr<Connection> connection) override {
    dropped_.push_back(std::move(connection));
    dropped_.back()->subscription.reset();
  }

  std::vector<std::unique_ptr<Connection>> dropped_;
};

// The default source interface of a class.
IID sourceOf(ITypeInfo* coclass) {
  TYPEATTR* attributes = nullptr;
  IID source = IID_NULL;
  if (coclass == nullptr || FAILED(coclass->GetTypeAttr(&attributes))) return source;
  for (UINT i = 0; i < attributes->cImplTypes; ++i) {
    INT flags = 0;
    HREFTYPE reference = 0;
    ComRef<ITypeInfo> type;
    TYPEATTR* typeAttributes = nullptr;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags)) ||
        (flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE) ||
        FAILED(coclass->GetRefTypeOfImplType(i, &reference)) || FAILED(coclass->GetRefTypeInfo(reference, type.put())) ||
        FAILED(type->GetTypeAttr(&typeAttributes))) {
      continue;
    }
    source = typeAttributes->guid;
    type->ReleaseTypeAttr(typeAttributes);
  }
  coclass->ReleaseTypeAttr(attributes);
  return source;
}

}  // namespace

Exposer::Exposer(const CLSID& formClass) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  ComRef<ITypeLib> library;
  if (SUCCEEDED(LoadTypeLibEx(self, REGKIND_NONE, library.put())) && library) {
    if (FAILED(library->GetTypeInfoOfGuid(formClass, formClass_.put()))) formClass_.reset();
  }
}

Exposer::~Exposer() = default;

ComRef<IDispatch> Exposer::expose(const host::ObjectRef& object) {
  if (const auto found = adapters_.find(object.get()); found != adapters_.end()) return found->second;
  ComRef<IDispatch> adapter;
  if (dynamic_cast<host::Form*>(object.get()) != nullptr) {
    adapter = ComRef<IDispatch>::adopt(static_cast<ObjectDispatch*>(new FormDispatch(*this, object, sourceOf(formClass_.get()))));
  } else {
    adapter = ComRef<IDispatch>::adopt(new ObjectDispatch(*this, object));
  }
  adapters_.emplace(object.get(), adapter);
  return adapter;
}

DISPID Exposer::idOf(const wchar_t* name) {
  std::wstring key(name);
  if (const auto found = ids_.find(key); found != ids_.end()) return found->second;
  names_.push_back(narrow(name, key.size()));
  const auto id = static_cast<DISPID>(names_.size());
  ids_.emplace(std::move(key), id);
  return id;
}

const std::string* Exposer::nameOf(DISPID id) const {
  if (id < 1 || static_cast<std::size_t>(id) > names_.size()) return nullptr;
  return &names_[static_cast<std::size_t>(id) - 1];
}

}  // namespace tolvane::bench
