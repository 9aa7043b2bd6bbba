// Plays a scenario on the demo host's real form: the same scenario files and the same trace and
// state formats as the model form's player, with real windows underneath. The form's size steps
// really size, minimise and restore the window; the screen is the real one.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/scenario.h"
#include "app/step_driver.h"
#include "demohost/host_form.h"

namespace tolvane::demohost {

class DemoPlayer final : private app::StepDriver {
 public:
  explicit DemoPlayer(const app::Scenario& scenario, FormOptions options = {});

  // Plays step i; its writes go to `trace` and its paint statistics (formatPaint) to `paint`.
  void playStep(std::size_t i, std::ostream* trace = nullptr, std::ostream* paint = nullptr);
  std::size_t stepCount() const { return scenario_.steps.size(); }
  void printState(std::ostream& out) const;

  HostForm& form() { return *form_; }
  model::Recorder& recorder() { return recorder_; }

 private:
  void play(const app::LoadStep& step) override;
  void play(const app::ResizeStep& step) override;
  void play(const app::MinimizeStep& step) override;
  void play(const app::RestoreStep& step) override;
  void play(const app::MaximizeStep& step) override;
  void play(const app::SetStep& step) override;
  void play(const app::CallStep& step) override;
  void play(const app::FailStep& step) override;
  void play(const app::ScreenStep& step) override;
  void failed(const std::string& object, const std::string& what, const std::string& error);

  app::Scenario scenario_;
  model::Recorder recorder_;
  std::unique_ptr<HostForm> form_;
  std::size_t printed_ = 0;
};

// One line of paint statistics:
//   paint step=N relayout_ms=X moves=M intermediate_erases=E paints=P
std::string formatPaint(std::size_t step, const StepPaint& paint);

}  // namespace tolvane::demohost
