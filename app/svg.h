// Pictures of the model form: the window to scale, every control a labelled rectangle at its
// geometry, drawn from the form's current state (never from the trace).
//
// The SVG's user units are twips, so a rectangle's numbers are the control's own numbers: inside the
// group `<g id="inner" transform="translate(X Y)">` a control's rect has x = Left, y = Top,
// width = Width, height = Height exactly as the model form holds them (shortest round-trip form).
// Each such rect carries `data-name="<control>"` and a class list starting with `control`; `hidden`
// in the class list marks a control whose Visible is false. The picture is shown at 15 twips per
// pixel, unless the form is too large for that (see kMaxDrawnPixels). The same state and caption give the same text, byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/change.h"
#include "hostmodel/model/model_form.h"

namespace tolvane::app {

// Twips per pixel of the picture itself: the size a 96-DPI screen shows the form at.
inline constexpr double kPictureTwipsPerPixel = 15;

// Text made safe for XML character data and attribute values: & < > " ' become entities, and
// characters XML cannot carry at all (control characters other than tab, line feed and carriage
// return, and malformed UTF-8) become U+FFFD.
std::string escapeXml(std::string_view text);

// A number as it stands in the model, for coordinates: the shortest text that reads back as the
// same double (never "-0"), so a reader of the picture can compare it with the model exactly.
std::string svgNumber(double x);

// How each kind of control is painted, shared by the still pictures and the animation.
struct Style {
  const char* cls;     // the class after "control"
  const char* fill;
  const char* stroke;
  const char* legend;  // what the legend calls it
};
Style styleOf(Role role);
// The <defs> element with the hatchings the list panes' fills refer to.
extern const char* const kPanePatterns;

struct PictureCaption {
  std::string title;               // the first line, in bold: what the picture shows
  std::string change;              // what the step changed, in words; empty for the first picture
  std::vector<std::string> notes;  // further lines under the form's size and the screen
};

struct Picture {
  std::string svg;                // the whole document
  double width = 0, height = 0;  // its size in pixels
};

// Drawings larger than this, in pixels either way, are scaled down to fit and the caption says so.
inline constexpr double kMaxDrawnPixels = 2400;

// The form as it stands now. With `previous` (the form as the step before left it), the change is
// drawn too: the earlier place of every control that moved or was resized as a faint ghost
// outline (class `ghost`), the control itself highlighted (class `changed`), and a tag on every
// control the step hid or showed (class `tag`).
Picture drawForm(const model::ModelForm& form, const model::ScreenSpec& screen, const PictureCaption& caption,
                 const FormFrame* previous = nullptr);

}  // namespace tolvane::app
