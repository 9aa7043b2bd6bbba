// Pictures of the model form: the window to scale, every control a labelled rectangle at its
// geometry, drawn from the form's current state (never from the trace).
//
// The SVG's user units are twips, so a rectangle's numbers are the control's own numbers: inside the
// group `<g id="inner" transform="translate(X Y)">` a control's rect has x = Left, y = Top,
// width = Width, height = Height exactly as the model form holds them (shortest round-trip form).
// Each such rect carries `data-name="<control>"` and a class list starting with `control`; `hidden`
// in the class list marks a control whose Visible is false. The picture is shown at 15 twips per
// pixel. The same state and caption give the same text, byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hostmodel/model/model_form.h"

namespace tolvane::app {

// Twips per pixel of the picture itself: the size a 96-DPI screen shows the form at.
inline constexpr double kPictureTwipsPerPixel = 15;

// Text made safe for XML character data and attribute values: & < > " ' become entities, and
// characters XML cannot carry at all (control characters other than tab, line feed and carriage
// return, and malformed UTF-8) become U+FFFD.
std::string escapeXml(std::string_view text);

struct PictureCaption {
  std::string title;               // the first line, in bold: what the picture shows
  std::vector<std::string> notes;  // further lines under the form's size and the screen
};

struct Picture {
  std::string svg;                // the whole document
  double width = 0, height = 0;  // its size in pixels
};

// The form as it stands now.
Picture drawForm(const model::ModelForm& form, const model::ScreenSpec& screen, const PictureCaption& caption);

}  // namespace tolvane::app
