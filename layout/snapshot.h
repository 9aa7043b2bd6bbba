#pragma once

#include "control/state.h"

namespace tolvane::layout {

// Records the form's inner size and every control's position, size and font size. Moves nothing,
// reports nothing and always returns normally.
void Rebuild(TolvaneState& state);

}  // namespace tolvane::layout
