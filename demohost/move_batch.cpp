#include "demohost/move_batch.h"

namespace tolvane::demohost {

RECT placeInParent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

namespace {

constexpr UINT kMoveFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

}  // namespace

void MoveBatch::put(HWND window, const RECT& rect, Slot& slot) {
  if (slot.generation == generation_ && slot.index < moves_.size()) {
    moves_[slot.index].rect = rect;
    return;
  }
  slot = {moves_.size(), generation_};
  moves_.push_back({window, rect});
}

const RECT* MoveBatch::held(const Slot& slot) const {
  if (slot.generation != generation_ || slot.index >= moves_.size()) return nullptr;
  return &moves_[slot.index].rect;
}

void MoveBatch::apply() {
  if (moves_.empty()) return;
  // Only windows that really change place.
  std::size_t changed = 0;
  for (const Move& m : moves_) {
    const RECT now = placeInParent(m.window);
    if (!EqualRect(&m.rect, &now)) moves_[changed++] = m;
  }
  moves_.resize(changed);
  ++generation_;
  if (changed == 0) return;
  HDWP batch = BeginDeferWindowPos(static_cast<int>(changed));
  for (const Move& m : moves_) {
    if (batch == nullptr) break;
    batch = DeferWindowPos(batch, m.window, nullptr, m.rect.left, m.rect.top, m.rect.right - m.rect.left,
                           m.rect.bottom - m.rect.top, kMoveFlags);
  }
  if (batch == nullptr || !EndDeferWindowPos(batch)) {
    // The batch could not be made (no memory for it): each window is moved on its own instead.
    for (const Move& m : moves_) {
      SetWindowPos(m.window, nullptr, m.rect.left, m.rect.top, m.rect.right - m.rect.left, m.rect.bottom - m.rect.top,
                   kMoveFlags);
    }
  }
  moves_.clear();
}

}  // namespace tolvane::demohost
