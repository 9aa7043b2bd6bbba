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

  // Plays step i (from 0). The model's write log then holds the writes of this step only, so a long
  // play keeps no more than one step's. With `trace`, prints `# step N: ...` and then those writes.
  void playStep(std::size_t i, std::ostream* trace = nullptr);
  // Plays every step. Without `trace` nothing reads the writes, and none are logged.
  void playAll(std::ostream* trace = nullptr);

  std::size_t stepCount() const { return scenario_.steps.size(); }
  const Scenario& scenario() const { return scenario_; }
  model::ModelWorld& world() { return world_; }
  const model::ModelWorld& world() const { return world_; }
  // The control named `name`, or nullptr when there is none or the host has released it.
  Tolvane* control(const std::string& name);
  model::ModelSite* site(const std::string& name);

  // One line on the failures that went back to the host (event handlers, calls) so far, or empty
  // when there were none: how many, of what, and the first one's message.
  // Keeps that tally for the whole play, also when no trace is printed (which otherwise records
  // nothing); call before playing.
  void countHostFailures() { countFailures_ = true; }
  std::string hostFailureSummary() const;

  // The host drops its reference to the control (its site stays). A call of the control's that is
  // running keeps it until it returns; steps that name it afterwards fail as on a released object.
  void release(const std::string& name);

  // The final table: `name left top width height font visible`, one row per control.
  void printState(std::ostream& out) const;

 private:
  struct Placed {
    std::string name;
    std::unique_ptr<model::ModelSite> site;
    std::shared_ptr<Tolvane> control;
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
  bool countFailures_ = false;
  std::vector<model::Write> hostFailures_;  // every failure that went back to the host, in order
};

}  // namespace tolvane::app
