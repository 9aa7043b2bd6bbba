// The screen's logical resolution, the one figure every twips/pixel/HIMETRIC conversion needs.
#pragma once

#include <windows.h>

namespace tolvane::win {

// Dots per inch along `axis` (LOGPIXELSX or LOGPIXELSY); 0 when the system cannot tell.
int screenDpi(int axis = LOGPIXELSX) noexcept;
// The same, or 96 (the platform's default) when the system cannot tell.
int screenDpiOrDefault(int axis = LOGPIXELSX) noexcept;

}  // namespace tolvane::win
