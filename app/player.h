// Plays a scenario on the model form: one Tolvane object for every control of kind "Tolvane",
// wired to the form's events and to its own extender, then the steps in order.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/scenario.h"
#include "app/step_driver.h"
#include "control/tolvane.h"
#include "hostmodel/model/model_form.h"

namespace tolvane::app {

class Player final : private StepDriver {
 public:
  explicit Player(const Scenario& scenario);
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Plays step i (from 0). With `trace`, prints `# step N: ...` and then every write it caused.
  void playStep(std::size_t i, std::ostream* trace = nullptr);
  void playAll(std::ostream* trace = nullptr);

  std::size_t stepCount() const { return scenario_.steps.size(); }
  const Scenario& scenario() const { return scenario_; }
  model::ModelWorld& world() { return world_; }
  const model::ModelWorld& world() const { return world_; }
  Tolvane* control(const std::string& name);
  model::ModelSite* site(const std::string& name);

  // The final table: `name left top width height font visible`, one row per control.
  void printState(std::ostream& out) const;

 private:
  struct Placed {
    std::string name;
    std::unique_ptr<model::ModelSite> site;
    std::unique_ptr<Tolvane> control;
  };

  Placed* placed(const std::string& name);
  void play(const LoadStep& step) override;
  void play(const ResizeStep& step) override;
  void play(const MinimizeStep& step) override;
  void play(const RestoreStep& step) override;
  void play(const MaximizeStep& step) override;
  void play(const SetStep& step) override;
  void play(const CallStep& step) override;
  void play(const FailStep& step) override;
  void play(const ScreenStep& step) override;
  void failed(const std::string& object, const std::string& what, const host::HostError& error);

  Scenario scenario_;
  model::ModelWorld world_;
  std::vector<Placed> placed_;
  std::size_t printed_ = 0;
};

}  // namespace tolvane::app
