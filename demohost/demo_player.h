// Plays a scenario on the demo host's real form: the same scenario files and the same trace and
// state formats as the model form's player, with real windows underneath. The form's size steps
// really size, minimise and restore the window; the screen is the real one.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/scenario.h"
#include "demohost/host_form.h"

namespace tolvane::demohost {

class DemoPlayer {
 public:
  explicit DemoPlayer(const app::Scenario& scenario, FormOptions options = {});

  void playStep(std::size_t i, std::ostream* trace = nullptr);
  std::size_t stepCount() const { return scenario_.steps.size(); }
  void printState(std::ostream& out) const;

  HostForm& form() { return *form_; }
  model::Recorder& recorder() { return recorder_; }

 private:
  void apply(const app::Step& step);
  void failed(const std::string& object, const std::string& what, const std::string& error);

  app::Scenario scenario_;
  model::Recorder recorder_;
  std::unique_ptr<HostForm> form_;
  std::size_t printed_ = 0;
};

}  // namespace tolvane::demohost
