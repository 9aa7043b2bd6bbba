// A form reached late-bound: its members through its IDispatch, its Load and Resize through the
// connection point of its default source interface.
#pragma once

#include <ocidl.h>

#include <memory>

#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/host.h"
#include "win/com_ptr.h"

namespace tolvane::host::dispatch {

// The default source interface of a class (its events), or empty.
win::ComPtr<ITypeInfo> defaultSource(ITypeInfo* coclass);

class DispatchForm final : public Form, public std::enable_shared_from_this<DispatchForm> {
 public:
  DispatchForm(IDispatch* dispatch, IConnectionPoint* events, const IID& source, DISPID load, DISPID resize,
               ContainerLinkRef link);

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
  win::ComPtr<IConnectionPoint> events_;
  IID source_;
  DISPID load_;
  DISPID resize_;
};

}  // namespace tolvane::host::dispatch
