#include "app/check.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include <nlohmann/json.hpp>

namespace tolvane::app {

using model::Member;
using nlohmann::json;

namespace {

// A rule, the members it needs of one control, and whether it acts only in the low-resolution layout.
struct Need {
  const char* rule;
  std::vector<const char*> members;
  bool lowResOnly = false;
};

struct ContractEntry {
  const char* name;
  const char* role;
  std::vector<Need> needs;
};

constexpr const char* kDispatch = "resize dispatch";
constexpr const char* kSplitter = "splitter placement";
constexpr const char* kRoom = "room test";
constexpr const char* kButtons = "button visibility";
constexpr const char* kPanes = "pane visibility";
constexpr const char* kListWidth = "low-resolution list width";
constexpr const char* kHeights = "low-resolution heights";
constexpr const char* kReflow = "pane re-flow";

// The controls the layout control reaches by name, and what each rule reads or sets on them.
const std::vector<ContractEntry>& contract() {
  static const std::vector<ContractEntry> table = {
      {"txtRebuild", "minimise/restore handshake", {{kDispatch, {"Text"}}}},
      {"WebBrowser1", "browser pane", {{kSplitter, {"Left", "Width", "Top", "Height"}}, {kHeights, {"Height"}, true}, {kReflow, {"Height", "Top", "Width"}, true}}},
      {"Text1", "text box sized with the browser pane", {{kHeights, {"Height"}, true}, {kReflow, {"Width"}, true}}},
      {"lblHorDrag", "splitter", {{kSplitter, {"Move", "Top", "Height", "Left"}},
        {kRoom, {"Left"}},
        {kListWidth, {"Left"}, true},
        {kReflow, {"Left", "Width", "Height", "Top"}, true}}},
      {"lstAllRecs", "list pane of cmdAllRecs", {{kPanes, {"Visible"}}, {kListWidth, {"Width"}, true}, {kReflow, {"Left", "Top", "Width", "Height"}, true}}},
      {"TreeView1", "list pane of cmdFavorites", {{kPanes, {"Visible"}}, {kListWidth, {"Width"}, true}, {kReflow, {"Left", "Width", "Height"}, true}}},
      {"lstSearchResults", "list pane of cmdSearchResults", {{kPanes, {"Visible"}}, {kListWidth, {"Width"}, true}, {kReflow, {"Left", "Width", "Height"}, true}}},
      {"cmdAllRecs", "tab button", {{kButtons, {"Visible"}}, {kPanes, {"FontBold"}}, {kReflow, {"Left", "Width"}, true}}},
      {"cmdFavorites", "tab button", {{kButtons, {"Visible"}}, {kPanes, {"FontBold"}}, {kReflow, {"Left", "Width"}, true}}},
      {"cmdSearchResults", "tab button", {{kButtons, {"Visible"}}, {kPanes, {"FontBold"}}, {kReflow, {"Left"}, true}}},
      {"cmdAddTV", "tree command button", {{kButtons, {"Visible"}}, {kReflow, {"Left", "Width", "Top"}, true}}},
      {"cmdNewTV", "tree command button", {{kButtons, {"Visible"}}, {kReflow, {"Left", "Width", "Top"}, true}}},
      {"cmdDelTV", "tree command button", {{kButtons, {"Visible"}}, {kReflow, {"Left", "Top"}, true}}},
  };
  return table;
}

const model::ControlSpec* find(const Scenario& scenario, const std::string& name) {
  const auto& controls = scenario.form.controls;
  const auto it = std::find_if(controls.begin(), controls.end(), [&](const auto& c) { return c.name == name; });
  return it == controls.end() ? nullptr : &*it;
}

bool has(const model::ControlSpec& c, const char* member) { return model::membersOf(c).test(static_cast<std::size_t>(*model::memberNamed(member))); }

bool lowResolutionScreen(const model::ScreenSpec& screen) {
  if (screen.twipsPerPixelX == 0) return false;
  const double pixels = std::nearbyint(screen.width / screen.twipsPerPixelX);
  return pixels == 640 || (pixels == 800 && screen.twipsPerPixelX == 12);
}

// Whether the scenario ever lays out in the low-resolution layout: on its screen, after a
// `screen` step, or with gfLowRes set by a step.
bool reachesLowResolution(const Scenario& scenario) {
  if (lowResolutionScreen(scenario.screen)) return true;
  return std::any_of(scenario.steps.begin(), scenario.steps.end(), [](const Step& step) {
    if (const auto* screen = std::get_if<ScreenStep>(&step)) return lowResolutionScreen(screen->screen);
    const auto* set = std::get_if<SetStep>(&step);
    return set != nullptr && set->member == "gfLowRes" && std::holds_alternative<bool>(set->value) && std::get<bool>(set->value);
  });
}

bool setsResizeFont(const Scenario& scenario) {
  return std::any_of(scenario.steps.begin(), scenario.steps.end(), [](const Step& step) {
    const auto* set = std::get_if<SetStep>(&step);
    return set != nullptr && set->member == "ResizeFont" && std::holds_alternative<bool>(set->value) && std::get<bool>(set->value);
  });
}

std::string joined(const std::vector<std::string>& items, const char* separator = ", ") {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void checkDispatch(const Scenario& scenario, CheckReport& report) {
  const auto& controls = scenario.form.controls;
  const auto layout = std::find_if(controls.begin(), controls.end(), [](const auto& c) { return c.kind == "Tolvane"; });
  if (layout == controls.end()) {
    report.blocking.push_back({"Tolvane", "the form has no control of kind Tolvane: nothing lays it out"});
  } else if (!has(*layout, "Parent")) {
    report.blocking.push_back({layout->name, "the layout control's extender lacks Parent: it cannot attach to the form, so no form event reaches it"});
  }
  if (!scenario.userMode) {
    report.blocking.push_back({"userMode", "the form is being designed (userMode false): the control does not attach and lays nothing out"});
  }
  const model::ControlSpec* rebuild = find(scenario, "txtRebuild");
  if (rebuild == nullptr) {
    report.blocking.push_back({"txtRebuild", "the form has no txtRebuild: every resize of the form fails back to the host, so "
                                             "its resize events never take a snapshot nor relay the form out"});
  } else if (!has(*rebuild, "Text")) {
    report.blocking.push_back({"txtRebuild", "txtRebuild has no Text: every resize of the form fails back to the host, so its "
                                             "resize events never take a snapshot nor relay the form out"});
  } else if (rebuild->text == "False") {
    report.notes.push_back({"txtRebuild", "its text starts as \"False\": the first resize of the shown form only writes \"True\"; "
                                          "the snapshot is taken on the second"});
  }
}

void checkNamedControls(const Scenario& scenario, CheckReport& report) {
  for (const ContractEntry& entry : contract()) {
    ContractControl control;
    control.name = entry.name;
    control.role = entry.role;
    const model::ControlSpec* c = find(scenario, entry.name);
    control.present = c != nullptr;
    if (c != nullptr) {
      control.kind = c->kind;
      for (const Need& need : entry.needs) {
        std::vector<std::string> lacking;
        for (const char* member : need.members) {
          if (!has(*c, member)) lacking.push_back(member);
        }
        if (lacking.empty()) {
          control.rules.push_back(need.rule);
          if (need.lowResOnly) control.lowResRules.push_back(need.rule);
        } else {
          report.missingMembers.push_back({entry.name, "lacks " + joined(lacking) + ", which the " + need.rule +
                                                           " rule needs: those statements fail and the rule goes on without them"});
        }
      }
    }
    report.contract.push_back(std::move(control));
  }

  // Names that differ from a contract name only in letter case are not the contract's controls.
  for (const auto& c : scenario.form.controls) {
    for (const ContractEntry& entry : contract()) {
      if (c.name != entry.name && lower(c.name) == lower(entry.name)) {
        report.clashes.push_back({c.name, "is not " + std::string(entry.name) +
                                              ": names are matched exactly, letter case included, so no rule acts on it as the " +
                                              entry.role});
      }
    }
  }
}

// What follows from the controls the form lacks, rule by rule.
void checkInactiveRules(const Scenario& scenario, CheckReport& report) {
  const bool browser = find(scenario, "WebBrowser1") != nullptr;
  const bool splitter = find(scenario, "lblHorDrag") != nullptr;
  if (!splitter) {
    report.inactive.push_back({kSplitter, "no lblHorDrag: the splitter is not placed"});
    report.inactive.push_back({kRoom, "no lblHorDrag: the room test uses E = 0, so each button row and the panes have room "
                                      "exactly when the form's ScaleWidth exceeds the row's threshold"});
    if (report.lowResolution) {
      report.inactive.push_back({kListWidth, "no lblHorDrag: the list width is never formed, so the list panes are not widened"});
      report.inactive.push_back({kReflow, "no lblHorDrag: the browser pane and Text1 are made 200 twips wide, the list panes "
                                          "keep their Left, and each button row starts from its first button's Left"});
    }
  } else if (!browser) {
    report.inactive.push_back({kSplitter, "no WebBrowser1: the splitter keeps its place, and the room test starts from its current left edge"});
  }
  if (!browser && report.lowResolution) {
    report.inactive.push_back({kReflow, "no WebBrowser1: the splitter and the three list panes get a Height of 0, and the tree "
                                        "command buttons go 60 twips below the top of lstAllRecs"});
  }
  if (find(scenario, "lstAllRecs") == nullptr && report.lowResolution) {
    report.inactive.push_back({kListWidth, "no lstAllRecs: its width test fails and counts as met, so TreeView1 and "
                                           "lstSearchResults are set to the list width after every control"});
  }

  // The tabs, tested in order: a tab whose FontBold cannot be read counts as bold.
  static const char* const tabs[][2] = {{"cmdAllRecs", "lstAllRecs"}, {"cmdFavorites", "TreeView1"}, {"cmdSearchResults", "lstSearchResults"}};
  bool anyBold = false;
  for (const auto& [tab, pane] : tabs) {
    const model::ControlSpec* c = find(scenario, tab);
    if (c == nullptr || !has(*c, "FontBold")) {
      if (find(scenario, pane) == nullptr) {
        anyBold = true;
        break;
      }
      report.clashes.push_back({tab, std::string(c == nullptr ? "is missing" : "has no FontBold") +
                                         ": its bold test fails and counts as bold, so " + pane +
                                         " is shown whenever the panes have room, and the later tabs are not tested"});
      anyBold = true;
      break;
    }
    if (c->fontBold.value_or(false)) {
      anyBold = true;
      break;
    }
  }
  if (!anyBold) report.inactive.push_back({kPanes, "no tab button is bold: when there is room, no pane is shown or hidden"});

  // Text1 is taken for the browser pane's text box wherever it stands.
  // Text1 is taken for the browser pane's text box wherever it stands and whatever it is.
  const model::ControlSpec* text1 = find(scenario, "Text1");
  const bool textBox = text1 != nullptr && (text1->kind == "TextBox" || text1->kind == "Control");
  if (text1 != nullptr && (!browser || !textBox)) {
    report.clashes.push_back({"Text1", std::string(browser ? "is a " + text1->kind + ", not the browser pane's text box"
                                                           : "is not beside a browser pane") +
                                           ", yet in the low-resolution layout it is given a Height of 3570 twips and the "
                                           "width of the room left of the splitter" +
                                           (report.lowResolution ? " (this scenario reaches that layout)" : "")});
  }
}

void checkOtherControls(const Scenario& scenario, CheckReport& report) {
  const bool resizeFont = setsResizeFont(scenario);
  for (const auto& c : scenario.form.controls) {
    if (c.kind == "Tolvane") continue;
    std::vector<std::string> lacking;
    for (const char* member : {"Left", "Top", "Width", "Height"}) {
      if (!has(c, member)) lacking.push_back(member);
    }
    if (!lacking.empty()) {
      report.missingMembers.push_back({c.name, "lacks " + joined(lacking) + ": the proportional relayout cannot place it, and "
                                                                          "the trace shows those stores failing"});
    }
    if (resizeFont && !has(c, "Font")) {
      report.missingMembers.push_back({c.name, "has no Font: with ResizeFont its font size store fails; its geometry is still set"});
    }
  }
}

}  // namespace

CheckReport checkScenario(const Scenario& scenario, const std::string& file) {
  CheckReport report;
  report.file = file;
  report.lowResolution = reachesLowResolution(scenario);
  checkDispatch(scenario, report);
  checkNamedControls(scenario, report);
  checkInactiveRules(scenario, report);
  checkOtherControls(scenario, report);
  // A rule that a missing control switches off acts on no control at all.
  for (const Finding& off : report.inactive) {
    if (off.subject != kSplitter && off.subject != kPanes) continue;
    for (auto& row : report.contract) std::erase(row.rules, off.subject);
  }
  report.layoutRuns = report.blocking.empty();
  report.verdict = report.layoutRuns
                       ? "Layout will run: the form's resize events take the snapshot and then relay the form out."
                       : "Layout will not run: " + report.blocking.front().text + ".";
  return report;
}

Scenario loadForCheck(const std::string& path) {
  const std::string text = readScenarioText(path);
  json document;
  try {
    document = json::parse(text);
  } catch (const json::exception&) {
    return parseScenario(text, path);  // says where and what is wrong
  }
  if (document.is_object() && !document.contains("steps")) {
    if (document.contains("controls")) document = json{{"form", std::move(document)}};
    document["steps"] = json::array();
    return parseScenario(document.dump(), path);
  }
  return parseScenario(text, path);
}

std::string formatCheck(const CheckReport& report) {
  std::ostringstream out;
  out << report.file << ": " << report.verdict << "\n";
  out << "\nThe controls the layout control reaches by name:\n";
  std::size_t width = 0;
  for (const auto& c : report.contract) width = std::max(width, c.name.size());
  bool anyLowRes = false;
  for (const auto& c : report.contract) {
    out << "  " << c.name << std::string(width + 2 - c.name.size(), ' ');
    if (!c.present) {
      out << "missing (" << c.role << "): the statements that name it fail\n";
      continue;
    }
    std::vector<std::string> rules;
    for (const auto& rule : c.rules) {
      const bool lowRes = std::find(c.lowResRules.begin(), c.lowResRules.end(), rule) != c.lowResRules.end();
      anyLowRes = anyLowRes || lowRes;
      rules.push_back(rule + (lowRes ? "*" : ""));
    }
    out << c.role << ": " << (rules.empty() ? "no rule acts on it" : joined(rules)) << "\n";
  }
  if (anyLowRes) {
    out << "  (* in the low-resolution layout only, which this scenario "
        << (report.lowResolution ? "reaches" : "does not reach on its screen") << ")\n";
  }
  const auto section = [&](const char* title, const std::vector<Finding>& findings) {
    if (findings.empty()) return;
    out << "\n" << title << ":\n";
    for (const auto& f : findings) out << "  - " << f.subject << ": " << f.text << "\n";
  };
  section("Why layout will not run", report.blocking);
  section("Rules that will not act, or act without a control they need", report.inactive);
  section("Names that may not mean what the contract takes them for", report.clashes);
  section("Members a rule needs that a control lacks", report.missingMembers);
  section("Worth knowing", report.notes);
  return out.str();
}

std::string checkJson(const CheckReport& report) {
  const auto findings = [](const std::vector<Finding>& list) {
    json out = json::array();
    for (const auto& f : list) out.push_back({{"subject", f.subject}, {"text", f.text}});
    return out;
  };
  json controls = json::array();
  for (const auto& c : report.contract) {
    json entry = {{"name", c.name}, {"role", c.role}, {"present", c.present}};
    if (c.present) {
      entry["kind"] = c.kind;
      entry["rules"] = c.rules;
      entry["lowResolutionRules"] = c.lowResRules;
    }
    controls.push_back(std::move(entry));
  }
  const json out = {{"file", report.file},
                    {"layoutRuns", report.layoutRuns},
                    {"verdict", report.verdict},
                    {"reachesLowResolution", report.lowResolution},
                    {"contract", std::move(controls)},
                    {"blocking", findings(report.blocking)},
                    {"inactiveRules", findings(report.inactive)},
                    {"clashes", findings(report.clashes)},
                    {"missingMembers", findings(report.missingMembers)},
                    {"notes", findings(report.notes)}};
  return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace tolvane::app
