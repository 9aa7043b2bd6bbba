#include "hostmodel/dispatch/invoke_on.h"

#include <vector>

#include "hostmodel/dispatch/variant.h"

namespace tolvane::host::dispatch {

HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value) {
  std::vector<Value> args;
  args.reserve(params.cArgs);
  for (UINT i = params.cArgs; i > 0; --i) args.push_back(fromVariant(params.rgvarg[i - 1]));
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
