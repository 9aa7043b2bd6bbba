// Screenshots of a window's inner area as PNG files, encoded by the Windows Imaging Component.
#pragma once

#include <windows.h>

#include <string>

namespace tolvane::demohost {

// Writes what the screen shows of `window`'s inner area to `path`; false when there is nothing to
// capture or the file cannot be written.
bool writeScreenshot(HWND window, const std::wstring& path);

}  // namespace tolvane::demohost
