#include "app/player.h"

#include <optional>

#include "hostmodel/model/trace.h"

namespace tolvane::app {

Player::Player(const Scenario& scenario) : scenario_(scenario), world_(scenario.form, scenario.screen) {
  for (const auto& control : world_.form->controls()) {
    if (control->kind() != "Tolvane") continue;
    Placed placed{control->name(),
                  std::make_unique<model::ModelSite>(world_.recorder, control, world_.screen, scenario_.userMode),
                  nullptr};
    placed.control = std::make_unique<Tolvane>(*placed.site);
    control->onResize = [tolvane = placed.control.get()] { tolvane->UserControl_Resize(); };
    placed_.push_back(std::move(placed));
  }
}

Player::Placed* Player::placed(const std::string& name) {
  for (auto& placed : placed_) {
    if (placed.name == name) return &placed;
  }
  return nullptr;
}

Tolvane* Player::control(const std::string& name) {
  Placed* found = placed(name);
  return found != nullptr ? found->control.get() : nullptr;
}

model::ModelSite* Player::site(const std::string& name) {
  Placed* found = placed(name);
  return found != nullptr ? found->site.get() : nullptr;
}

void Player::failed(const std::string& object, const std::string& what, const host::HostError& error) {
  world_.recorder.recordFailure(object, what, error.what());
}

void Player::play(const LoadStep&) {
  for (auto& placed : placed_) {
    placed.site->setUserMode(scenario_.userMode);
    try {
      placed.control->UserControl_ReadProperties();
    } catch (const host::HostError& e) {
      failed(placed.name, "ReadProperties", e);
    }
  }
  world_.form->raiseLoad();
}

void Player::play(const ResizeStep& resize) { world_.form->resize(resize.width, resize.height); }
void Player::play(const MinimizeStep&) { world_.form->setWindowState(1); }
void Player::play(const RestoreStep&) { world_.form->setWindowState(0); }

void Player::play(const MaximizeStep& maximize) {
  if (maximize.width) world_.form->setSizeDirect(*maximize.width, *maximize.height);
  world_.form->setWindowState(2);
}

void Player::play(const SetStep& set) {
  auto& form = *world_.form;
  Tolvane* tolvane = control(set.object);
  if (tolvane != nullptr && isControlProperty(set.member)) {
    const bool value = std::get<bool>(set.value);
    if (set.member == "ResizeFont") tolvane->ResizeFont(value);
    if (set.member == "KeepRatio") tolvane->KeepRatio(value);
    if (set.member == "gfLowRes") tolvane->gfLowRes(value);
    if (set.member == "mfRebuild") tolvane->mfRebuild(value);
    return;
  }
  try {
    if (set.object == form.name()) {
      form.setDirect(set.member, set.value);
    } else {
      form.find(set.object)->setDirect(set.member, set.value);
    }
  } catch (const host::HostError& e) {
    failed(set.object, "set " + set.member, e);
  }
}

void Player::play(const CallStep& call) {
  Tolvane* tolvane = control(call.object);
  try {
    if (call.method == "Rebuild") {
      tolvane->Rebuild();
    } else {
      tolvane->Refresh();
    }
  } catch (const host::HostError& e) {
    failed(call.object, call.method, e);
  }
}

void Player::play(const FailStep& fail) { world_.recorder.failOn(fail.object, fail.member, fail.op); }
void Player::play(const ScreenStep& screen) { world_.screen->set(screen.screen); }

void Player::playStep(std::size_t i, std::ostream* trace) {
  const Step& step = scenario_.steps.at(i);
  playOn(*this, step);
  if (trace != nullptr) {
    *trace << "# step " << i + 1 << ": " << describe(step) << '\n';
    const auto& writes = world_.recorder.writes;
    for (; printed_ < writes.size(); ++printed_) *trace << model::formatWrite(writes[printed_]) << '\n';
  }
  printed_ = world_.recorder.writes.size();
}

void Player::playAll(std::ostream* trace) {
  for (std::size_t i = 0; i < stepCount(); ++i) playStep(i, trace);
}

void Player::printState(std::ostream& out) const {
  using model::Member;
  out << model::formatStateHeader() << '\n';
  for (const auto& c : world_.form->controls()) {
    const auto column = [&](Member member, double value) { return c->has(member) ? std::optional(value) : std::nullopt; };
    out << model::formatStateRow({c->name(), column(Member::Left, c->left()), column(Member::Top, c->top()),
                                  column(Member::Width, c->width()), column(Member::Height, c->height()),
                                  c->fontSize(), c->has(Member::Visible) ? std::optional(c->visible()) : std::nullopt})
        << '\n';
  }
}

}  // namespace tolvane::app
