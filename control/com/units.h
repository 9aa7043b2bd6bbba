// The control's units: its size is kept in twips; containers speak HIMETRIC (OLE extents) and
// pixels (in-place rectangles), at the screen's logical resolution.
#pragma once

#include <windows.h>

#include <cmath>

#include "win/screen.h"

namespace tolvane::com {

inline constexpr float kTwipsPerInch = 1440.0f;
inline constexpr float kHimetricPerInch = 2540.0f;

inline LONG toHimetric(float twips) { return std::lround(twips * kHimetricPerInch / kTwipsPerInch); }
inline float fromHimetric(LONG himetric) { return static_cast<float>(himetric) * kTwipsPerInch / kHimetricPerInch; }

inline LONG toPixels(float twips) {
  return std::lround(twips * static_cast<float>(win::screenDpiOrDefault()) / kTwipsPerInch);
}
inline float fromPixels(LONG pixels) {
  return static_cast<float>(pixels) * kTwipsPerInch / static_cast<float>(win::screenDpiOrDefault());
}

}  // namespace tolvane::com
