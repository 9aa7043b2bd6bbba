// The trace: one line per write the host received, as reviewers and tests read it.
//   cmdAllRecs.Font.Size = 9.5 f32
//   lblHorDrag.Move(8250 f64)
//   lstAllRecs.Width = 5820 i32 ! lstAllRecs has no member Width
#pragma once

#include <string>

#include "hostmodel/model/model_form.h"

namespace tolvane::model {

// A value with its type, `850 f64`, `true bool`, `"False" str`; numbers in their shortest
// round-trip form for their type.
std::string formatValue(const host::Value& value);

std::string formatWrite(const Write& write);

}  // namespace tolvane::model
