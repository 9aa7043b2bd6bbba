#include "hostmodel/dispatch/dispatch_object.h"

#include <oleauto.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "hostmodel/dispatch/variant.h"
#include "win/excep_info.h"
#include "win/host_failure.h"
#include "win/scoped_variant.h"
#include "win/scoped_variants.h"
#include "win/text.h"

namespace tolvane::host::dispatch {

namespace {

// Member names are short and told apart in place: under Wine the C library's memcmp is a byte
// loop behind a call, which costs more than the comparison itself.
bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

Outcome<DISPID> DispatchObject::idOf(std::string_view member) {
  if (link_ && link_->cut()) return ContainerLink::refusal(member);
  for (const auto& [name, id] : ids_) {
    if (sameName(name, member)) return id;
  }
  std::wstring name = win::widen(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    return Fault{hr == DISP_E_UNKNOWNNAME ? Failure::MissingMember : win::failureKind(hr),
                 "the object has no member " + std::string(member), static_cast<std::int32_t>(hr)};
  }
  ids_.emplace_back(std::string(member), id);
  return id;
}

Status DispatchObject::invoke(DISPID id, std::string_view member, WORD flags, std::span<const Value> args,
                              VARIANT* result) {
  if (link_ && link_->cut()) return ContainerLink::refusal(member);
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
  if (FAILED(hr)) return Fault::of(win::failureOf(hr, &exception.filled(hr), member));
  return Done{};
}

Outcome<Value> DispatchObject::valueOf(const VARIANT& variant) const {
  // A VARIANT of a type the host model has no value for is a failure of the call like any other.
  try {
    return fromVariant(variant, link_);
  } catch (const HostError& error) {
    return Fault::of(error);
  }
}

Outcome<Value> DispatchObject::tryGet(std::string_view member) {
  Outcome<DISPID> id = idOf(member);
  if (!id.ok()) return id.fault();
  win::ScopedVariant result;
  if (Status done = invoke(id.value(), member, DISPATCH_PROPERTYGET, {}, result.ptr()); !done.ok()) return done.fault();
  const VARIANT& read = result.get();
  auto last = std::find_if(returned_.begin(), returned_.end(), [&](const auto& kept) { return kept.first == id.value(); });
  if (V_VT(&read) != VT_DISPATCH || V_DISPATCH(&read) == nullptr) {
    if (last != returned_.end()) returned_.erase(last);
    return valueOf(read);
  }
  if (last == returned_.end()) last = returned_.emplace(returned_.end(), id.value(), nullptr);
  if (!last->second || last->second->dispatch() != V_DISPATCH(&read)) {
    last->second = std::make_shared<DispatchObject>(V_DISPATCH(&read), link_);
  }
  return Value{ObjectRef{last->second}};
}

Status DispatchObject::tryPut(std::string_view member, const Value& value) {
  Outcome<DISPID> id = idOf(member);
  if (!id.ok()) return id.fault();
  return invoke(id.value(), member, DISPATCH_PROPERTYPUT, std::span<const Value>(&value, 1), nullptr);
}

Status DispatchObject::tryCall(std::string_view method, std::span<const Value> args) {
  Outcome<DISPID> id = idOf(method);
  if (!id.ok()) return id.fault();
  win::ScopedVariant ignored;
  return invoke(id.value(), method, DISPATCH_METHOD, args, ignored.ptr());
}

Outcome<Value> DispatchObject::tryItem(const Value& index) {
  win::ScopedVariant result;
  if (Status done = invoke(DISPID_VALUE, "Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::span<const Value>(&index, 1),
                           result.ptr());
      !done.ok()) {
    return done.fault();
  }
  return valueOf(result.get());
}

}  // namespace tolvane::host::dispatch
