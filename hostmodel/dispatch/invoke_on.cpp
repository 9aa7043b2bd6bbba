#include "hostmodel/dispatch/invoke_on.h"

#include <array>

#include "hostmodel/dispatch/variant.h"

namespace tolvane::host::dispatch {

HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value) {
  // The arguments live on the stack: an Invoke allocates nothing for them.
  if (params.cArgs > kMaxInvokeArguments) return DISP_E_BADPARAMCOUNT;
  std::array<Value, kMaxInvokeArguments> held;
  const std::span<Value> args(held.data(), params.cArgs);
  for (UINT i = 0; i < params.cArgs; ++i) args[i] = fromVariant(params.rgvarg[params.cArgs - 1 - i]);
  value = Value{};
  if (name == nullptr) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    value = object.item(args.front());
  } else if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    object.put(*name, args.front());
  } else if ((flags & DISPATCH_PROPERTYGET) != 0 && args.empty()) {
    value = object.get(*name);
  } else if ((flags & DISPATCH_METHOD) != 0) {
    object.call(*name, args);
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }
  return S_OK;
}

}  // namespace tolvane::host::dispatch
