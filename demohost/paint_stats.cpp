#include "demohost/paint_stats.h"

#include <commctrl.h>

#include <algorithm>

namespace tolvane::demohost {

namespace {

LONGLONG now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

}  // namespace

PaintStats::PaintStats() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  ticksPerMs_ = static_cast<double>(frequency.QuadPart) / 1000.0;
}

PaintStats::~PaintStats() {
  for (std::size_t slot = 0; slot < watched_.size(); ++slot) {
    if (watched_[slot].window != nullptr) RemoveWindowSubclass(watched_[slot].window, &PaintStats::subclassProc, slot);
  }
}

void PaintStats::watch(HWND window) {
  if (window == nullptr) return;
  // The subclass's identifier is the window's slot; its data is the counter.
  watched_.push_back({window, 0});
  if (!SetWindowSubclass(window, &PaintStats::subclassProc, watched_.size() - 1, reinterpret_cast<DWORD_PTR>(this))) {
    watched_.back().window = nullptr;
  }
}

LRESULT CALLBACK PaintStats::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR slot,
                                          DWORD_PTR counter) {
  auto* self = reinterpret_cast<PaintStats*>(counter);
  self->seen(slot, message, lParam);
  if (message == WM_NCDESTROY) {
    self->watched_[slot].window = nullptr;
    RemoveWindowSubclass(window, &PaintStats::subclassProc, slot);
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void PaintStats::seen(std::size_t slot, UINT message, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      if (depth_ > 0) ++intermediateErases_;
      break;
    case WM_PAINT:
      ++paints_;
      break;
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
        ++moves_;
        ++watched_[slot].moves;
      }
      break;
    }
    default:
      break;
  }
}

void PaintStats::relayoutBegins() {
  if (depth_++ == 0) relayoutStarted_ = now();
}

void PaintStats::relayoutEnds() {
  if (depth_ > 0 && --depth_ == 0) relayoutTicks_ += now() - relayoutStarted_;
}

void PaintStats::newStep() {
  relayoutTicks_ = 0;
  moves_ = 0;
  intermediateErases_ = 0;
  paints_ = 0;
  for (Watched& w : watched_) w.moves = 0;
}

StepPaint PaintStats::step() const {
  StepPaint s;
  s.relayoutMs = static_cast<double>(relayoutTicks_) / ticksPerMs_;
  s.moves = moves_;
  for (const Watched& w : watched_) s.maxMovesPerWindow = std::max(s.maxMovesPerWindow, w.moves);
  s.intermediateErases = intermediateErases_;
  s.paints = paints_;
  return s;
}

}  // namespace tolvane::demohost
