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

namespace {

// Runs one throwing operation and returns its HostError instead.
template <class Operation>
auto caught(Operation&& operation) -> Outcome<decltype(operation())> {
  try {
    return operation();
  } catch (const HostError& error) {
    return Fault::of(error);
  }
}

}  // namespace

Outcome<Value> Object::tryGet(std::string_view member) {
  return caught([&] { return get(member); });
}

Status Object::tryPut(std::string_view member, const Value& value) {
  return caught([&] {
    put(member, value);
    return Done{};
  });
}

Status Object::tryCall(std::string_view method, std::span<const Value> args) {
  return caught([&] {
    call(method, args);
    return Done{};
  });
}

Outcome<Value> Object::tryItem(const Value& index) {
  return caught([&] { return item(index); });
}

ObjectRef Object::object(std::string_view member) {
  return convert::toObject(get(member));
}

}  // namespace tolvane::host
