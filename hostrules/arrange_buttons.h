#pragma once

#include "control/state.h"

namespace tolvane::hostrules {

// Snaps the splitter beside the browser pane and shows or hides the tab buttons, the tree buttons
// and the list panes by the room right of the splitter. Never fails.
void ArrangeButtons(TolvaneState& state);

}  // namespace tolvane::hostrules
