#include "hostmodel/dispatch/dispatch_form.h"

#include <olectl.h>

#include <string>

#include "win/untyped_dispatch.h"
#include "win/error_boundary.h"
#include "win/host_failure.h"
#include "win/type_attributes.h"
#include "win/variant_clear.h"

namespace tolvane::host::dispatch {

using win::ComPtr;
using win::TypeAttributes;

ComPtr<ITypeInfo> defaultSource(ITypeInfo* coclass) {
  TypeAttributes attributes(coclass);
  if (!attributes || attributes->typekind != TKIND_COCLASS) return {};
  for (UINT i = 0; i < attributes->cImplTypes; ++i) {
    INT flags = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) continue;
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> source;
    if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &reference)) &&
        SUCCEEDED(coclass->GetRefTypeInfo(reference, source.put()))) {
      return source;
    }
  }
  return {};
}

namespace {

[[noreturn]] void notAForm(const std::string& why) {
  throw HostError(Failure::TypeMismatch, "type mismatch: the parent is not a form (" + why + ")");
}


// The member identifier of the event `name` of a source interface, when it has one.
bool eventId(ITypeInfo* source, const wchar_t* name, DISPID* id) {
  std::wstring text = name;
  LPOLESTR names[] = {text.data()};
  MEMBERID member = MEMBERID_NIL;
  if (FAILED(source->GetIDsOfNames(names, 1, &member))) return false;
  *id = member;
  return true;
}

// The sink advised to a form's source interface: Load and Resize run the handlers; a HostError
// they raise goes back to the form's event dispatch as the failed HRESULT with its EXCEPINFO.
class FormEventSink final : public win::UntypedDispatch<IDispatch> {
 public:
  FormEventSink(FormEvents& handlers, const IID& source, DISPID load, DISPID resize, ContainerLinkRef link)
      : handlers_(&handlers), source_(source), load_(load), resize_(resize), link_(std::move(link)) {}

  void detach() noexcept { handlers_ = nullptr; }

  // The source interface is known only from the form's type information.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == source_) return win::handOut(this, out);
    return UntypedDispatch::QueryInterface(iid, out);
  }

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      if (names[i] != nullptr && lstrcmpiW(names[i], L"Load") == 0) {
        ids[i] = load_;
      } else if (names[i] != nullptr && lstrcmpiW(names[i], L"Resize") == 0) {
        ids[i] = resize_;
      } else {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
      }
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception,
                      UINT*) override {
    if (result != nullptr) win::emptyVariant(result);
    // Events without a handler, and events still in delivery after the subscription was dropped,
    // are ignored as a form's other events are.
    FormEvents* handlers = handlers_;
    if (handlers == nullptr || (id != load_ && id != resize_)) return S_OK;
    // The handler may drop this subscription (a Rebuild re-attaches); the sink stays alive until
    // the event returns.
    const ComPtr<FormEventSink> keepAlive(this);
    // The control whose handlers run stays alive until they return, whatever the host does meanwhile.
    const ContainerLink::Visit visit(link_);
    return win::withExcepInfo(L"Tolvane", exception, [&] {
      if (id == load_) {
        handlers->ParentForm_Load();
      } else {
        handlers->ParentForm_Resize();
      }
      return S_OK;
    });
  }

 private:
  ~FormEventSink() override = default;

  FormEvents* handlers_;
  IID source_;
  DISPID load_;
  DISPID resize_;
  ContainerLinkRef link_;
};

}  // namespace

FormRef DispatchObject::asForm() {
  if (link_) link_->check("Parent");
  ComPtr<IProvideClassInfo> provider = dispatch_.query<IProvideClassInfo>(IID_IProvideClassInfo);
  if (!provider) notAForm("it gives no class information");
  ComPtr<ITypeInfo> coclass;
  if (FAILED(provider->GetClassInfo(coclass.put())) || !coclass) notAForm("its class information cannot be read");
  ComPtr<ITypeInfo> source = defaultSource(coclass.get());
  if (!source) notAForm("its class has no default source interface");
  IID sourceId{};
  {
    TypeAttributes attributes(source.get());
    if (!attributes || attributes->typekind != TKIND_DISPATCH) notAForm("its events are not a dispatch interface");
    sourceId = attributes->guid;
  }
  DISPID load = DISPID_UNKNOWN;
  DISPID resize = DISPID_UNKNOWN;
  if (!eventId(source.get(), L"Load", &load) || !eventId(source.get(), L"Resize", &resize)) {
    notAForm("it raises no Load and Resize");
  }
  ComPtr<IConnectionPointContainer> points = dispatch_.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> events;
  if (!points || FAILED(points->FindConnectionPoint(sourceId, events.put())) || !events) {
    notAForm("its events cannot be advised");
  }
  return std::make_shared<DispatchForm>(dispatch_.get(), events.get(), sourceId, load, resize, link_);
}

DispatchForm::DispatchForm(IDispatch* dispatch, IConnectionPoint* events, const IID& source, DISPID load, DISPID resize,
                           ContainerLinkRef link)
    : object_(dispatch, std::move(link)), events_(events), source_(source), load_(load), resize_(resize) {}

Subscription DispatchForm::advise(FormEvents& sink) {
  if (const ContainerLinkRef& link = object_.link()) link->check("the form's events");
  auto* created = new FormEventSink(sink, source_, load_, resize_, object_.link());
  ComPtr<FormEventSink> eventSink = ComPtr<FormEventSink>::adopt(created);
  DWORD cookie = 0;
  const HRESULT hr = events_->Advise(static_cast<IDispatch*>(created), &cookie);
  if (FAILED(hr)) {
    created->detach();
    throw win::failureOf(hr, nullptr, "advising the form's events");
  }
  return Subscription([events = events_, eventSink, cookie] {
    eventSink->detach();
    events->Unadvise(cookie);
  });
}


}  // namespace tolvane::host::dispatch
