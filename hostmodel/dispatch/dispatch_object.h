// The host model over late-bound COM objects: every member is reached by name through
// GetIDsOfNames and Invoke, with the value's own VARIANT type, and every failing call becomes a
// host failure carrying the HRESULT and the text the object gave. The non-throwing forms are the
// binding's own; the throwing ones raise what they return.
#pragma once

#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostmodel/dispatch/container_link.h"
#include "hostmodel/host.h"
#include "win/com_ptr.h"

namespace tolvane::host::dispatch {

class DispatchObject : public Object {
 public:
  // `link`, when given, is the link to the control that reached the object through its container;
  // every object reached through this one shares it.
  explicit DispatchObject(IDispatch* dispatch, ContainerLinkRef link = {})
      : dispatch_(dispatch), link_(std::move(link)) {}

  Outcome<Value> tryGet(std::string_view member) override;
  Status tryPut(std::string_view member, const Value& value) override;
  Status tryCall(std::string_view method, std::span<const Value> args) override;
  // The default member (DISPID_VALUE) with the index as its one argument.
  Outcome<Value> tryItem(const Value& index) override;

  Value get(std::string_view member) override { return tryGet(member).take(); }
  void put(std::string_view member, const Value& value) override { tryPut(member, value).take(); }
  void call(std::string_view method, std::span<const Value> args) override { tryCall(method, args).take(); }
  Value item(const Value& index) override { return tryItem(index).take(); }

  // A form when the object's class has a default source interface with Load and Resize that can be
  // advised through its connection point; otherwise a TypeMismatch.
  FormRef asForm() override;

  IDispatch* dispatch() const { return dispatch_.get(); }
  const ContainerLinkRef& link() const { return link_; }

 private:
  Outcome<DISPID> idOf(std::string_view member);
  // The call itself; `result` receives the returned VARIANT unless it is a store.
  Status invoke(DISPID id, std::string_view member, WORD flags, std::span<const Value> args, VARIANT* result);
  // The value of a returned VARIANT.
  Outcome<Value> valueOf(const VARIANT& variant) const;

  win::ComPtr<IDispatch> dispatch_;
  ContainerLinkRef link_;
  // Member identifiers are fixed for an object's life, so each name is looked up once. The control
  // asks an object for a handful of members (a control: its geometry, Font, Visible; the form: its
  // size and the few controls the host rules name), so a short list scanned in order is faster
  // than hashing the name on every call.
  std::vector<std::pair<std::string, DISPID>> ids_;
  // The object each property last returned, with its own identifiers: a property that returns the
  // same object again (a control's Font) gives back the same wrapper. The wrapper holds its
  // reference, so the pointer cannot have been reused by another object meanwhile. Only wrappers
  // of objects this one returned are kept, so no wrapper keeps itself alive.
  std::vector<std::pair<DISPID, std::shared_ptr<DispatchObject>>> returned_;
};

}  // namespace tolvane::host::dispatch
