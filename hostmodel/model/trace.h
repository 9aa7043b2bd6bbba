// The trace: one line per write the host received, as reviewers and tests read it.
//   cmdAllRecs.Font.Size = 9.5 f32
//   lblHorDrag.Move(8250 f64)
//   lstAllRecs.Width = 5820 i32 ! lstAllRecs has no member Width
#pragma once

#include <optional>
#include <string>

#include "hostmodel/model/model_form.h"

namespace tolvane::model {

// A value with its type, `850 f64`, `true bool`, `"False" str`; numbers in their shortest
// round-trip form for their type.
std::string formatValue(const host::Value& value);

std::string formatWrite(const Write& write);

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
