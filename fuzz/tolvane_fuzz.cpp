// Fault-injection fuzzing of the control on the model form. The input bytes describe a screen, a form
// (controls named after the host form and otherwise, members missing, geometry anywhere from 0 to huge,
// negative or fractional), and a schedule of host events, property sets, method calls, injected
// failures and host code that calls back into the control from inside one of its stores. The scenario
// player plays it step by step under a rounding mode the bytes choose, with host code in the
// stores that calls back into the control (nested up to and past the depth bound), drops the host's
// reference to the control, or takes controls off the form. After every step the writes the host
// received are checked:
//   - every number written is finite, and within the range of the member's type on the host;
//   - every write reached the form, one of its controls or such a control's font;
//   - every write that succeeded reached a control that was still on the form;
//   - every write is one this control makes to that member, with a value type it may pass there;
//   - no instance is left busy between calls;
//   - at design time nothing but the control's own extender is written.
// A violation aborts, which libFuzzer reports as a finding; the sanitizers catch the rest.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/player.h"
#include "control/state.h"
#include "hostmodel/model/trace.h"

namespace {

using tolvane::kMaxPassDepth;
using tolvane::app::Player;
using tolvane::app::Scenario;
using tolvane::host::Value;
using tolvane::host::ValueType;
using tolvane::model::ControlSpec;
using tolvane::model::Op;
using tolvane::model::Write;

// The names the control reaches on its form, and some it must not mistake for them.
constexpr std::string_view kNames[] = {
    "txtRebuild", "WebBrowser1",  "Text1",      "lblHorDrag", "lstAllRecs", "TreeView1", "lstSearchResults",
    "cmdAllRecs", "cmdFavorites", "cmdSearchResults", "cmdAddTV", "cmdNewTV", "cmdDelTV", "Image1",
    "lblhordrag", "Label1",       "frmMain",    "Width",      "Controls",   "Screen",    "Name",
    "Font",       "Tolvane",      "Command1",
};

constexpr std::string_view kMembers[] = {"Left", "Top", "Width", "Height", "Font", "Name",
                                         "Visible", "Move", "FontBold", "Text", "Parent"};

// Objects and members that the schedule can make fail, beyond the controls' own.
constexpr std::string_view kFailObjects[] = {"frmMain", "Screen", "Ambient", "frmMain.Controls"};
constexpr std::string_view kFailMembers[] = {"Left",  "Top",     "Width",     "Height",      "Font",
                                             "Name",  "Visible", "Move",      "FontBold",    "Text",
                                             "Parent", "Size",   "Count",     "Item",        "ScaleWidth",
                                             "ScaleHeight", "WindowState", "UserMode", "TwipsPerPixelX"};

constexpr std::string_view kTexts[] = {"False", "True", "false", "False ", "", "0", "-1"};

// Numbers a host may hold and report: ordinary geometry, the edges of every type, and (a careless
// or hostile host) infinities and NaN.
double geometry(FuzzedDataProvider& in) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  static constexpr double kEdges[] = {0.0,     -0.0,     1.0,      -1.0,     0.5,       -0.5,     8.25,
                                      120,     405,      480,      450,      3570,      9600,     7200,
                                      12000,   15360,    32767.5,  -32768.5, 2147483647.5, 1e300, -1e300,
                                      3.4e38,  3.5e38,   -3.5e38,  1e-310,   4.9e-324,  65536,    1e9,
                                      0x1.fffffefffffffp127, -0x1.fffffefffffffp127, 0x1.fffffep127,
                                      std::numeric_limits<double>::max(), kInf, -kInf,
                                      std::numeric_limits<double>::quiet_NaN()};
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.PickValueInArray(kEdges);
    case 1: return in.ConsumeIntegralInRange<int>(-20000, 20000);
    case 2: return in.ConsumeIntegralInRange<int>(-40000, 40000) / 4.0;
    default: return in.ConsumeFloatingPoint<double>();
  }
}

Value anyValue(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0: return in.ConsumeBool();
    case 1: return in.ConsumeIntegral<std::int16_t>();
    case 2: return in.ConsumeIntegral<std::int32_t>();
    case 3: return static_cast<float>(geometry(in));
    case 4: return std::string(in.PickValueInArray(kTexts));
    default: return geometry(in);
  }
}

// What one write may be, by the member and the control it reaches.
bool allowedType(const std::set<std::string, std::less<>>& names, const std::string& formName,
                 const std::vector<std::string>& extenders, const Write& w, std::string& why) {
  const auto type = [&](std::size_t i) { return tolvane::host::typeOf(w.values.at(i)); };
  const auto named = [&](std::initializer_list<std::string_view> list) {
    for (auto n : list) {
      if (w.object == n) return true;
    }
    return false;
  };
  if (w.kind == Write::Kind::EventFailure) return true;
  if (w.object == formName) {
    if (w.kind == Write::Kind::Store && w.member == "Height" && type(0) == ValueType::F32) return true;
    // A control may carry the form's name; the trace cannot tell the two apart, so it is judged as both.
    if (!names.count(formName)) {
      why = "the form gets only its Height, as a single";
      return false;
    }
  }
  if (w.object.size() > 5 && w.object.ends_with(".Font") && names.count(w.object.substr(0, w.object.size() - 5))) {
    if (w.kind == Write::Kind::Store && w.member == "Size" && type(0) == ValueType::F32) return true;
    why = "a font gets only its Size, as a single";
    return false;
  }
  if (!names.count(w.object)) {
    why = "write outside the form";
    return false;
  }
  if (w.kind == Write::Kind::Call) {
    if (w.object == "lblHorDrag" && w.member == "Move" && w.values.size() == 1 && type(0) == ValueType::F64) return true;
    why = "only the splitter is moved, by its Left as a double";
    return false;
  }
  if (w.values.size() != 1) {
    why = "a store with other than one value";
    return false;
  }
  const ValueType t = type(0);
  const bool real = t == ValueType::F32 || t == ValueType::F64;
  const bool lists = named({"lstAllRecs", "TreeView1", "lstSearchResults"});
  const bool browser = named({"WebBrowser1", "Text1"});
  if (w.member == "Left" || w.member == "Top") {
    if (real) return true;
  } else if (w.member == "Width") {
    if (real || (t == ValueType::I32 && (lists || browser))) return true;
  } else if (w.member == "Height") {
    if (real || (t == ValueType::I32 && (lists || w.object == "lblHorDrag")) || (t == ValueType::I16 && browser)) {
      return true;
    }
  } else if (w.member == "Visible") {
    if (t == ValueType::Bool && (lists || named({"cmdAllRecs", "cmdFavorites", "cmdSearchResults", "cmdAddTV",
                                                   "cmdNewTV", "cmdDelTV"}))) {
      return true;
    }
  } else if (w.member == "Text") {
    if (t == ValueType::Str && w.object == "txtRebuild") {
      const auto& text = std::get<std::string>(w.values[0]);
      if (text == "False" || text == "True") return true;
    }
  }
  if (std::find(extenders.begin(), extenders.end(), w.object) != extenders.end() &&
      (w.member == "Width" || w.member == "Height") && t == ValueType::F32) {
    return true;  // the control keeps its own size locked to its picture
  }
  why = "a value type or member this control never writes there";
  return false;
}

// The members the host keeps as singles: a number passed there must fit one.
bool singleMember(const Write& w) {
  if (w.kind == Write::Kind::Call) return w.member == "Move";
  return w.member == "Left" || w.member == "Top" || w.member == "Width" || w.member == "Height" || w.member == "Size";
}

bool inRangeForMember(const Write& w, const Value& v) {
  double x = 0;
  if (const auto* f = std::get_if<float>(&v)) {
    x = *f;
  } else if (const auto* d = std::get_if<double>(&v)) {
    x = *d;
  } else {
    return true;  // integers and Booleans carry their range in their type
  }
  if (!std::isfinite(x)) return false;
  return !singleMember(w) || std::fabs(x) < 0x1.ffffffp127;
}

[[noreturn]] void violated(const Write* w, const std::string& why) {
  std::fprintf(stderr, "invariant violated: %s\n", why.c_str());
  if (w != nullptr) std::fprintf(stderr, "  write: %s\n", tolvane::model::formatWrite(*w).c_str());
  std::abort();
}

// Host code in a store's change handler.
struct Hook {
  enum class Action { Rebuild, Refresh, Release, Remove };
  std::string control;  // whose store runs it
  std::string member;
  Action action;
  std::string target;  // the Tolvane control called or released, or the control removed
};

constexpr int kRoundingModes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};

// Puts back the rounding mode the fuzzer found, whatever the input set.
class RoundingMode {
 public:
  explicit RoundingMode(int mode) : saved_(std::fegetround()) { std::fesetround(mode); }
  ~RoundingMode() { std::fesetround(saved_); }
  RoundingMode(const RoundingMode&) = delete;
  RoundingMode& operator=(const RoundingMode&) = delete;

 private:
  int saved_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const RoundingMode rounding(in.PickValueInArray(kRoundingModes));
  Scenario scenario;
  scenario.userMode = in.ConsumeIntegralInRange<int>(0, 15) != 0;

  static constexpr double kScreenWidths[] = {15360, 12288, 9600, 12000, 9607.5, 9592.5, 0, -15360, 1e12};
  static constexpr double kTwips[] = {15, 12, 15, 12, 0, 1, -12, 12.5, 1e-300};
  scenario.screen.width = in.ConsumeBool() ? in.PickValueInArray(kScreenWidths) : geometry(in);
  scenario.screen.twipsPerPixelX = in.ConsumeBool() ? in.PickValueInArray(kTwips) : geometry(in);

  auto& form = scenario.form;
  form.width = in.ConsumeBool() ? 9600 : geometry(in);
  form.height = in.ConsumeBool() ? 7200 : geometry(in);
  if (in.ConsumeBool()) {
    form.frameWidth = geometry(in);
    form.frameHeight = geometry(in);
  }
  form.windowState = static_cast<std::int16_t>(in.ConsumeIntegralInRange<int>(0, 2));

  // The controls; the first Tolvane goes where the bytes say, a second one sometimes.
  std::set<std::string, std::less<>> names;
  std::vector<std::string> tolvanes;
  const int count = in.ConsumeIntegralInRange<int>(0, 300);
  const int tolvaneAt = in.ConsumeIntegralInRange<int>(0, count);
  for (int i = 0; i <= count; ++i) {
    ControlSpec c;
    if (i == tolvaneAt) {
      c.name = "Tolvane1";
      c.kind = "Tolvane";
    } else if (in.ConsumeIntegralInRange<int>(0, 40) == 0 && tolvanes.size() < 2) {
      c.name = "Tolvane2";
      c.kind = "Tolvane";
    } else {
      c.name = in.ConsumeBool() ? std::string(in.PickValueInArray(kNames)) : "ctl" + std::to_string(i);
    }
    if (names.count(c.name)) continue;
    c.left = geometry(in);
    c.top = geometry(in);
    c.width = geometry(in);
    c.height = geometry(in);
    c.fontSize = in.ConsumeBool() ? 8.25 : geometry(in);
    if (in.ConsumeIntegralInRange<int>(0, 3) == 0) c.text = std::string(in.PickValueInArray(kTexts));
    if (in.ConsumeIntegralInRange<int>(0, 2) == 0) c.fontBold = in.ConsumeBool();
    c.visible = in.ConsumeBool();
    if (in.ConsumeIntegralInRange<int>(0, 4) == 0) {
      std::vector<std::string> members;
      for (auto m : kMembers) {
        if (in.ConsumeBool()) members.emplace_back(m);
      }
      c.members = std::move(members);
    }
    names.insert(c.name);
    if (c.kind == "Tolvane") tolvanes.push_back(c.name);
    form.controls.push_back(std::move(c));
  }

  // The schedule. Store hooks are host code, set up before play.
  std::vector<Hook> hooks;
  const std::vector<std::string> nameList(names.begin(), names.end());
  const auto pickName = [&] { return nameList[in.ConsumeIntegralInRange<std::size_t>(0, nameList.size() - 1)]; };
  const auto pickTolvane = [&] { return tolvanes[in.ConsumeIntegralInRange<std::size_t>(0, tolvanes.size() - 1)]; };
  if (in.ConsumeBool()) scenario.steps.emplace_back(tolvane::app::LoadStep{});
  const int steps = in.ConsumeIntegralInRange<int>(0, 40);
  for (int s = 0; s < steps && in.remaining_bytes() > 0; ++s) {
    switch (in.ConsumeIntegralInRange<int>(0, 13)) {
      case 0: scenario.steps.emplace_back(tolvane::app::LoadStep{}); break;
      case 1:
      case 2: scenario.steps.emplace_back(tolvane::app::ResizeStep{geometry(in), geometry(in)}); break;
      case 3: scenario.steps.emplace_back(tolvane::app::MinimizeStep{}); break;
      case 4: scenario.steps.emplace_back(tolvane::app::RestoreStep{}); break;
      case 5: {
        tolvane::app::MaximizeStep m;
        if (in.ConsumeBool()) {
          m.width = geometry(in);
          m.height = geometry(in);
        }
        scenario.steps.emplace_back(m);
        break;
      }
      case 6: {
        static constexpr std::string_view kProperties[] = {"ResizeFont", "KeepRatio", "gfLowRes", "mfRebuild"};
        scenario.steps.emplace_back(tolvane::app::SetStep{pickTolvane(), std::string(in.PickValueInArray(kProperties)),
                                                          Value{in.ConsumeBool()}});
        break;
      }
      case 7: {
        static constexpr std::string_view kFormMembers[] = {"Width", "Height", "WindowState"};
        scenario.steps.emplace_back(
            tolvane::app::SetStep{form.name, std::string(in.PickValueInArray(kFormMembers)), anyValue(in)});
        break;
      }
      case 8:
        scenario.steps.emplace_back(
            tolvane::app::SetStep{pickName(), std::string(in.PickValueInArray(kMembers)), anyValue(in)});
        break;
      case 9:
      case 10:
        scenario.steps.emplace_back(tolvane::app::CallStep{pickTolvane(), in.ConsumeBool() ? "Rebuild" : "Refresh"});
        break;
      case 11: {
        const std::string object = in.ConsumeBool() ? pickName() : std::string(in.PickValueInArray(kFailObjects));
        const std::string target = in.ConsumeIntegralInRange<int>(0, 3) == 0 ? object + ".Font" : object;
        static constexpr Op kOps[] = {Op::Get, Op::Set, Op::Call};
        scenario.steps.emplace_back(
            tolvane::app::FailStep{target, std::string(in.PickValueInArray(kFailMembers)), in.PickValueInArray(kOps)});
        break;
      }
      case 12: {
        tolvane::model::ScreenSpec screen;
        screen.width = in.ConsumeBool() ? in.PickValueInArray(kScreenWidths) : geometry(in);
        screen.twipsPerPixelX = in.ConsumeBool() ? in.PickValueInArray(kTwips) : geometry(in);
        scenario.steps.emplace_back(tolvane::app::ScreenStep{screen});
        break;
      }
      default: {
        const auto action = static_cast<Hook::Action>(in.ConsumeIntegralInRange<int>(0, 3));
        const std::string target = action == Hook::Action::Remove ? pickName() : pickTolvane();
        hooks.push_back(Hook{pickName(), std::string(in.PickValueInArray(kMembers)), action, target});
        break;
      }
    }
  }

  Player player(scenario);
  auto& world = player.world();

  // Host code in the stores: it calls Rebuild or Refresh, nested in one another as deep as the
  // budget of the input allows (past the control's depth bound), releases a control or removes one
  // from the form. `removedAt` keeps where in the step's log each removal happened. The budget is
  // for the whole input, so that an input stays well inside the time limit of a unit.
  int budget = kMaxPassDepth + 136;
  std::map<std::string, std::size_t, std::less<>> removedAt;
  for (const auto& hook : hooks) {
    auto control = world.form->find(hook.control);
    if (!control) continue;
    auto previous = control->onStore;
    control->onStore = [&, hook, previous](std::string_view member) {
      if (previous) previous(member);
      if (member != hook.member || budget <= 0) return;
      --budget;
      switch (hook.action) {
        case Hook::Action::Release: player.release(hook.target); return;
        case Hook::Action::Remove:
          if (world.form->remove(hook.target)) removedAt.emplace(hook.target, world.recorder.writes.size());
          return;
        case Hook::Action::Rebuild:
        case Hook::Action::Refresh: break;
      }
      tolvane::Tolvane* target = player.control(hook.target);
      if (target == nullptr) throw tolvane::host::HostError(tolvane::host::Failure::NoValue, "object variable not set");
      if (hook.action == Hook::Action::Rebuild) {
        target->Rebuild();
      } else {
        target->Refresh();
      }
    };
  }

  // A write that succeeded reached an object on the form: the form, or a control (or its font) not
  // yet removed when the write was made.
  const auto onForm = [&](const Write& w, std::size_t at) {
    if (!w.error.empty() || w.kind == Write::Kind::EventFailure) return true;
    std::string_view object = w.object;
    if (object == form.name) return true;  // the form itself, or a control of its name: the log cannot tell
    if (object.ends_with(".Font")) object.remove_suffix(5);
    const auto removed = removedAt.find(object);
    return removed == removedAt.end() || at < removed->second;
  };

  const std::string formName = form.name;
  for (std::size_t i = 0; i < player.stepCount(); ++i) {
    removedAt.clear();
    player.playStep(i);
    const auto& writes = world.recorder.writes;
    for (std::size_t at = 0; at < writes.size(); ++at) {
      const Write& w = writes[at];
      for (const Value& v : w.values) {
        if (!inRangeForMember(w, v)) violated(&w, "a number that is not finite or beyond its member's type");
      }
      std::string why;
      if (!allowedType(names, formName, tolvanes, w, why)) violated(&w, why);
      if (!onForm(w, at)) violated(&w, "a write reached a control no longer on the form");
      if (!scenario.userMode && w.kind != Write::Kind::EventFailure &&
          std::find(tolvanes.begin(), tolvanes.end(), w.object) == tolvanes.end()) {
        violated(&w, "a write at design time");
      }
    }
    for (const auto& name : tolvanes) {
      const tolvane::Tolvane* control = player.control(name);
      if (control == nullptr) continue;  // released
      if (control->state().sfBusy) violated(nullptr, name + " left busy after step " + std::to_string(i + 1));
      if (control->state().passDepth != 0) violated(nullptr, name + " left inside a pass after step " + std::to_string(i + 1));
    }
  }
  return 0;
}
