// The form every benchmark lays out: the host application's own controls where it has them, then
// plain controls in a grid up to the number asked for; and the screen classes it runs on.
#pragma once

#include "hostmodel/model/model_form.h"

namespace tolvane::bench {

struct ScreenClass {
  const char* name;
  double width;
  double twipsPerPixelX;
};
inline constexpr ScreenClass kClasses[] = {{"normal", 15360, 15}, {"large", 12288, 12}, {"low", 9600, 15}};

// A form of `n` controls (at least the application's own fourteen), the first of them the Tolvane control.
model::FormSpec benchForm(int n);

inline model::ScreenSpec screenOf(const ScreenClass& screen) { return {screen.width, screen.twipsPerPixelX}; }

}  // namespace tolvane::bench
