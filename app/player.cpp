#include "app/player.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <utility>

#include "hostmodel/model/trace.h"

namespace tolvane::app {

Player::Player(const Scenario& scenario) : scenario_(scenario), world_(scenario.form, scenario.screen) {
  for (const auto& control : world_.form->controls()) {
    if (control->kind() != "Tolvane") continue;
    Placed placed{control->name(),
                  std::make_unique<model::ModelSite>(world_.recorder, control, world_.screen, scenario_.userMode),
                  nullptr};
    placed.control = std::make_shared<Tolvane>(*placed.site);
    control->onResize = [tolvane = std::weak_ptr<Tolvane>(placed.control)] {
      if (const auto alive = tolvane.lock()) alive->UserControl_Resize();
    };
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

void Player::release(const std::string& name) {
  if (Placed* found = placed(name)) found->control.reset();
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
    if (placed.control == nullptr) continue;  // released
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
    } else if (const auto control = form.find(set.object)) {
      control->setDirect(set.member, set.value);
    } else {
      throw host::HostError(host::Failure::MissingControl, form.name() + " has no control " + set.object);
    }
  } catch (const host::HostError& e) {
    failed(set.object, "set " + set.member, e);
  }
}

void Player::play(const CallStep& call) {
  Tolvane* tolvane = control(call.object);
  try {
    if (tolvane == nullptr) throw host::HostError(host::Failure::NoValue, "object variable not set");
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
  world_.recorder.writes.clear();
  playOn(*this, step);
  for (const auto& write : world_.recorder.writes) {
    if (write.kind == model::Write::Kind::EventFailure) hostFailures_.push_back(write);
  }
  if (trace != nullptr) {
    *trace << "# step " << i + 1 << ": " << describe(step) << '\n';
    for (const auto& write : world_.recorder.writes) *trace << model::formatWrite(write) << '\n';
  }
}

void Player::playAll(std::ostream* trace) {
  const bool logging = world_.recorder.logging;
  world_.recorder.logging = logging && (trace != nullptr || countFailures_);
  // A trace that can no longer be written ends the play: the caller reports the stream's failure.
  for (std::size_t i = 0; i < stepCount() && (trace == nullptr || *trace); ++i) playStep(i, trace);
  world_.recorder.logging = logging;
}

std::string Player::hostFailureSummary() const {
  std::vector<std::pair<std::string, int>> counts;  // "frmMain.Resize" and how often, first seen first
  const model::Write* first = nullptr;
  bool oneMessage = true;
  int total = 0;
  for (const auto& write : hostFailures_) {
    ++total;
    if (first == nullptr) first = &write;
    oneMessage = oneMessage && write.error == first->error;
    const std::string what = write.object + "." + write.member;
    auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& entry) { return entry.first == what; });
    if (it == counts.end()) {
      counts.emplace_back(what, 1);
    } else {
      ++it->second;
    }
  }
  if (first == nullptr) return {};
  std::ostringstream out;
  out << total << (total == 1 ? " failure" : " failures") << " went back to the host (";
  for (std::size_t i = 0; i < counts.size(); ++i) out << (i == 0 ? "" : ", ") << counts[i].first << " " << counts[i].second;
  out << ")";
  if (oneMessage) {
    out << ": " << first->error;
  } else {
    out << "; the first, " << first->object << "." << first->member << ": " << first->error;
  }
  return out.str();
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
