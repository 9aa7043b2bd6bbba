#include "hostmodel/host.h"

#include <string>

#include "hostmodel/convert.h"

namespace tolvane::host {

Value Object::item(const Value&) {
  throw HostError(Failure::MissingMember, "object is not a collection");
}

FormRef Object::asForm() {
  throw HostError(Failure::TypeMismatch, "type mismatch: the parent is not a form");
}

ObjectRef Object::object(std::string_view member) {
  return convert::toObject(get(member));
}

}  // namespace tolvane::host
