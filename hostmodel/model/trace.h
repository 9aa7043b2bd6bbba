// The trace: one line per write the host received, as reviewers and tests read it.
//   cmdAllRecs.Font.Size = 9.5 f32
//   lblHorDrag.Move(8250 f64)
//   lstAllRecs.Width = 5820 i32 ! lstAllRecs has no member Width
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hostmodel/model/model_form.h"

namespace tolvane::model {

// A value with its type, `850 f64`, `true bool`, `"False" str`; numbers in their shortest
// round-trip form for their type.
std::string formatValue(const host::Value& value);

std::string formatWrite(const Write& write);

// `text` with every character that could end or break a line (control characters, DEL, and the
// Unicode line and paragraph separators) written as an escape (`\n`, `\x1b`, `\u2028`), so that
// whatever a name or a text holds it prints as part of one line.
std::string escapedText(std::string_view text);

// Text as the trace shows a text value: in double quotes, with `"` and `\` escaped as well.
std::string quotedText(std::string_view text);

// The final state table: `name left top width height font visible`, one row per control, numbers
// in shortest form, `-` for a member the control lacks.
struct StateRow {
  std::string name;
  std::optional<double> left, top, width, height, fontSize;
  std::optional<bool> visible;
};
std::string formatStateHeader();
std::string formatStateRow(const StateRow& row);

}  // namespace tolvane::model
