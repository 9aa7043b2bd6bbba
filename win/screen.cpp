#include "win/screen.h"

#include "win/screen_dc.h"

namespace tolvane::win {

int screenDpi(int axis) noexcept {
  ScreenDC screen;
  const int dpi = screen ? GetDeviceCaps(screen.get(), axis) : 0;
  return dpi > 0 ? dpi : 0;
}

int screenDpiOrDefault(int axis) noexcept {
  const int dpi = screenDpi(axis);
  return dpi > 0 ? dpi : 96;
}

}  // namespace tolvane::win
