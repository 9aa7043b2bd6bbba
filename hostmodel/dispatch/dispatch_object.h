// The host model over late-bound COM objects: every member is reached by name through
// GetIDsOfNames and Invoke, with the value's own VARIANT type, and every failing call becomes a
// HostError carrying the HRESULT and the text the object gave.
#pragma once

#include <oaidl.h>

#include <string>
#include <string_view>

#include "hostmodel/dispatch/com_ref.h"
#include "hostmodel/host.h"

namespace tolvane::host::dispatch {

class DispatchObject : public Object {
 public:
  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}

  Value get(std::string_view member) override;
  void put(std::string_view member, const Value& value) override;
  void call(std::string_view method, std::span<const Value> args) override;

  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  DISPID idOf(std::string_view member);
  Value invoke(std::string_view member, WORD flags, std::span<const Value> args);

  ComRef<IDispatch> dispatch_;
};

// Conversions between values and VARIANTs; a value that has no VARIANT form, or a VARIANT that is
// no value the host model knows, is a TypeMismatch.
Value fromVariant(const VARIANT& variant);
void toVariant(const Value& value, VARIANT* out);  // `out` must be initialised (VT_EMPTY)

// The failure of a call: the HRESULT (the exception's own when the object raised one) and its text.
HostError failureOf(HRESULT hr, const EXCEPINFO* exception, std::string_view what);

std::wstring widen(std::string_view utf8);
std::string narrow(const wchar_t* text, std::size_t length);

}  // namespace tolvane::host::dispatch
