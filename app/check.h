// `tolvane check`: what the layout control will do with a form, said before anything runs. The
// form is held against the host form contract, the controls the control reaches by name: which
// are there and which rules will act on them, which rules stay inactive and why, which names may
// not mean what the contract takes them for, and which members a rule needs that a control lacks.
#pragma once

#include <string>
#include <vector>

#include "app/scenario.h"

namespace tolvane::app {

// One named control of the contract as the form has it.
struct ContractControl {
  std::string name;
  std::string role;                     // "browser pane", "splitter", ...
  bool present = false;
  std::string kind;                     // as the form gives it, when present
  std::vector<std::string> rules;       // rules that will act on it (all members they need are there)
  std::vector<std::string> lowResRules;  // of those, the ones that act only in the low-resolution layout
};

// A finding: the rule or control it concerns and what it means, in words.
struct Finding {
  std::string subject;
  std::string text;
};

struct CheckReport {
  std::string file;
  bool layoutRuns = false;
  std::string verdict;              // one sentence
  bool lowResolution = false;       // whether the scenario ever reaches the low-resolution layout
  std::vector<ContractControl> contract;
  std::vector<Finding> blocking;    // why layout will not run
  std::vector<Finding> inactive;    // rules that will not act, and why
  std::vector<Finding> clashes;     // names that may not mean what the contract takes them for
  std::vector<Finding> missingMembers;
  std::vector<Finding> notes;       // other things worth knowing in advance
};

CheckReport checkScenario(const Scenario& scenario, const std::string& file);

// Reads a scenario, or a form description without steps: a file with `form` and no `steps`, or
// the form object itself. Throws ScenarioError as loadScenario does.
Scenario loadForCheck(const std::string& path);

std::string formatCheck(const CheckReport& report);  // for people
std::string checkJson(const CheckReport& report);    // for tools: one JSON object

}  // namespace tolvane::app
