// Screenshots of a window as PNG files, written without any library: the pixels are stored in
// uncompressed deflate blocks, which every PNG reader takes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::demohost {

// RGB rows, top to bottom.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// What the screen shows of `window`'s inner area.
Picture captureWindow(HWND window);

std::vector<std::uint8_t> encodePng(const Picture& picture);

// Writes `picture` to `path`; false when the file cannot be written.
bool writePng(const Picture& picture, const std::wstring& path);

}  // namespace tolvane::demohost
