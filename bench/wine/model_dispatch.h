// The model form reached late-bound: every object of a model form (the form, its controls, their
// fonts, the Controls collection) exposed through IDispatch, the form also with the demo host's
// class information and the connection point of its Load and Resize. Behind the adapters are the
// very objects the model path lays out, so the difference between the two paths is the binding:
// names to DISPIDs, VARIANTs, Invoke and the errors' EXCEPINFO, on both sides of the call.
//
// Member identifiers are assigned once per name for all objects, as a host whose objects share a
// type library numbers them. The adapters count the GetIDsOfNames and Invoke calls they answer.
#pragma once

#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "win/com_ptr.h"
#include "hostmodel/host.h"

namespace tolvane::bench {

using win::ComPtr;

struct CallCounts {
  std::uint64_t names = 0;    // GetIDsOfNames calls
  std::uint64_t invokes = 0;  // Invoke calls
};

class Exposer {
 public:
  // `formClass` is read from the type library in this program's resources.
  explicit Exposer(const CLSID& formClass);
  ~Exposer();
  Exposer(const Exposer&) = delete;
  Exposer& operator=(const Exposer&) = delete;

  // The adapter of `object` (the same one for the object's whole life here), with a reference
  // for the caller. A form gets the form's adapter.
  ComPtr<IDispatch> expose(const host::ObjectRef& object);

  DISPID idOf(const wchar_t* name);
  // The name of an identifier this exposer gave, or null.
  const std::string* nameOf(DISPID id) const;
  ITypeInfo* formClass() const { return formClass_.get(); }

  CallCounts counts;

 private:
  std::unordered_map<host::Object*, ComPtr<IDispatch>> adapters_;
  std::unordered_map<std::wstring, DISPID> ids_;
  std::vector<std::string> names_;  // DISPID n is names_[n - 1]
  ComPtr<ITypeInfo> formClass_;
};

}  // namespace tolvane::bench
