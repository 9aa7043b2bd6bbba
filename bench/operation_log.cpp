#include "bench/operation_log.h"

namespace tolvane::bench {

namespace {

using host::Fault;
using host::ObjectRef;
using host::Outcome;
using host::Status;
using host::Value;

// A stand-in for one host object: logs each operation, makes it on the object, and hands back
// objects behind stand-ins of their own.
class Tap final : public host::Form {
 public:
  Tap(ObjectRef target, OperationLog& log) : target_(std::move(target)), log_(log) {}

  Value get(std::string_view member) override { return tryGet(member).take(); }
  void put(std::string_view member, const Value& value) override { tryPut(member, value).take(); }
  void call(std::string_view method, std::span<const Value> args) override { tryCall(method, args).take(); }
  Value item(const Value& index) override { return tryItem(index).take(); }

  Outcome<Value> tryGet(std::string_view member) override {
    log_.add(Operation::Kind::Get, target_, member, {});
    return tapped(target_->tryGet(member));
  }
  Status tryPut(std::string_view member, const Value& value) override {
    log_.add(Operation::Kind::Put, target_, member, {&value, 1});
    return target_->tryPut(member, value);
  }
  Status tryCall(std::string_view method, std::span<const Value> args) override {
    log_.add(Operation::Kind::Call, target_, method, args);
    return target_->tryCall(method, args);
  }
  Outcome<Value> tryItem(const Value& index) override {
    log_.add(Operation::Kind::Item, target_, "", {&index, 1});
    return tapped(target_->tryItem(index));
  }

  host::FormRef asForm() override {
    target_->asForm();  // a TypeMismatch where the object is no form
    return std::static_pointer_cast<host::Form>(log_.tapped(target_));
  }
  host::Subscription advise(host::FormEvents& sink) override { return target_->asForm()->advise(sink); }

 private:
  Outcome<Value> tapped(Outcome<Value> outcome) {
    if (!outcome.ok()) return outcome;
    return log_.tapped(std::move(outcome.value()));
  }

  ObjectRef target_;
  OperationLog& log_;
};

}  // namespace

void OperationLog::add(Operation::Kind kind, ObjectRef target, std::string_view member, std::span<const Value> values) {
  if (!recording) return;
  operations.push_back({kind, std::move(target), std::string(member), {values.begin(), values.end()}});
}

Value OperationLog::tapped(Value value) {
  if (auto* object = std::get_if<ObjectRef>(&value)) return tapped(*object);
  return value;
}

ObjectRef OperationLog::tapped(const ObjectRef& object) {
  if (object == nullptr) return object;
  auto& standIn = standIns_[object.get()];
  if (standIn == nullptr) standIn = std::make_shared<Tap>(object, *this);
  return standIn;
}

Value TapSite::ambient(std::string_view name) {
  log_.add(Operation::Kind::Ambient, nullptr, name, {});
  return site_.ambient(name);
}

void replay(const std::vector<Operation>& operations, host::Site& site) {
  for (const auto& op : operations) {
    switch (op.kind) {
      case Operation::Kind::Get: op.target->tryGet(op.member); break;
      case Operation::Kind::Put: op.target->tryPut(op.member, op.values[0]); break;
      case Operation::Kind::Call: op.target->tryCall(op.member, op.values); break;
      case Operation::Kind::Item: op.target->tryItem(op.values[0]); break;
      case Operation::Kind::Ambient: site.ambient(op.member); break;
    }
  }
}

}  // namespace tolvane::bench
