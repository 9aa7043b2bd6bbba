// What a step changed on the form: a frame of the form's state taken after each step, and the
// comparison of two frames that the pictures draw and their captions put into words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostmodel/model/model_form.h"

namespace tolvane::app {

// The kinds of control a picture tells apart: the host form's named panes and splitter, buttons,
// the layout control itself and everything else.
enum class Role { Splitter, AllRecs, Tree, Search, Browser, Button, Layout, Other };
Role roleOf(const std::string& name, const std::string& kind);

struct ControlFrame {
  std::string name, kind;
  bool drawable = false;  // has a Left, Top, Width and Height, all finite numbers
  double left = 0, top = 0, width = 0, height = 0;
  bool visible = true;
  std::optional<double> fontSize;
};

struct FormFrame {
  double width = 0, height = 0, scaleWidth = 0, scaleHeight = 0;
  std::int16_t windowState = 0;
  std::vector<ControlFrame> controls;  // in the form's order
};

FormFrame captureFrame(const model::ModelForm& form);

struct ControlChange {
  bool moved = false, resized = false, hidden = false, shown = false, fontChanged = false;
  bool geometry() const { return moved || resized; }
  bool any() const { return moved || resized || hidden || shown || fontChanged; }
};

// `controls[i]` belongs to `after.controls[i]`; a control is matched by name, and one the earlier
// frame lacks counts as unchanged.
struct FormChange {
  bool formResized = false, windowStateChanged = false;
  std::vector<ControlChange> controls;
  bool any() const;
};

FormChange compare(const FormFrame& before, const FormFrame& after);

// The caption line of a step: "14 controls moved or resized, 3 panes hidden", "form minimised",
// "layout recorded" when nothing changed but a layout snapshot was taken, else "no change".
std::string describeChange(const FormChange& change, const FormFrame& after, bool layoutRecorded);

}  // namespace tolvane::app
