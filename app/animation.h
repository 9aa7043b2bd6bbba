// One animated picture of a played scenario: the form grows and shrinks through the states its
// steps leave, and its controls glide between their places, so that the proportional layout can
// be seen at work in a single image. SMIL animation only, no script: it plays in a browser's <img>,
// and a program that does not animate draws the first state.
#pragma once

#include <string>
#include <vector>

#include "app/change.h"

namespace tolvane::app {

struct AnimationFrame {
  const FormFrame* frame;
  std::string caption;  // shown while the frame stands: which step, and what it changed
};

// Seconds each frame stands for, its move included, and the length of the move into it.
inline constexpr double kFrameSeconds = 2.2;
inline constexpr double kMoveSeconds = 0.8;

// The frames in order, looping back to the first. Each control is a rect with `data-name`, whose
// x, y, width, height and opacity are animated (`<animate attributeName=...>` with one value per
// keyframe); a control hidden in a frame is faint there, one without a drawable geometry invisible.
std::string drawAnimation(const std::string& title, const std::vector<AnimationFrame>& frames);

}  // namespace tolvane::app
