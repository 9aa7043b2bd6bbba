#include "demohost/demo_player.h"

#include <cstdio>

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

void DemoPlayer::play(const app::LoadStep&) {
  form_->loadControl();
  form_->raiseLoad();
}

void DemoPlayer::play(const app::ResizeStep& resize) { form_->resizeTo(resize.width, resize.height); }
void DemoPlayer::play(const app::MinimizeStep&) { form_->minimize(); }
void DemoPlayer::play(const app::RestoreStep&) { form_->restore(); }
// A real window is maximised to the screen's work area; a size the scenario gives is not used.
void DemoPlayer::play(const app::MaximizeStep&) { form_->maximize(); }

void DemoPlayer::play(const app::SetStep& set) {
  HostForm& form = *form_;
  try {
    if (set.object == form.controlName() && app::isControlProperty(set.member)) {
      if (form.control() == nullptr) throw host::HostError(host::Failure::NotAttached, set.object + " is not loaded");
      host::dispatch::DispatchObject(form.control()).put(set.member, set.value);
    } else {
      form.setDirect(set.object, set.member, set.value);
    }
  } catch (const host::HostError& e) {
    failed(set.object, "set " + set.member, e.what());
  }
}

void DemoPlayer::play(const app::CallStep& call) {
  try {
    if (form_->control() == nullptr) throw host::HostError(host::Failure::NotAttached, call.object + " is not loaded");
    form_->callControl(call.method);
  } catch (const host::HostError& e) {
    failed(call.object, call.method, e.what());
  }
}

void DemoPlayer::play(const app::FailStep& fail) { recorder_.failOn(fail.object, fail.member, fail.op); }

void DemoPlayer::play(const app::ScreenStep&) {
  failed("Screen", "set", "the demo host plays on the real screen, whose metrics a scenario cannot change");
}

void DemoPlayer::playStep(std::size_t i, std::ostream* trace, std::ostream* paint) {
  const app::Step& step = scenario_.steps.at(i);
  form_->paintStats().newStep();
  app::playOn(*this, step);
  HostForm::pump();
  if (trace != nullptr) {
    *trace << "# step " << i + 1 << ": " << app::describe(step) << '\n';
    const auto& writes = recorder_.writes;
    for (; printed_ < writes.size(); ++printed_) *trace << model::formatWrite(writes[printed_]) << '\n';
  }
  printed_ = recorder_.writes.size();
  if (paint != nullptr) *paint << formatPaint(i + 1, form_->paintStats().step()) << '\n';
}

std::string formatPaint(std::size_t step, const StepPaint& paint) {
  char line[160];
  std::snprintf(line, sizeof line, "paint step=%zu relayout_ms=%.2f moves=%d intermediate_erases=%d paints=%d", step,
                paint.relayoutMs, paint.moves, paint.intermediateErases, paint.paints);
  return line;
}

void DemoPlayer::printState(std::ostream& out) const {
  out << model::formatStateHeader() << '\n';
  for (const model::StateRow& row : form_->state()) out << model::formatStateRow(row) << '\n';
}

}  // namespace tolvane::demohost
