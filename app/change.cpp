#include "app/change.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "hostmodel/host.h"

namespace tolvane::app {

using model::Member;

Role roleOf(const std::string& name, const std::string& kind) {
  if (kind == "Tolvane") return Role::Layout;
  if (name == "lblHorDrag") return Role::Splitter;
  if (name == "lstAllRecs") return Role::AllRecs;
  if (name == "TreeView1") return Role::Tree;
  if (name == "lstSearchResults") return Role::Search;
  if (name == "WebBrowser1") return Role::Browser;
  if (kind == "CommandButton") return Role::Button;
  return Role::Other;
}

FormFrame captureFrame(const model::ModelForm& form) {
  FormFrame frame{form.width(), form.height(), form.scaleWidth(), form.scaleHeight(), form.windowState(), {}};
  frame.controls.reserve(form.controls().size());
  for (const auto& c : form.controls()) {
    ControlFrame f;
    f.name = c->name();
    f.kind = c->kind();
    f.drawable = c->has(Member::Left) && c->has(Member::Top) && c->has(Member::Width) && c->has(Member::Height) &&
                 std::isfinite(c->left()) && std::isfinite(c->top()) && std::isfinite(c->width()) &&
                 std::isfinite(c->height());
    f.left = c->left();
    f.top = c->top();
    f.width = c->width();
    f.height = c->height();
    f.visible = c->visible();
    f.fontSize = c->fontSize();
    frame.controls.push_back(std::move(f));
  }
  return frame;
}

namespace {

// Numbers compared as the model holds them; NaN equals NaN here, since a NaN that stays is no change.
bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
bool same(const std::optional<double>& a, const std::optional<double>& b) {
  return a.has_value() == b.has_value() && (!a || same(*a, *b));
}

}  // namespace

bool FormChange::any() const {
  return formResized || windowStateChanged ||
         std::any_of(controls.begin(), controls.end(), [](const ControlChange& c) { return c.any(); });
}

FormChange compare(const FormFrame& before, const FormFrame& after) {
  FormChange change;
  change.formResized = !same(before.width, after.width) || !same(before.height, after.height) ||
                       !same(before.scaleWidth, after.scaleWidth) || !same(before.scaleHeight, after.scaleHeight);
  change.windowStateChanged = before.windowState != after.windowState;
  std::unordered_map<std::string, const ControlFrame*> earlier;
  for (const auto& c : before.controls) earlier.emplace(c.name, &c);
  change.controls.resize(after.controls.size());
  for (std::size_t i = 0; i < after.controls.size(); ++i) {
    const ControlFrame& now = after.controls[i];
    const auto it = earlier.find(now.name);
    if (it == earlier.end()) continue;
    const ControlFrame& was = *it->second;
    ControlChange& c = change.controls[i];
    c.moved = !same(was.left, now.left) || !same(was.top, now.top);
    c.resized = !same(was.width, now.width) || !same(was.height, now.height);
    c.hidden = was.visible && !now.visible;
    c.shown = !was.visible && now.visible;
    c.fontChanged = !same(was.fontSize, now.fontSize);
  }
  return change;
}

namespace {

struct Noun {
  const char* one;
  const char* many;
};

Noun nounOf(Role role) {
  switch (role) {
    case Role::Splitter: return {"splitter", "splitters"};
    case Role::AllRecs:
    case Role::Tree:
    case Role::Search:
    case Role::Browser: return {"pane", "panes"};
    case Role::Button: return {"button", "buttons"};
    case Role::Layout: return {"layout control", "layout controls"};
    case Role::Other: return {"control", "controls"};
  }
  return {"control", "controls"};
}

std::string counted(std::size_t n, Noun noun) { return std::to_string(n) + " " + (n == 1 ? noun.one : noun.many); }

const char* stateWord(std::int16_t state) {
  switch (state) {
    case 0: return "form restored to normal";
    case 1: return "form minimised";
    case 2: return "form maximised";
    default: return "form window state changed";
  }
}

// "3 panes hidden", "2 buttons and 1 splitter hidden": counts by the kind of control, in a fixed order.
std::string byKind(const FormFrame& after, const FormChange& change, bool ControlChange::*flag, const char* verb) {
  std::vector<std::pair<std::string, std::size_t>> counts;  // noun (singular) and count, first seen first
  std::vector<Noun> nouns;
  for (std::size_t i = 0; i < change.controls.size(); ++i) {
    if (!(change.controls[i].*flag)) continue;
    const Noun noun = nounOf(roleOf(after.controls[i].name, after.controls[i].kind));
    const auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == noun.one; });
    if (it != counts.end()) {
      ++it->second;
    } else {
      counts.emplace_back(noun.one, 1);
      nouns.push_back(noun);
    }
  }
  if (counts.empty()) return "";
  std::string text;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (i > 0) text += i + 1 == counts.size() ? " and " : ", ";
    text += counted(counts[i].second, nouns[i]);
  }
  return text + " " + verb;
}

}  // namespace

std::string describeChange(const FormChange& change, const FormFrame& after, bool layoutRecorded) {
  std::vector<std::string> parts;
  if (change.windowStateChanged) parts.push_back(stateWord(after.windowState));
  if (change.formResized) {
    parts.push_back("form resized to " + host::shortest(after.width) + " \xC3\x97 " + host::shortest(after.height));
  }
  std::size_t moved = 0, resized = 0, geometry = 0, fonts = 0;
  for (const auto& c : change.controls) {
    moved += c.moved;
    resized += c.resized;
    geometry += c.geometry();
    fonts += c.fontChanged;
  }
  const Noun controls{"control", "controls"};
  if (geometry != 0) {
    const char* verb = moved == geometry && resized == 0 ? " moved" : resized == geometry && moved == 0 ? " resized" : " moved or resized";
    parts.push_back(counted(geometry, controls) + verb);
  }
  for (const auto& [flag, verb] : {std::pair{&ControlChange::hidden, "hidden"}, std::pair{&ControlChange::shown, "shown"}}) {
    if (std::string text = byKind(after, change, flag, verb); !text.empty()) parts.push_back(text);
  }
  if (fonts != 0) parts.push_back(counted(fonts, {"font size", "font sizes"}) + " changed");
  if (parts.empty()) return layoutRecorded ? "layout recorded" : "no change";
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace tolvane::app
