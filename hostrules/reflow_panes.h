#pragma once

#include "control/state.h"

namespace tolvane::hostrules {

// The low-resolution layout: the browser pane, the list panes and the two button rows re-flowed
// around the splitter. Never fails.
void ReflowPanes(TolvaneState& state);

}  // namespace tolvane::hostrules
