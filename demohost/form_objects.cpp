#include "demohost/form_objects.h"

namespace tolvane::demohost {

[[noreturn]] void missingMember(const std::string& object, std::string_view member) {
  throw HostError(Failure::MissingMember, object + " has no member " + std::string(member));
}

bool toBoolean(const Value& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  return toNumber(value) != 0.0;
}

Value FontObject::get(std::string_view member) {
  if (member != "Size") missingMember(path_, member);
  shared_->log().check(path_, member, Op::Get);
  if (owner_ == nullptr) throw HostError(Failure::Platform, "the form is closed");
  return Value{static_cast<float>(owner_->fontSize())};
}

void FontObject::put(std::string_view member, const Value& value) {
  recorded(shared_->log(), Write::Kind::Store, path_, member, {&value, 1}, [&] {
    if (member != "Size") missingMember(path_, member);
    shared_->log().check(path_, member, Op::Set);
    if (owner_ == nullptr) throw HostError(Failure::Platform, "the form is closed");
    owner_->setFontSize(toNumber(value));
  });
}

}  // namespace tolvane::demohost
