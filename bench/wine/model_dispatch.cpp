#include "bench/wine/model_dispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>

#include "hostmodel/dispatch/dispatch_object.h"

namespace tolvane::bench {

namespace {

using host::HostError;
using host::dispatch::exceptionOf;
using host::dispatch::failureOf;
using host::dispatch::fromVariant;
using host::dispatch::narrow;
using host::dispatch::toVariant;

// The form's events as the demo host's type library numbers them.
constexpr DISPID kLoad = 1;
constexpr DISPID kResize = 2;

class ObjectDispatch : public IDispatch {
 public:
  ObjectDispatch(Exposer& exposer, host::ObjectRef object) : exposer_(exposer), object_(std::move(object)) {}
  ObjectDispatch(const ObjectDispatch&) = delete;
  ObjectDispatch& operator=(const ObjectDispatch&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
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
    try {
      std::vector<host::Value> args;
      args.reserve(params->cArgs);
      for (UINT i = params->cArgs; i > 0; --i) args.push_back(fromVariant(params->rgvarg[i - 1]));
      host::Value value;
      if (name == nullptr) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        value = object->item(args.front());
      } else if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        object->put(*name, args.front());
        return S_OK;
      } else if ((flags & DISPATCH_PROPERTYGET) != 0 && args.empty()) {
        value = object->get(*name);
      } else if ((flags & DISPATCH_METHOD) != 0) {
        object->call(*name, args);
      } else {
        return DISP_E_MEMBERNOTFOUND;
      }
      if (result == nullptr) return S_OK;
      if (const auto* inner = std::get_if<host::ObjectRef>(&value); inner != nullptr && *inner != nullptr) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = exposer_.expose(*inner).get();
        V_DISPATCH(result)->AddRef();
      } else {
        toVariant(value, result);
      }
      return S_OK;
    } catch (const HostError& error) {
      return exceptionOf(error, L"TolvaneBench", exception);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 protected:
  virtual ~ObjectDispatch() = default;
  Exposer& exposer_;
  host::ObjectRef object_;

 private:
  LONG references_ = 1;
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

class FormDispatch final : public ObjectDispatch,
                           public IProvideClassInfo,
                           public IConnectionPointContainer,
                           public IConnectionPoint {
 public:
  FormDispatch(Exposer& exposer, host::ObjectRef form, IID source)
      : ObjectDispatch(exposer, std::move(form)), source_(source) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IProvideClassInfo) {
      *out = static_cast<IProvideClassInfo*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else if (iid == IID_IConnectionPoint) {
      *out = static_cast<IConnectionPoint*>(this);
    } else {
      return ObjectDispatch::QueryInterface(iid, out);
    }
    AddRef();
    return S_OK;
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

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points != nullptr) *points = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (iid != source_) return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = source_;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
    if (container == nullptr) return E_POINTER;
    *container = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (cookie == nullptr || sink == nullptr) return E_POINTER;
    *cookie = 0;
    ComRef<IDispatch> events;
    if (FAILED(sink->QueryInterface(source_, reinterpret_cast<void**>(events.put())))) return CONNECT_E_CANNOTCONNECT;
    try {
      auto connection = std::make_unique<Connection>();
      connection->bridge = std::make_unique<EventBridge>(events);
      connection->subscription = object_->asForm()->advise(*connection->bridge);
      connections_.emplace_back(++lastCookie_, std::move(connection));
    } catch (const HostError& error) {
      return exceptionOf(error, L"TolvaneBench", nullptr);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    *cookie = lastCookie_;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
      if (it->first == cookie) {
        // The bridge may be delivering the event that unadvises it: it goes when the call returns.
        dropped_.push_back(std::move(it->second));
        connections_.erase(it);
        dropped_.back()->subscription.reset();
        return S_OK;
      }
    }
    return CONNECT_E_NOCONNECTION;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override {
    if (connections != nullptr) *connections = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~FormDispatch() override = default;

  struct Connection {
    std::unique_ptr<EventBridge> bridge;
    host::Subscription subscription;  // dropped before the bridge
  };
  IID source_;
  std::vector<std::pair<DWORD, std::unique_ptr<Connection>>> connections_;
  std::vector<std::unique_ptr<Connection>> dropped_;
  DWORD lastCookie_ = 0;
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
