#include "bench/wine/model_dispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>

#include "hostmodel/dispatch/dispatch_form.h"
#include "hostmodel/dispatch/invoke_on.h"
#include "hostmodel/dispatch/variant.h"
#include "win/untyped_dispatch.h"
#include "win/connection_point.h"
#include "win/error_boundary.h"
#include "win/excep_info.h"
#include "win/host_failure.h"
#include "win/text.h"
#include "win/type_attributes.h"
#include "win/variant_clear.h"

namespace tolvane::bench {

namespace {

using host::HostError;
using host::dispatch::invokeOn;
using host::dispatch::toVariant;
using win::narrow;

// The form's events as the demo host's type library numbers them.
constexpr DISPID kLoad = 1;
constexpr DISPID kResize = 2;

class ObjectDispatch : public win::UntypedDispatch<IDispatch> {
 public:
  ObjectDispatch(Exposer& exposer, host::ObjectRef object) : exposer_(exposer), object_(std::move(object)) {}


  // Every name has an identifier; a member the object lacks fails when it is invoked, with the
  // object's own error.
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ++exposer_.counts.names;
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr) return E_INVALIDARG;
    return win::resultOf([&] {
      for (UINT i = 0; i < count; ++i) {
        if (names[i] == nullptr) return E_INVALIDARG;
        ids[i] = i == 0 ? exposer_.idOf(names[i]) : DISPID_UNKNOWN;
      }
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    });
  }

  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override {
    ++exposer_.counts.invokes;
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
    const std::string* name = id == DISPID_VALUE ? nullptr : exposer_.nameOf(id);
    if (id != DISPID_VALUE && name == nullptr) return DISP_E_MEMBERNOTFOUND;
    if (result != nullptr) win::emptyVariant(result);
    // The member may drop the caller's last reference to this adapter, but not the exposer's: it
    // holds every adapter, and so its object, for its own life.
    return win::withExcepInfo(L"TolvaneBench", exception, [&] {
      host::Value value;
      const HRESULT hr = invokeOn(*object_, name, flags, *params, value, L"TolvaneBench", exception);
      if (FAILED(hr) || result == nullptr) return hr;
      if (const auto* inner = std::get_if<host::ObjectRef>(&value); inner != nullptr && *inner != nullptr) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = exposer_.expose(*inner).detach();
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
  explicit EventBridge(ComPtr<IDispatch> sink) : sink_(std::move(sink)) {}
  void ParentForm_Load() override { deliver(kLoad); }
  void ParentForm_Resize() override { deliver(kResize); }

 private:
  void deliver(DISPID id) {
    ComPtr<IDispatch> sink = sink_;
    DISPPARAMS none{};
    win::ExcepInfo exception;
    const HRESULT hr =
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, exception.receive(), nullptr);
    if (FAILED(hr)) throw win::failureOf(hr, &exception.filled(hr), "the event");
  }
  ComPtr<IDispatch> sink_;
};

// The connection of an advised sink: the bridge that calls it and the form's subscription.
struct Connection {
  std::unique_ptr<EventBridge> bridge;
  host::Subscription subscription;  // dropped before the bridge
};

// The form's connection point: an advised sink is bridged to the model form's own events.
class FormEventsPoint final : public win::ConnectionPoint<std::unique_ptr<Connection>> {
 public:
  FormEventsPoint(IConnectionPointContainer& container, IID source, host::ObjectRef form)
      : ConnectionPoint(container, source), form_(std::move(form)) {}

 private:
  HRESULT connect(ComPtr<IDispatch> sink, std::unique_ptr<Connection>* connection) override {
    try {
      *connection = std::make_unique<Connection>();
      (*connection)->bridge = std::make_unique<EventBridge>(std::move(sink));
      (*connection)->subscription = form_->asForm()->advise(*(*connection)->bridge);
    } catch (const HostError& error) {
      return win::hresultOf(error);
    }
    return S_OK;
  }
  // The bridge may be delivering the event that unadvises it: it goes when the call returns.
  void disconnect(std::unique_ptr<Connection> connection) override {
    dropped_.push_back(std::move(connection));
    dropped_.back()->subscription.reset();
  }

  host::ObjectRef form_;
  std::vector<std::unique_ptr<Connection>> dropped_;
};

class FormDispatch final : public ObjectDispatch, public IProvideClassInfo, public IConnectionPointContainer {
 public:
  FormDispatch(Exposer& exposer, host::ObjectRef form, IID source)
      : ObjectDispatch(exposer, form), events_(*this, source, form) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IUnknown* found = win::interfaceOf<IProvideClassInfo, IConnectionPointContainer>(this, iid)) {
      return win::handOut(found, out);
    }
    return ObjectDispatch::QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ObjectDispatch::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ObjectDispatch::Release(); }

  STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (exposer_.formClass() == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    return ComPtr<ITypeInfo>(exposer_.formClass()).copy_to(info);
  }

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override { return events_.enumerate(points); }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override { return events_.find(iid, point); }

 private:
  ~FormDispatch() override = default;

  FormEventsPoint events_;
};

// The default source interface of a class.
IID sourceOf(ITypeInfo* coclass) {
  const ComPtr<ITypeInfo> source = host::dispatch::defaultSource(coclass);
  const win::TypeAttributes attributes(source.get());
  return attributes ? attributes->guid : IID_NULL;
}

}  // namespace

Exposer::Exposer(const CLSID& formClass) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  ComPtr<ITypeLib> library;
  if (SUCCEEDED(LoadTypeLibEx(self, REGKIND_NONE, library.put())) && library) {
    if (FAILED(library->GetTypeInfoOfGuid(formClass, formClass_.put()))) formClass_.reset();
  }
}

Exposer::~Exposer() = default;

ComPtr<IDispatch> Exposer::expose(const host::ObjectRef& object) {
  if (const auto found = adapters_.find(object.get()); found != adapters_.end()) return found->second;
  ComPtr<IDispatch> adapter;
  if (dynamic_cast<host::Form*>(object.get()) != nullptr) {
    adapter = ComPtr<IDispatch>::adopt(static_cast<ObjectDispatch*>(new FormDispatch(*this, object, sourceOf(formClass_.get()))));
  } else {
    adapter = ComPtr<IDispatch>::adopt(new ObjectDispatch(*this, object));
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
