#include "hostmodel/dispatch/invoke_on.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

#include "hostmodel/dispatch/variant.h"
#include "win/error_boundary.h"
#include "win/host_failure.h"

namespace tolvane::host::dispatch {

namespace {

// The arguments of one Invoke as values, first first, on the stack: an Invoke allocates nothing
// for them, and only as many values are made as were passed (most calls pass one or none).
class Arguments {
 public:
  Arguments() = default;
  ~Arguments() {
    for (UINT i = 0; i < count_; ++i) std::destroy_at(slot(i));
  }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  // At most kMaxInvokeArguments. An argument that cannot be read throws; the values made before
  // it go when the Arguments do.
  void read(const DISPPARAMS& params) {
    for (; count_ < params.cArgs; ++count_) {
      new (&slots_[count_]) Value(fromVariant(params.rgvarg[params.cArgs - 1 - count_]));
    }
  }
  std::span<const Value> values() {
    if (count_ == 0) return {};
    return {slot(0), count_};
  }

 private:
  struct alignas(Value) Slot {
    std::byte bytes[sizeof(Value)];
  };
  Value* slot(UINT i) { return std::launder(reinterpret_cast<Value*>(&slots_[i])); }

  Slot slots_[kMaxInvokeArguments];
  UINT count_ = 0;
};

}  // namespace

HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value,
                 const wchar_t* source, EXCEPINFO* exception) {
  if (params.cArgs > kMaxInvokeArguments) return DISP_E_BADPARAMCOUNT;
  Arguments held;
  held.read(params);
  const std::span<const Value> args = held.values();
  value = Value{};
  const auto answer = [&](auto&& outcome) {
    if (!outcome.ok()) {
      const Fault& fault = outcome.fault();
      return win::fillExcepInfo(win::hresultOf(fault), source, fault.message, exception);
    }
    if constexpr (std::is_same_v<std::decay_t<decltype(outcome.value())>, Value>) value = std::move(outcome.value());
    return S_OK;
  };
  if (name == nullptr) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    return answer(object.tryItem(args.front()));
  }
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    return answer(object.tryPut(*name, args.front()));
  }
  if ((flags & DISPATCH_PROPERTYGET) != 0 && args.empty()) return answer(object.tryGet(*name));
  if ((flags & DISPATCH_METHOD) != 0) return answer(object.tryCall(*name, args));
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace tolvane::host::dispatch
