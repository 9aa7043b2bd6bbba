// The selection of a GDI object into a device context, undone when it goes.
#pragma once

#include <windows.h>

namespace tolvane::win {

class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
  ~ScopedSelection() { SelectObject(dc_, old_); }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace tolvane::win
