// One dispatch of a scenario's steps for every player: a player is a StepDriver with one `play` for
// each kind of step, and playOn picks the one the step needs.
#pragma once

#include <variant>

#include "app/scenario.h"

namespace tolvane::app {

class StepDriver {
 public:
  // The host loads the control (its ReadProperties attaches it), then raises the form's Load.
  virtual void play(const LoadStep& step) = 0;
  virtual void play(const ResizeStep& step) = 0;
  virtual void play(const MinimizeStep& step) = 0;
  virtual void play(const RestoreStep& step) = 0;
  virtual void play(const MaximizeStep& step) = 0;
  virtual void play(const SetStep& step) = 0;
  virtual void play(const CallStep& step) = 0;
  virtual void play(const FailStep& step) = 0;
  virtual void play(const ScreenStep& step) = 0;

 protected:
  ~StepDriver() = default;
};

inline void playOn(StepDriver& driver, const Step& step) {
  std::visit([&driver](const auto& kind) { driver.play(kind); }, step);
}

}  // namespace tolvane::app
