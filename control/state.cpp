#include "control/state.h"

#include <new>
#include <string>

#include "hostmodel/convert.h"

namespace tolvane {

void ParentFormRef::assign(host::FormRef form) {
  if (form == nullptr) throw host::HostError(host::Failure::TypeMismatch, "type mismatch: no form");
  // Subscribe before dropping the old subscription, so that re-assigning the same form never leaves
  // it without one.
  host::Subscription subscription = form->advise(sink_);
  if (uses_ > 0 && form_ != nullptr) retired_.push_back(std::move(form_));
  form_ = std::move(form);
  subscription_ = std::move(subscription);
}

host::FormRef ParentFormRef::form() const {
  if (form_ == nullptr) throw host::HostError(host::Failure::NotAttached, "the control has no parent form");
  return form_;
}

ControlInfo& ControlRecords::at(std::size_t i) {
  if (i >= records_.size()) {
    throw host::HostError(host::Failure::SubscriptOutOfRange, "no record " + std::to_string(i));
  }
  return records_[i];
}

void ControlRecords::setControl(std::size_t i, host::ObjectRef ctl) {
  ControlInfo& record = at(i);
  if (locks_ > 0 && record.Ctl != nullptr) retired_.push_back(std::move(record.Ctl));
  record.Ctl = std::move(ctl);
}

void ControlRecords::allocate(std::size_t count) {
  if (locks_ > 0) throw host::HostError(host::Failure::ArrayLocked, "the snapshot is in use");
  try {
    std::vector<ControlInfo> fresh(count);
    records_.swap(fresh);
  } catch (const std::bad_alloc&) {
    throw host::HostError(host::Failure::OutOfMemory, "out of memory for " + std::to_string(count) + " records");
  }
}

PassDepth::PassDepth(TolvaneState& state) : depth_(state.passDepth) {
  if (depth_ >= kMaxPassDepth) {
    throw host::HostError(host::Failure::Platform, "out of stack space", host::kOutOfStackSpace);
  }
  ++depth_;
}

bool userMode(TolvaneState& state) {
  return !host::convert::equalsFalse(state.site.ambient("UserMode"));
}

host::FormRef parentAsForm(TolvaneState& state) {
  return state.site.extender()->object("Parent")->asForm();
}

}  // namespace tolvane
