#include "tests/rig.h"

#include <algorithm>
#include <stdexcept>

#include "hostmodel/model/trace.h"

namespace tolvane::testing {

namespace {

app::Scenario scenarioOf(model::FormSpec form, model::ScreenSpec screen, bool userMode) {
  app::Scenario scenario;
  scenario.form = std::move(form);
  scenario.screen = screen;
  scenario.userMode = userMode;
  return scenario;
}

model::ControlSpec control(std::string name, std::string kind, double left, double top, double width, double height) {
  model::ControlSpec c;
  c.name = std::move(name);
  c.kind = std::move(kind);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  return c;
}

}  // namespace

model::FormSpec numberedControls(int count) {
  model::FormSpec form;
  form.controls.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto& c = form.controls[static_cast<std::size_t>(i)];
    // Built by appending to a new string: GCC 12 at -O3 warns falsely (-Wrestrict) about
    // `"c" + std::to_string(i)` and about assigning "c" to the existing name, once inlined.
    std::string name(1, 'c');
    name.append(std::to_string(i));
    c.name = std::move(name);
    c.left = i;
  }
  return form;
}

model::FormSpec hostForm() {
  model::FormSpec form;
  form.name = "frmMain";
  form.width = 9120;
  form.height = 6405;
  form.frameWidth = 120;
  form.frameHeight = 405;
  auto& c = form.controls;
  c.push_back(control("Tolvane1", "Tolvane", 8400, 5400, 480, 450));
  c.push_back(control("Text1", "TextBox", 0, 0, 3000, 300));
  c.back().text = "";
  c.push_back(control("WebBrowser1", "WebBrowser", 0, 400, 3000, 4000));
  c.push_back(control("lblHorDrag", "Label", 3010, 400, 60, 4000));
  for (const auto& [name, left, bold] : {std::tuple{"cmdAllRecs", 3300.0, true}, std::tuple{"cmdFavorites", 4300.0, false},
                                         std::tuple{"cmdSearchResults", 5300.0, false}}) {
    c.push_back(control(name, "CommandButton", left, 0, 1000, 300));
    c.back().fontBold = bold;
  }
  for (const auto& [name, visible] : {std::pair{"lstAllRecs", true}, std::pair{"TreeView1", false},
                                      std::pair{"lstSearchResults", false}}) {
    c.push_back(control(name, "ListBox", 3210, 400, 5000, 3000));
    c.back().visible = visible;
  }
  for (const auto& [name, left] : {std::pair{"cmdAddTV", 3300.0}, std::pair{"cmdNewTV", 4300.0}, std::pair{"cmdDelTV", 5300.0}}) {
    c.push_back(control(name, "CommandButton", left, 3500, 1000, 300));
  }
  c.push_back(control("txtRebuild", "TextBox", 0, 5500, 1000, 300));
  c.back().text = "True";
  c.back().visible = false;
  c.push_back(control("lblStatus", "Label", 1000, 5500, 2000, 300));
  return form;
}

model::ControlSpec& described(model::FormSpec& form, const std::string& name) {
  const auto it = std::find_if(form.controls.begin(), form.controls.end(), [&](const auto& c) { return c.name == name; });
  if (it == form.controls.end()) throw std::invalid_argument("no control " + name);
  return *it;
}

void remove(model::FormSpec& form, const std::string& name) {
  std::erase_if(form.controls, [&](const auto& c) { return c.name == name; });
}

Rig::Rig(model::FormSpec form, model::ScreenSpec screen, bool userMode)
    : player_(scenarioOf(std::move(form), screen, userMode)) {}

model::ModelControl& Rig::ctl(const std::string& name) {
  auto found = form().find(name);
  if (!found) throw std::invalid_argument("no control " + name);
  return *found;
}

void Rig::load() {
  control().UserControl_ReadProperties();
  form().raiseLoad();
}

void Rig::show() { form().resize(form().width(), form().height()); }

std::vector<std::string> Rig::writes() const {
  std::vector<std::string> lines;
  const auto& all = player_.world().recorder.writes;
  for (std::size_t i = mark_; i < all.size(); ++i) lines.push_back(model::formatWrite(all[i]));
  return lines;
}

std::vector<std::string> Rig::writesTo(const std::string& object, const std::string& member) const {
  std::vector<std::string> values;
  const auto& all = player_.world().recorder.writes;
  for (std::size_t i = mark_; i < all.size(); ++i) {
    const auto& w = all[i];
    if (w.object != object || w.member != member || w.kind == model::Write::Kind::EventFailure) continue;
    std::string line;
    for (const auto& v : w.values) line += (line.empty() ? "" : ", ") + model::formatValue(v);
    if (!w.error.empty()) line += " ! " + w.error;
    values.push_back(line);
  }
  return values;
}

}  // namespace tolvane::testing
