#include "hostmodel/dispatch/dispatch_object.h"

#include <oleauto.h>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

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
  std::wstring name = widen(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    throw HostError(hr == DISP_E_UNKNOWNNAME ? Failure::MissingMember : failureKind(hr),
                    "the object has no member " + std::string(member), static_cast<std::int32_t>(hr));
  }
  return id;
}

Value DispatchObject::invoke(std::string_view member, WORD flags, std::span<const Value> args) {
  const DISPID id = idOf(member);
  // Arguments go in reverse order.
  std::vector<VARIANT> arguments(args.size());
  for (VARIANT& v : arguments) VariantInit(&v);
  struct Clear {
    std::vector<VARIANT>& v;
    ~Clear() {
      for (VARIANT& a : v) VariantClear(&a);
    }
  } clear{arguments};
  for (std::size_t i = 0; i < args.size(); ++i) toVariant(args[i], &arguments[args.size() - 1 - i]);

  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = arguments.empty() ? nullptr : arguments.data();
  params.cArgs = static_cast<UINT>(arguments.size());
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  VariantHolder result;
  EXCEPINFO exception{};
  UINT argError = 0;
  const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       (flags & DISPATCH_PROPERTYPUT) != 0 ? nullptr : &result.v, &exception, &argError);
  if (FAILED(hr)) {
    HostError error = failureOf(hr, &exception, member);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    throw error;
  }
  return fromVariant(result.v);
}

Value DispatchObject::get(std::string_view member) { return invoke(member, DISPATCH_PROPERTYGET, {}); }

void DispatchObject::put(std::string_view member, const Value& value) {
  invoke(member, DISPATCH_PROPERTYPUT, std::span<const Value>(&value, 1));
}

void DispatchObject::call(std::string_view method, std::span<const Value> args) {
  invoke(method, DISPATCH_METHOD, args);
}

}  // namespace tolvane::host::dispatch
