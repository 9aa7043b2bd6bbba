#include "app/scenario.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <set>
#include <string_view>

#include <nlohmann/json.hpp>

#include "hostmodel/model/trace.h"

namespace tolvane::app {

using nlohmann::json;

namespace {

// The message stays on one line whatever keys and names the file holds.
ScenarioError scenarioError(const std::string& message) { return ScenarioError(model::escapedText(message)); }

std::string kindOf(const json& value) {
  if (value.is_boolean()) return "a Boolean";
  if (value.is_number()) return "a number";
  if (value.is_string()) return "text";
  if (value.is_array()) return "an array";
  if (value.is_object()) return "an object";
  return "null";
}

// Reads one JSON object of the scenario, checking every field against what the format allows and
// naming the place of anything wrong as a JSON pointer.
class Fields {
 public:
  Fields(const json& object, std::string place, const std::string& file) : object_(object), place_(std::move(place)), file_(file) {
    if (!object_.is_object()) fail(place_, "expected an object, found " + kindOf(object_));
  }

  [[noreturn]] void fail(const std::string& place, const std::string& what) const {
    throw scenarioError(file_ + ": at " + (place.empty() ? "/" : place) + ": " + what);
  }

  void allow(std::initializer_list<const char*> names) const {
    for (const auto& item : object_.items()) {
      const std::string& key = item.key();
      if (std::none_of(names.begin(), names.end(), [&](const char* name) { return key == name; })) {
        fail(at(key), "unknown field \"" + key + "\"");
      }
    }
  }

  bool has(const char* key) const { return object_.contains(key); }
  std::string at(const std::string& key) const { return place_ + "/" + key; }

  const json& get(const char* key) const {
    if (!has(key)) fail(place_, "missing field \"" + std::string(key) + "\"");
    return object_.at(key);
  }

  double number(const char* key) const {
    const json& value = get(key);
    if (!value.is_number()) fail(at(key), "expected a number, found " + kindOf(value));
    const double x = value.get<double>();
    if (!std::isfinite(x)) fail(at(key), "the number is out of range");
    return x;
  }
  double number(const char* key, double fallback) const { return has(key) ? number(key) : fallback; }

  std::string text(const char* key) const {
    const json& value = get(key);
    if (!value.is_string()) fail(at(key), "expected text, found " + kindOf(value));
    return value.get<std::string>();
  }

  // A name of the form, a control or a member. Names begin trace lines and state rows, so a name that
  // could break a line, pass for a `#` line, split a row at a space or end at a dot is refused here
  // rather than escaped there: on a real form a name is an identifier, letters, digits and `_`.
  std::string name(const char* key) const {
    std::string value = text(key);
    const bool identifier = std::all_of(value.begin(), value.end(), [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return std::isalnum(byte) != 0 || c == '_' || byte >= 0x80;  // letters beyond ASCII too
    });
    if (!identifier || model::escapedText(value) != value) {
      fail(at(key), "a name holds only letters, digits and _");
    }
    return value;
  }

  bool boolean(const char* key) const {
    const json& value = get(key);
    if (!value.is_boolean()) fail(at(key), "expected true or false, found " + kindOf(value));
    return value.get<bool>();
  }

  const json& array(const char* key) const {
    const json& value = get(key);
    if (!value.is_array()) fail(at(key), "expected an array, found " + kindOf(value));
    return value;
  }

  Fields object(const char* key) const { return Fields(get(key), at(key), file_); }

  const json& raw() const { return object_; }
  const std::string& place() const { return place_; }
  const std::string& file() const { return file_; }

 private:
  const json& object_;
  std::string place_;
  const std::string& file_;
};

model::ScreenSpec readScreen(const Fields& f) {
  f.allow({"width", "twipsPerPixelX"});
  model::ScreenSpec screen;
  screen.width = f.number("width", screen.width);
  screen.twipsPerPixelX = f.number("twipsPerPixelX", screen.twipsPerPixelX);
  return screen;
}

model::ControlSpec readControl(const Fields& f) {
  f.allow({"name", "kind", "left", "top", "width", "height", "fontSize", "text", "visible", "fontBold", "members"});
  model::ControlSpec c;
  c.name = f.name("name");
  if (c.name.empty()) f.fail(f.at("name"), "a control needs a name");
  if (f.has("kind")) c.kind = f.text("kind");
  c.left = f.number("left", 0);
  c.top = f.number("top", 0);
  c.width = f.number("width", 0);
  c.height = f.number("height", 0);
  c.fontSize = f.number("fontSize", c.fontSize);
  if (f.has("text")) c.text = f.text("text");
  if (f.has("visible")) c.visible = f.boolean("visible");
  if (f.has("fontBold")) c.fontBold = f.boolean("fontBold");
  if (f.has("members")) {
    const json& members = f.array("members");
    c.members.emplace();
    for (std::size_t i = 0; i < members.size(); ++i) {
      const std::string place = f.at("members") + "/" + std::to_string(i);
      if (!members[i].is_string()) f.fail(place, "expected a member name, found " + kindOf(members[i]));
      const auto name = members[i].get<std::string>();
      if (!model::memberNamed(name)) f.fail(place, "unknown member \"" + name + "\"");
      c.members->push_back(name);
    }
  }
  return c;
}

model::FormSpec readForm(const Fields& f) {
  f.allow({"name", "width", "height", "frame", "windowState", "controls"});
  model::FormSpec form;
  if (f.has("name")) form.name = f.name("name");
  form.width = f.number("width", form.width);
  form.height = f.number("height", form.height);
  if (f.has("frame")) {
    const Fields frame = f.object("frame");
    frame.allow({"width", "height"});
    form.frameWidth = frame.number("width", form.frameWidth);
    form.frameHeight = frame.number("height", form.frameHeight);
  }
  if (f.has("windowState")) {
    const double state = f.number("windowState");
    if (state != 0 && state != 1 && state != 2) f.fail(f.at("windowState"), "expected 0, 1 or 2");
    form.windowState = static_cast<std::int16_t>(state);
  }
  const json& controls = f.array("controls");
  std::set<std::string> names;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Fields control(controls[i], f.at("controls") + "/" + std::to_string(i), f.file());
    form.controls.push_back(readControl(control));
    if (!names.insert(form.controls.back().name).second || form.controls.back().name == form.name) {
      control.fail(control.at("name"), "the name \"" + form.controls.back().name + "\" is taken");
    }
  }
  return form;
}

// The objects a step may name: the form, its controls, their fonts, the form's Controls
// collection, the screen and the control's ambient properties.
bool isObject(const model::FormSpec& form, const std::string& name) {
  if (name == form.name || name == form.name + ".Controls" || name == "Screen" || name == "Ambient") return true;
  return std::any_of(form.controls.begin(), form.controls.end(),
                     [&](const auto& c) { return name == c.name || name == c.name + ".Font"; });
}

const model::ControlSpec* controlNamed(const model::FormSpec& form, const std::string& name) {
  const auto it = std::find_if(form.controls.begin(), form.controls.end(), [&](const auto& c) { return c.name == name; });
  return it == form.controls.end() ? nullptr : &*it;
}

Step readStep(const Fields& f, const model::FormSpec& form) {
  static const std::set<std::string> kinds = {"load",  "resize", "minimize", "restore", "maximize",
                                              "set",   "call",   "fail",     "screen"};
  const json* body = nullptr;
  std::string kind;
  for (const auto& [key, value] : f.raw().items()) {
    if (!kinds.count(key)) f.fail(f.at(key), "unknown step \"" + key + "\"");
    if (body != nullptr) f.fail(f.place(), "a step has exactly one kind, found \"" + kind + "\" and \"" + key + "\"");
    kind = key;
    body = &value;
  }
  if (body == nullptr) f.fail(f.place(), "an empty step");
  const Fields b(*body, f.at(kind), f.file());

  if (kind == "load" || kind == "minimize" || kind == "restore") {
    b.allow({});
    if (kind == "load") return LoadStep{};
    if (kind == "minimize") return MinimizeStep{};
    return RestoreStep{};
  }
  if (kind == "resize") {
    b.allow({"width", "height"});
    return ResizeStep{b.number("width"), b.number("height")};
  }
  if (kind == "maximize") {
    b.allow({"width", "height"});
    if (b.has("width") != b.has("height")) b.fail(b.place(), "give both width and height, or neither");
    MaximizeStep step;
    if (b.has("width")) {
      step.width = b.number("width");
      step.height = b.number("height");
    }
    return step;
  }
  if (kind == "screen") return ScreenStep{readScreen(b)};
  if (kind == "set") {
    b.allow({"object", "member", "value"});
    SetStep step{b.text("object"), b.name("member"), {}};
    const auto* control = controlNamed(form, step.object);
    if (step.object != form.name && control == nullptr) b.fail(b.at("object"), "no object named \"" + step.object + "\"");
    const json& value = b.get("value");
    if (value.is_boolean()) {
      step.value = value.get<bool>();
    } else if (value.is_number()) {
      step.value = b.number("value");
    } else if (value.is_string()) {
      step.value = value.get<std::string>();
    } else {
      b.fail(b.at("value"), "expected a number, text or a Boolean, found " + kindOf(value));
    }
    if (control != nullptr && control->kind == "Tolvane" && isControlProperty(step.member) && !value.is_boolean()) {
      b.fail(b.at("value"), step.member + " takes true or false");
    }
    return step;
  }
  if (kind == "call") {
    b.allow({"object", "method"});
    CallStep step{b.text("object"), b.text("method")};
    const auto* control = controlNamed(form, step.object);
    if (control == nullptr || control->kind != "Tolvane") {
      b.fail(b.at("object"), "\"" + step.object + "\" is not a Tolvane control on the form");
    }
    if (step.method != "Rebuild" && step.method != "Refresh") b.fail(b.at("method"), "expected Rebuild or Refresh");
    return step;
  }
  // fail
  b.allow({"object", "member", "op"});
  FailStep step{b.text("object"), b.name("member"), model::Op::Get};
  if (!isObject(form, step.object)) b.fail(b.at("object"), "no object named \"" + step.object + "\"");
  const std::string op = b.text("op");
  if (op == "get") {
    step.op = model::Op::Get;
  } else if (op == "set") {
    step.op = model::Op::Set;
  } else if (op == "call") {
    step.op = model::Op::Call;
  } else {
    b.fail(b.at("op"), "expected get, set or call");
  }
  return step;
}

std::string number(double x) { return host::shortest(x); }

}  // namespace

bool isControlProperty(const std::string& member) {
  return member == "ResizeFont" || member == "KeepRatio" || member == "gfLowRes" || member == "mfRebuild";
}

std::string describe(const Step& step) {
  struct Describe {
    std::string operator()(const LoadStep&) const { return "load"; }
    std::string operator()(const ResizeStep& s) const { return "resize " + number(s.width) + " x " + number(s.height); }
    std::string operator()(const MinimizeStep&) const { return "minimize"; }
    std::string operator()(const RestoreStep&) const { return "restore"; }
    std::string operator()(const MaximizeStep& s) const {
      return s.width ? "maximize " + number(*s.width) + " x " + number(*s.height) : "maximize";
    }
    std::string operator()(const SetStep& s) const {
      std::string value = std::visit(
          [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) return v ? "true" : "false";
            if constexpr (std::is_same_v<T, double>) return number(v);
            if constexpr (std::is_same_v<T, std::string>) return model::quotedText(v);
            return "?";
          },
          s.value);
      return "set " + s.object + "." + s.member + " = " + value;
    }
    std::string operator()(const CallStep& s) const { return "call " + s.object + "." + s.method; }
    std::string operator()(const FailStep& s) const {
      const char* op = s.op == model::Op::Get ? "get" : s.op == model::Op::Set ? "set" : "call";
      return "fail " + s.object + "." + s.member + " on " + op;
    }
    std::string operator()(const ScreenStep& s) const {
      return "screen " + number(s.screen.width) + " twips at " + number(s.screen.twipsPerPixelX) + " twips per pixel";
    }
  };
  return std::visit(Describe{}, step);
}

namespace {

// The JSON library's own text, without its "[json.exception.kind.N] " prefix.
std::string reason(const json::exception& e) {
  const std::string what = e.what();
  const auto end = what.find("] ");
  return end == std::string::npos ? what : what.substr(end + 2);
}

json parseJson(const std::string& text, const std::string& fileName) {
  try {
    return json::parse(text);
  } catch (const json::parse_error& e) {
    // Turn the byte offset into a line and column a person can find.
    const std::size_t offset = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n');
    const auto lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const auto column = offset - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
    throw scenarioError(fileName + ": line " + std::to_string(line) + ", column " + std::to_string(column) +
                        ": not valid JSON");
  } catch (const json::exception& e) {
    // A number beyond the range of a double, and whatever else the library refuses.
    throw scenarioError(fileName + ": not valid JSON: " + reason(e));
  }
}

Scenario readScenario(const json& document, const std::string& fileName) {
  const Fields top(document, "", fileName);
  top.allow({"description", "userMode", "screen", "form", "steps"});
  Scenario scenario;
  if (top.has("description")) scenario.description = top.text("description");
  if (top.has("userMode")) scenario.userMode = top.boolean("userMode");
  if (top.has("screen")) scenario.screen = readScreen(top.object("screen"));
  scenario.form = readForm(top.object("form"));
  const json& steps = top.array("steps");
  for (std::size_t i = 0; i < steps.size(); ++i) {
    scenario.steps.push_back(readStep(Fields(steps[i], "/steps/" + std::to_string(i), fileName), scenario.form));
  }
  return scenario;
}

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& fileName) {
  try {
    return readScenario(parseJson(text, fileName), fileName);
  } catch (const json::exception& e) {
    throw scenarioError(fileName + ": cannot be read: " + reason(e));
  }
}

std::string readScenarioText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw scenarioError(path + ": cannot be read");
  // Read by hand rather than through a stream's << of the buffer: that one swallows a failed
  // allocation and hands on a truncated text, which would then read as malformed JSON.
  std::string text;
  std::array<char, 1 << 16> buffer;
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw scenarioError(path + ": cannot be read");
  return text;
}

bool isScenarioFile(const std::string& fileName) {
  const auto endsWith = [&](std::string_view tail) {
    return fileName.size() >= tail.size() && fileName.compare(fileName.size() - tail.size(), tail.size(), tail) == 0;
  };
  return endsWith(".json") && !endsWith(".schema.json");
}

Scenario loadScenario(const std::string& path) { return parseScenario(readScenarioText(path), path); }

}  // namespace tolvane::app
