#include "hostmodel/dispatch/variant.h"

#include <oleauto.h>

#include <memory>
#include <new>
#include <string>

#include "hostmodel/dispatch/dispatch_object.h"
#include "win/com_ptr.h"
#include "win/scoped_bstr.h"
#include "win/scoped_variant.h"
#include "win/text.h"

namespace tolvane::host::dispatch {

using win::ScopedVariant;

Value fromVariant(const VARIANT& variant, const ContainerLinkRef& link) {
  const VARIANT* v = &variant;
  ScopedVariant direct;
  if ((V_VT(v) & VT_BYREF) != 0) {
    if (FAILED(VariantCopyInd(direct.ptr(), const_cast<VARIANT*>(v)))) {
      throw HostError(Failure::TypeMismatch, "cannot read a value passed by reference");
    }
    v = &direct.get();
  }
  switch (V_VT(v)) {
    case VT_EMPTY: return Value{};
    case VT_BOOL: return Value{V_BOOL(v) != VARIANT_FALSE};
    case VT_I2: return Value{static_cast<std::int16_t>(V_I2(v))};
    case VT_I4: return Value{static_cast<std::int32_t>(V_I4(v))};
    case VT_R4: return Value{V_R4(v)};
    case VT_R8: return Value{V_R8(v)};
    case VT_BSTR: return Value{win::narrow(V_BSTR(v), SysStringLen(V_BSTR(v)))};
    case VT_DISPATCH: {
      if (V_DISPATCH(v) == nullptr) return Value{ObjectRef{}};
      return Value{ObjectRef{std::make_shared<DispatchObject>(V_DISPATCH(v), link)}};
    }
    case VT_UNKNOWN: {
      if (V_UNKNOWN(v) == nullptr) return Value{ObjectRef{}};
      auto dispatch = win::ComPtr<IUnknown>(V_UNKNOWN(v)).query<IDispatch>(IID_IDispatch);
      if (!dispatch) throw HostError(Failure::TypeMismatch, "the object cannot be reached late-bound");
      return Value{ObjectRef{std::make_shared<DispatchObject>(dispatch.get(), link)}};
    }
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_INT: {
      ScopedVariant i4;
      if (FAILED(VariantChangeType(i4.ptr(), const_cast<VARIANT*>(v), 0, VT_I4))) throw HostError(Failure::Overflow, "integer out of range");
      return Value{static_cast<std::int32_t>(V_I4(&i4.get()))};
    }
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL: {
      ScopedVariant r8;
      if (FAILED(VariantChangeType(r8.ptr(), const_cast<VARIANT*>(v), 0, VT_R8))) throw HostError(Failure::Overflow, "number out of range");
      return Value{V_R8(&r8.get())};
    }
    default:
      throw HostError(Failure::TypeMismatch, "a value of VARIANT type " + std::to_string(V_VT(v)) + " is not supported");
  }
}

void toVariant(const Value& value, VARIANT* out) {
  // What `out` held goes first; the new value is built aside and handed over whole.
  ScopedVariant made;
  VARIANT* v = made.ptr();
  switch (typeOf(value)) {
    case ValueType::Empty: break;
    case ValueType::Bool:
      V_VT(v) = VT_BOOL;
      V_BOOL(v) = std::get<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case ValueType::I16:
      V_VT(v) = VT_I2;
      V_I2(v) = std::get<std::int16_t>(value);
      break;
    case ValueType::I32:
      V_VT(v) = VT_I4;
      V_I4(v) = static_cast<LONG>(std::get<std::int32_t>(value));
      break;
    case ValueType::F32:
      V_VT(v) = VT_R4;
      V_R4(v) = std::get<float>(value);
      break;
    case ValueType::F64:
      V_VT(v) = VT_R8;
      V_R8(v) = std::get<double>(value);
      break;
    case ValueType::Str:
      V_BSTR(v) = win::ScopedBstr(win::widen(std::get<std::string>(value))).release();
      V_VT(v) = VT_BSTR;
      break;
    case ValueType::Object: {
      const ObjectRef& object = std::get<ObjectRef>(value);
      IDispatch* dispatch = nullptr;
      if (object != nullptr) {
        auto* late = dynamic_cast<DispatchObject*>(object.get());
        if (late == nullptr) throw HostError(Failure::TypeMismatch, "the object cannot be passed to the host");
        dispatch = win::ComPtr<IDispatch>(late->dispatch()).detach();
      }
      V_VT(v) = VT_DISPATCH;
      V_DISPATCH(v) = dispatch;
      break;
    }
  }
  ScopedVariant old;
  *old.ptr() = *out;
  *out = made.release();
}

}  // namespace tolvane::host::dispatch
