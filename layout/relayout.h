#pragma once

#include "control/state.h"

namespace tolvane::layout {

// Lays the form out again from the snapshot, in proportion to its current inner size, then applies
// the host form's rules. Fails, with the host's error, only in its entry steps.
void Refresh(TolvaneState& state);

}  // namespace tolvane::layout
