// Scenario files: a screen, a form with its controls, the control's settings and a list of steps.
// Shared by the command-line player, the tests and the gallery; the format only grows by optional
// fields.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "hostmodel/model/model_form.h"

namespace tolvane::app {

struct LoadStep {};
struct ResizeStep { double width, height; };
struct MinimizeStep {};
struct RestoreStep {};
struct MaximizeStep { std::optional<double> width, height; };
struct SetStep { std::string object, member; host::Value value; };
struct CallStep { std::string object, method; };
struct FailStep { std::string object, member; model::Op op; };
struct ScreenStep { model::ScreenSpec screen; };

using Step = std::variant<LoadStep, ResizeStep, MinimizeStep, RestoreStep, MaximizeStep, SetStep, CallStep, FailStep,
                          ScreenStep>;

// How a step is named in the trace's `# step N: ...` lines.
std::string describe(const Step& step);

struct Scenario {
  std::string description;
  bool userMode = true;
  model::ScreenSpec screen;
  model::FormSpec form;
  std::vector<Step> steps;
};

// A scenario that cannot be played: the message names the file, the place and what is wrong.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The public properties a `set` step can give the control itself.
bool isControlProperty(const std::string& member);

Scenario parseScenario(const std::string& text, const std::string& fileName);
// The text of a scenario file, whole; a ScenarioError when it cannot be read.
std::string readScenarioText(const std::string& path);
Scenario loadScenario(const std::string& path);
// A scenario in a folder of examples: a .json file that is not a JSON Schema (NAME.schema.json).
bool isScenarioFile(const std::string& fileName);

}  // namespace tolvane::app
