// The demo host's objects as its forms engine exposes them to controls: C++ objects with the host
// model's get/put/call, reached through IDispatch by name. Values cross as VARIANTs of their own
// type; a HostError becomes DISP_E_EXCEPTION with its text in EXCEPINFO.
#pragma once

#include <oaidl.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostmodel/host.h"
#include "win/untyped_dispatch.h"
#include "win/com_ptr.h"

namespace tolvane::demohost {

using win::ComPtr;

class Exposed : public host::Object {
 public:
  // Whether the object has a member of that name (GetIDsOfNames answers from this).
  virtual bool has(std::string_view member) const = 0;
  // Whether the object has a default member taking an index (`Controls(i)`).
  virtual bool indexed() const { return false; }
};

class ExposedDispatch : public win::UntypedDispatch<IDispatch> {
 public:
  explicit ExposedDispatch(std::shared_ptr<Exposed> object) : object_(std::move(object)) {}

  // A new adapter with one reference, which the caller owns.
  static ComPtr<IDispatch> expose(std::shared_ptr<Exposed> object);

  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

 protected:
  ~ExposedDispatch() override = default;
  Exposed& object() const { return *object_; }

 private:
  std::shared_ptr<Exposed> object_;
  std::vector<std::string> names_;  // DISPID n is names_[n - 1]
};

// A value that carries `dispatch` as an object, as a get returns it.
host::Value objectValue(IDispatch* dispatch);

// An adapter that reads hand out (a control, its font, the extender's Parent), with the value a
// read returns for it made once, so that a read allocates nothing.
class Handed {
 public:
  Handed() = default;
  explicit Handed(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)), value_(objectValue(dispatch_.get())) {}

  IDispatch* get() const { return dispatch_.get(); }
  explicit operator bool() const { return static_cast<bool>(dispatch_); }
  const host::Value& value() const { return value_; }
  void reset() {
    value_ = host::Value{};
    dispatch_.reset();
  }

 private:
  ComPtr<IDispatch> dispatch_;
  host::Value value_;
};

}  // namespace tolvane::demohost
