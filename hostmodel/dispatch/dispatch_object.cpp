#include "hostmodel/dispatch/dispatch_object.h"

#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "hostmodel/dispatch/com_object.h"

namespace tolvane::host::dispatch {

namespace {

// Releases what a VARIANT holds when it goes out of scope.
struct VariantHolder {
  VARIANT v;
  VariantHolder() { VariantInit(&v); }
  ~VariantHolder() { VariantClear(&v); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
};

Failure failureKind(HRESULT hr) {
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
    case static_cast<HRESULT>(0x800A01B6):  // object doesn't support this property or method
      return Failure::MissingMember;
    case DISP_E_TYPEMISMATCH:
    case static_cast<HRESULT>(0x800A000D):  // type mismatch
      return Failure::TypeMismatch;
    case DISP_E_OVERFLOW:
    case static_cast<HRESULT>(0x800A0006):  // overflow
      return Failure::Overflow;
    case DISP_E_DIVBYZERO:
    case static_cast<HRESULT>(0x800A000B):  // division by zero
      return Failure::DivisionByZero;
    case static_cast<HRESULT>(0x800A017C):  // invalid property value
      return Failure::ValueRefused;
    case DISP_E_BADINDEX:
    case static_cast<HRESULT>(0x800A0009):  // subscript out of range
      return Failure::SubscriptOutOfRange;
    case static_cast<HRESULT>(0x800A005B):  // object variable not set
      return Failure::NotAttached;
    case E_OUTOFMEMORY:
      return Failure::OutOfMemory;
    default:
      return Failure::Platform;
  }
}

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) throw HostError(Failure::TypeMismatch, "text is not UTF-8");
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
  return out;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) return {};
  const int size = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), bytes, nullptr, nullptr);
  return out;
}

HostError failureOf(HRESULT hr, const EXCEPINFO* exception, std::string_view what) {
  std::string text;
  if (hr == DISP_E_EXCEPTION && exception != nullptr) {
    if (exception->scode != 0) {
      hr = exception->scode;
    } else if (exception->wCode != 0) {
      hr = static_cast<HRESULT>(0x800A0000u | exception->wCode);
    }
    if (exception->bstrDescription != nullptr) {
      text = narrow(exception->bstrDescription, SysStringLen(exception->bstrDescription));
    }
  }
  if (text.empty()) text = std::string(what) + ": error " + hex(hr);
  return HostError(failureKind(hr), text, static_cast<std::int32_t>(hr));
}

Value fromVariant(const VARIANT& variant) {
  const VARIANT* v = &variant;
  VariantHolder direct;
  if ((V_VT(v) & VT_BYREF) != 0) {
    if (FAILED(VariantCopyInd(&direct.v, const_cast<VARIANT*>(v)))) {
      throw HostError(Failure::TypeMismatch, "cannot read a value passed by reference");
    }
    v = &direct.v;
  }
  switch (V_VT(v)) {
    case VT_EMPTY: return Value{};
    case VT_BOOL: return Value{V_BOOL(v) != VARIANT_FALSE};
    case VT_I2: return Value{static_cast<std::int16_t>(V_I2(v))};
    case VT_I4: return Value{static_cast<std::int32_t>(V_I4(v))};
    case VT_R4: return Value{V_R4(v)};
    case VT_R8: return Value{V_R8(v)};
    case VT_BSTR: return Value{narrow(V_BSTR(v), SysStringLen(V_BSTR(v)))};
    case VT_DISPATCH: {
      if (V_DISPATCH(v) == nullptr) return Value{ObjectRef{}};
      return Value{ObjectRef{std::make_shared<DispatchObject>(V_DISPATCH(v))}};
    }
    case VT_UNKNOWN: {
      IDispatch* dispatch = nullptr;
      if (V_UNKNOWN(v) == nullptr) return Value{ObjectRef{}};
      if (FAILED(V_UNKNOWN(v)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        throw HostError(Failure::TypeMismatch, "the object cannot be reached late-bound");
      }
      auto object = std::make_shared<DispatchObject>(dispatch);
      dispatch->Release();
      return Value{ObjectRef{object}};
    }
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_INT: {
      VariantHolder i4;
      if (FAILED(VariantChangeType(&i4.v, const_cast<VARIANT*>(v), 0, VT_I4))) throw HostError(Failure::Overflow, "integer out of range");
      return Value{static_cast<std::int32_t>(V_I4(&i4.v))};
    }
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL: {
      VariantHolder r8;
      if (FAILED(VariantChangeType(&r8.v, const_cast<VARIANT*>(v), 0, VT_R8))) throw HostError(Failure::Overflow, "number out of range");
      return Value{V_R8(&r8.v)};
    }
    default:
      throw HostError(Failure::TypeMismatch, "a value of VARIANT type " + std::to_string(V_VT(v)) + " is not supported");
  }
}

void toVariant(const Value& value, VARIANT* out) {
  VariantClear(out);
  switch (typeOf(value)) {
    case ValueType::Empty: return;
    case ValueType::Bool:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = std::get<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case ValueType::I16:
      V_VT(out) = VT_I2;
      V_I2(out) = std::get<std::int16_t>(value);
      return;
    case ValueType::I32:
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(std::get<std::int32_t>(value));
      return;
    case ValueType::F32:
      V_VT(out) = VT_R4;
      V_R4(out) = std::get<float>(value);
      return;
    case ValueType::F64:
      V_VT(out) = VT_R8;
      V_R8(out) = std::get<double>(value);
      return;
    case ValueType::Str: {
      const std::wstring text = widen(std::get<std::string>(value));
      BSTR bstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (bstr == nullptr) throw std::bad_alloc();
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = bstr;
      return;
    }
    case ValueType::Object: {
      const ObjectRef& object = std::get<ObjectRef>(value);
      IDispatch* dispatch = nullptr;
      if (object != nullptr) {
        auto* late = dynamic_cast<DispatchObject*>(object.get());
        if (late == nullptr) throw HostError(Failure::TypeMismatch, "the object cannot be passed to the host");
        dispatch = late->dispatch();
        dispatch->AddRef();
      }
      V_VT(out) = VT_DISPATCH;
      V_DISPATCH(out) = dispatch;
      return;
    }
  }
}

DISPID DispatchObject::idOf(std::string_view member) {
  if (const auto cached = ids_.find(member); cached != ids_.end()) return cached->second;
  std::wstring name = widen(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    throw HostError(hr == DISP_E_UNKNOWNNAME ? Failure::MissingMember : failureKind(hr),
                    "the object has no member " + std::string(member), static_cast<std::int32_t>(hr));
  }
  ids_.emplace(std::string(member), id);
  return id;
}

Value DispatchObject::invoke(DISPID id, std::string_view member, WORD flags, std::span<const Value> args) {
  VariantHolder result;
  invokeRaw(id, member, flags, args, &result.v);
  return fromVariant(result.v);
}

void DispatchObject::invokeRaw(DISPID id, std::string_view member, WORD flags, std::span<const Value> args,
                               VARIANT* result) {
  // Arguments go in reverse order. Most calls have one or none: those take no allocation.
  constexpr std::size_t kLocal = 4;
  VARIANT local[kLocal];
  std::vector<VARIANT> more(args.size() > kLocal ? args.size() : 0);
  VARIANT* const arguments = args.size() > kLocal ? more.data() : local;
  for (std::size_t i = 0; i < args.size(); ++i) VariantInit(&arguments[i]);
  struct Clear {
    VARIANT* v;
    std::size_t count;
    ~Clear() {
      for (std::size_t i = 0; i < count; ++i) VariantClear(&v[i]);
    }
  } clear{arguments, args.size()};
  for (std::size_t i = 0; i < args.size(); ++i) toVariant(args[i], &arguments[args.size() - 1 - i]);

  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = args.empty() ? nullptr : arguments;
  params.cArgs = static_cast<UINT>(args.size());
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT argError = 0;
  const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       (flags & DISPATCH_PROPERTYPUT) != 0 ? nullptr : result, &exception, &argError);
  if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
  if (FAILED(hr)) {
    HostError error = failureOf(hr, &exception, member);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    throw error;
  }
}

Value DispatchObject::get(std::string_view member) {
  const DISPID id = idOf(member);
  VariantHolder result;
  invokeRaw(id, member, DISPATCH_PROPERTYGET, {}, &result.v);
  if (V_VT(&result.v) != VT_DISPATCH || V_DISPATCH(&result.v) == nullptr) {
    returned_.erase(id);
    return fromVariant(result.v);
  }
  auto& last = returned_[id];
  if (!last || last->dispatch() != V_DISPATCH(&result.v)) last = std::make_shared<DispatchObject>(V_DISPATCH(&result.v));
  return Value{ObjectRef{last}};
}

void DispatchObject::put(std::string_view member, const Value& value) {
  invoke(idOf(member), member, DISPATCH_PROPERTYPUT, std::span<const Value>(&value, 1));
}

void DispatchObject::call(std::string_view method, std::span<const Value> args) {
  invoke(idOf(method), method, DISPATCH_METHOD, args);
}

Value DispatchObject::item(const Value& index) {
  return invoke(DISPID_VALUE, "Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::span<const Value>(&index, 1));
}

// ---- the form conversion

namespace {

[[noreturn]] void notAForm(const std::string& why) {
  throw HostError(Failure::TypeMismatch, "type mismatch: the parent is not a form (" + why + ")");
}

// The attributes of a type, released when they go out of scope.
class TypeAttributes {
 public:
  explicit TypeAttributes(ITypeInfo* info) : info_(info) {
    if (FAILED(info_->GetTypeAttr(&attributes_))) attributes_ = nullptr;
  }
  ~TypeAttributes() {
    if (attributes_ != nullptr) info_->ReleaseTypeAttr(attributes_);
  }
  TypeAttributes(const TypeAttributes&) = delete;
  TypeAttributes& operator=(const TypeAttributes&) = delete;
  const TYPEATTR* operator->() const { return attributes_; }
  explicit operator bool() const { return attributes_ != nullptr; }

 private:
  ITypeInfo* info_;
  TYPEATTR* attributes_ = nullptr;
};

// The default source interface of a class, or empty.
ComRef<ITypeInfo> defaultSource(ITypeInfo* coclass) {
  TypeAttributes attributes(coclass);
  if (!attributes || attributes->typekind != TKIND_COCLASS) return {};
  for (UINT i = 0; i < attributes->cImplTypes; ++i) {
    INT flags = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) continue;
    HREFTYPE reference = 0;
    ComRef<ITypeInfo> source;
    if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &reference)) &&
        SUCCEEDED(coclass->GetRefTypeInfo(reference, source.put()))) {
      return source;
    }
  }
  return {};
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
class FormEventSink final : public ComObject<IDispatch> {
 public:
  FormEventSink(FormEvents& handlers, const IID& source, DISPID load, DISPID resize)
      : handlers_(&handlers), source_(source), load_(load), resize_(resize) {}

  void detach() noexcept { handlers_ = nullptr; }

  // The source interface is known only from the form's type information.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == source_) return handOut(this, out);
    return ComObject::QueryInterface(iid, out);
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
    if (result != nullptr) VariantInit(result);
    // Events without a handler, and events still in delivery after the subscription was dropped,
    // are ignored as a form's other events are.
    FormEvents* handlers = handlers_;
    if (handlers == nullptr || (id != load_ && id != resize_)) return S_OK;
    // The handler may drop this subscription (a Rebuild re-attaches); the sink stays alive until
    // the event returns.
    ComRef<FormEventSink> alive(this);
    return guardedInvoke(L"Tolvane", exception, [&] {
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
};

}  // namespace

FormRef DispatchObject::asForm() {
  ComRef<IProvideClassInfo> provider = dispatch_.query<IProvideClassInfo>(IID_IProvideClassInfo);
  if (!provider) notAForm("it gives no class information");
  ComRef<ITypeInfo> coclass;
  if (FAILED(provider->GetClassInfo(coclass.put())) || !coclass) notAForm("its class information cannot be read");
  ComRef<ITypeInfo> source = defaultSource(coclass.get());
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
  ComRef<IConnectionPointContainer> points = dispatch_.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComRef<IConnectionPoint> events;
  if (!points || FAILED(points->FindConnectionPoint(sourceId, events.put())) || !events) {
    notAForm("its events cannot be advised");
  }
  return std::make_shared<DispatchForm>(dispatch_.get(), events.get(), sourceId, load, resize);
}

DispatchForm::DispatchForm(IDispatch* dispatch, IConnectionPoint* events, const IID& source, DISPID load, DISPID resize)
    : object_(dispatch), events_(events), source_(source), load_(load), resize_(resize) {}

Subscription DispatchForm::advise(FormEvents& sink) {
  auto* created = new FormEventSink(sink, source_, load_, resize_);
  ComRef<FormEventSink> eventSink = ComRef<FormEventSink>::adopt(created);
  DWORD cookie = 0;
  const HRESULT hr = events_->Advise(static_cast<IDispatch*>(created), &cookie);
  if (FAILED(hr)) {
    created->detach();
    throw failureOf(hr, nullptr, "advising the form's events");
  }
  return Subscription([events = events_, eventSink, cookie] {
    eventSink->detach();
    events->Unadvise(cookie);
  });
}

// ---- failures reported to COM callers

HRESULT hresultOf(const HostError& error) noexcept {
  constexpr auto runtimeError = [](unsigned number) { return static_cast<HRESULT>(0x800A0000u | number); };
  if (error.code() != 0 && FAILED(static_cast<HRESULT>(error.code()))) return static_cast<HRESULT>(error.code());
  switch (error.failure()) {
    case Failure::MissingControl: return runtimeError(438);  // object doesn't support this property or method
    case Failure::MissingMember: return runtimeError(438);
    case Failure::TypeMismatch: return runtimeError(13);
    case Failure::Overflow: return runtimeError(6);
    case Failure::DivisionByZero: return runtimeError(11);
    case Failure::ValueRefused: return runtimeError(380);  // invalid property value
    case Failure::NotAttached: return runtimeError(91);    // object variable not set
    case Failure::SubscriptOutOfRange: return runtimeError(9);
    case Failure::ArrayLocked: return runtimeError(10);
    case Failure::NoValue: return runtimeError(91);
    case Failure::OutOfMemory: return E_OUTOFMEMORY;
    case Failure::Platform: return E_FAIL;
  }
  return E_FAIL;
}

HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value) {
  std::vector<Value> args;
  args.reserve(params.cArgs);
  for (UINT i = params.cArgs; i > 0; --i) args.push_back(fromVariant(params.rgvarg[i - 1]));
  value = Value{};
  if (name == nullptr) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    value = object.item(args.front());
  } else if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    object.put(*name, args.front());
  } else if ((flags & DISPATCH_PROPERTYGET) != 0 && args.empty()) {
    value = object.get(*name);
  } else if ((flags & DISPATCH_METHOD) != 0) {
    object.call(*name, args);
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }
  return S_OK;
}

HRESULT exceptionOf(const HostError& error, const wchar_t* source, EXCEPINFO* exception) noexcept {
  const HRESULT hr = hresultOf(error);
  if (exception == nullptr) return hr;
  *exception = EXCEPINFO{};
  exception->scode = hr;
  exception->bstrSource = SysAllocString(source);
  try {
    const std::wstring text = widen(error.what());
    exception->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  } catch (...) {
    exception->bstrDescription = nullptr;
  }
  return DISP_E_EXCEPTION;
}

}  // namespace tolvane::host::dispatch
