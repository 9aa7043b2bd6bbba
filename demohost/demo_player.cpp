#include "demohost/demo_player.h"

#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/model/trace.h"

namespace tolvane::demohost {

DemoPlayer::DemoPlayer(const app::Scenario& scenario, FormOptions options) : scenario_(scenario) {
  options.userMode = scenario_.userMode;
  form_ = std::make_unique<HostForm>(scenario_.form, recorder_, options);
}

void DemoPlayer::failed(const std::string& object, const std::string& what, const std::string& error) {
  recorder_.recordFailure(object, what, error);
}

void DemoPlayer::apply(const app::Step& step) {
  HostForm& form = *form_;
  if (std::holds_alternative<app::LoadStep>(step)) {
    // The host loads the control (its ReadProperties attaches it), then raises the form's Load.
    form.loadControl();
    form.raiseLoad();
  } else if (const auto* resize = std::get_if<app::ResizeStep>(&step)) {
    form.resizeTo(resize->width, resize->height);
  } else if (std::holds_alternative<app::MinimizeStep>(step)) {
    form.minimize();
  } else if (std::holds_alternative<app::RestoreStep>(step)) {
    form.restore();
  } else if (std::holds_alternative<app::MaximizeStep>(step)) {
    // A real window is maximised to the screen's work area; a size the scenario gives is not used.
    form.maximize();
  } else if (const auto* set = std::get_if<app::SetStep>(&step)) {
    try {
      if (set->object == form.controlName() && app::isControlProperty(set->member)) {
        if (form.control() == nullptr) throw host::HostError(host::Failure::NotAttached, set->object + " is not loaded");
        host::dispatch::DispatchObject(form.control()).put(set->member, set->value);
      } else {
        form.setDirect(set->object, set->member, set->value);
      }
    } catch (const host::HostError& e) {
      failed(set->object, "set " + set->member, e.what());
    }
  } else if (const auto* call = std::get_if<app::CallStep>(&step)) {
    try {
      if (form.control() == nullptr) throw host::HostError(host::Failure::NotAttached, call->object + " is not loaded");
      host::dispatch::DispatchObject(form.control()).call(call->method, {});
    } catch (const host::HostError& e) {
      failed(call->object, call->method, e.what());
    }
  } else if (const auto* fail = std::get_if<app::FailStep>(&step)) {
    recorder_.failOn(fail->object, fail->member, fail->op);
  } else if (std::holds_alternative<app::ScreenStep>(step)) {
    failed("Screen", "set", "the demo host plays on the real screen, whose metrics a scenario cannot change");
  }
  HostForm::pump();
}

void DemoPlayer::playStep(std::size_t i, std::ostream* trace) {
  const app::Step& step = scenario_.steps.at(i);
  apply(step);
  if (trace != nullptr) {
    *trace << "# step " << i + 1 << ": " << app::describe(step) << '\n';
    const auto& writes = recorder_.writes;
    for (; printed_ < writes.size(); ++printed_) *trace << model::formatWrite(writes[printed_]) << '\n';
  }
  printed_ = recorder_.writes.size();
}

void DemoPlayer::printState(std::ostream& out) const {
  out << model::formatStateHeader() << '\n';
  for (const model::StateRow& row : form_->state()) out << model::formatStateRow(row) << '\n';
}

}  // namespace tolvane::demohost
