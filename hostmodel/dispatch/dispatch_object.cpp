#include "hostmodel/dispatch/dispatch_object.h"

#include <oleauto.h>

#include <memory>
#include <vector>

#include "hostmodel/dispatch/variant.h"
#include "win/excep_info.h"
#include "win/host_failure.h"
#include "win/scoped_variant.h"
#include "win/scoped_variants.h"
#include "win/text.h"

namespace tolvane::host::dispatch {

DISPID DispatchObject::idOf(std::string_view member) {
  if (link_) link_->check(member);
  if (const auto cached = ids_.find(member); cached != ids_.end()) return cached->second;
  std::wstring name = win::widen(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    throw HostError(hr == DISP_E_UNKNOWNNAME ? Failure::MissingMember : win::failureKind(hr),
                    "the object has no member " + std::string(member), static_cast<std::int32_t>(hr));
  }
  ids_.emplace(std::string(member), id);
  return id;
}

Value DispatchObject::invoke(DISPID id, std::string_view member, WORD flags, std::span<const Value> args) {
  win::ScopedVariant result;
  invokeRaw(id, member, flags, args, result.ptr());
  return fromVariant(result.get(), link_);
}

void DispatchObject::invokeRaw(DISPID id, std::string_view member, WORD flags, std::span<const Value> args,
                               VARIANT* result) {
  if (link_) link_->check(member);
  // Arguments go in reverse order. Most calls have one or none: those take no allocation.
  constexpr std::size_t kLocal = 4;
  VARIANT local[kLocal];
  std::vector<VARIANT> more(args.size() > kLocal ? args.size() : 0);
  VARIANT* const arguments = args.size() > kLocal ? more.data() : local;
  const win::ScopedVariants cleared(arguments, args.size());
  for (std::size_t i = 0; i < args.size(); ++i) toVariant(args[i], &arguments[args.size() - 1 - i]);

  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = args.empty() ? nullptr : arguments;
  params.cArgs = static_cast<UINT>(args.size());
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  win::ExcepInfo exception;
  UINT argError = 0;
  const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       (flags & DISPATCH_PROPERTYPUT) != 0 ? nullptr : result, exception.receive(),
                                       &argError);
  if (FAILED(hr)) throw win::failureOf(hr, &exception.filled(hr), member);
}

Value DispatchObject::get(std::string_view member) {
  const DISPID id = idOf(member);
  win::ScopedVariant result;
  invokeRaw(id, member, DISPATCH_PROPERTYGET, {}, result.ptr());
  const VARIANT& read = result.get();
  if (V_VT(&read) != VT_DISPATCH || V_DISPATCH(&read) == nullptr) {
    returned_.erase(id);
    return fromVariant(read, link_);
  }
  auto& last = returned_[id];
  if (!last || last->dispatch() != V_DISPATCH(&read)) last = std::make_shared<DispatchObject>(V_DISPATCH(&read), link_);
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

}  // namespace tolvane::host::dispatch
