// The host model over late-bound COM objects: every member is reached by name through
// GetIDsOfNames and Invoke, with the value's own VARIANT type, and every failing call becomes a
// HostError carrying the HRESULT and the text the object gave.
#pragma once

#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "hostmodel/dispatch/com_ref.h"
#include "hostmodel/host.h"

namespace tolvane::host::dispatch {

class DispatchObject : public Object {
 public:
  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}

  Value get(std::string_view member) override;
  void put(std::string_view member, const Value& value) override;
  void call(std::string_view method, std::span<const Value> args) override;
  // The default member (DISPID_VALUE) with the index as its one argument.
  Value item(const Value& index) override;

  // A form when the object's class has a default source interface with Load and Resize that can be
  // advised through its connection point; otherwise a TypeMismatch.
  FormRef asForm() override;

  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  DISPID idOf(std::string_view member);
  Value invoke(DISPID id, std::string_view member, WORD flags, std::span<const Value> args);
  // The call itself; `result` (initialised) receives the returned VARIANT unless it is a store.
  void invokeRaw(DISPID id, std::string_view member, WORD flags, std::span<const Value> args, VARIANT* result);

  ComRef<IDispatch> dispatch_;
  // Member identifiers are fixed for an object's life, so each name is looked up once; found by
  // the name as given, without making a string of it.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
  };
  std::unordered_map<std::string, DISPID, NameHash, std::equal_to<>> ids_;
  // The object each property last returned, with its own identifiers: a property that returns the
  // same object again (a control's Font) gives back the same wrapper. The wrapper holds its
  // reference, so the pointer cannot have been reused by another object meanwhile. Only wrappers
  // of objects this one returned are kept, so no wrapper keeps itself alive.
  std::unordered_map<DISPID, std::shared_ptr<DispatchObject>> returned_;
};

// A form reached late-bound: its members through its IDispatch, its Load and Resize through the
// connection point of its default source interface.
class DispatchForm final : public Form, public std::enable_shared_from_this<DispatchForm> {
 public:
  DispatchForm(IDispatch* dispatch, IConnectionPoint* events, const IID& source, DISPID load, DISPID resize);

  Value get(std::string_view member) override { return object_.get(member); }
  void put(std::string_view member, const Value& value) override { object_.put(member, value); }
  void call(std::string_view method, std::span<const Value> args) override { object_.call(method, args); }
  Value item(const Value& index) override { return object_.item(index); }
  FormRef asForm() override { return shared_from_this(); }

  // Advises an event sink that runs `sink`'s handlers; dropping the subscription unadvises it and
  // detaches the sink, so that an event the form is still delivering reaches nobody.
  Subscription advise(FormEvents& sink) override;

  IDispatch* dispatch() const { return object_.dispatch(); }

 private:
  DispatchObject object_;
  ComRef<IConnectionPoint> events_;
  IID source_;
  DISPID load_;
  DISPID resize_;
};

// Conversions between values and VARIANTs; a value that has no VARIANT form, or a VARIANT that is
// no value the host model knows, is a TypeMismatch.
Value fromVariant(const VARIANT& variant);
void toVariant(const Value& value, VARIANT* out);  // `out` must be initialised (VT_EMPTY)

// The failure of a call: the HRESULT (the exception's own when the object raised one) and its text.
HostError failureOf(HRESULT hr, const EXCEPINFO* exception, std::string_view what);

// The HRESULT that reports a host failure to a COM caller: the platform's own code where the
// failure came from the platform, otherwise the run-time error an automation client knows.
HRESULT hresultOf(const HostError& error) noexcept;

// Fills `exception` (when the caller gave one) for a failure of `source` and returns the HRESULT
// an Invoke answers with: DISP_E_EXCEPTION with EXCEPINFO, the failure's own HRESULT without.
HRESULT exceptionOf(const HostError& error, const wchar_t* source, EXCEPINFO* exception) noexcept;

// The body of an IDispatch::Invoke run so that no C++ exception leaves it: a host failure becomes
// DISP_E_EXCEPTION with its text in EXCEPINFO (from `source`), a failed allocation E_OUTOFMEMORY,
// anything else E_UNEXPECTED.
template <class Body>
HRESULT guardedInvoke(const wchar_t* source, EXCEPINFO* exception, Body&& body) noexcept {
  try {
    return body();
  } catch (const HostError& error) {
    return exceptionOf(error, source, exception);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// What an Invoke asks of a host-model object, by `flags`: its default member with the index (`name`
// null), a store, a read or a call. The arguments are taken as COM passes them, last first. S_OK with
// the value read (empty after a store or a call), or DISP_E_BADPARAMCOUNT / DISP_E_MEMBERNOTFOUND; a
// host failure is thrown to the caller.
HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value);

std::wstring widen(std::string_view utf8);
std::string narrow(const wchar_t* text, std::size_t length);

}  // namespace tolvane::host::dispatch
