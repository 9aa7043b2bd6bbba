#include "hostmodel/dispatch/invoke_on.h"

#include <array>
#include <type_traits>

#include "hostmodel/dispatch/variant.h"
#include "win/error_boundary.h"
#include "win/host_failure.h"

namespace tolvane::host::dispatch {

HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value,
                 const wchar_t* source, EXCEPINFO* exception) {
  // The arguments live on the stack: an Invoke allocates nothing for them.
  if (params.cArgs > kMaxInvokeArguments) return DISP_E_BADPARAMCOUNT;
  std::array<Value, kMaxInvokeArguments> held;
  const std::span<Value> args(held.data(), params.cArgs);
  for (UINT i = 0; i < params.cArgs; ++i) args[i] = fromVariant(params.rgvarg[params.cArgs - 1 - i]);
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
