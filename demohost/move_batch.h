// The moves of the form's child windows held while the form is laid out, then made at once. A
// control's Left, Top, Width and Height arrive as separate stores, each of which would move the
// window, redraw it and read it back; held, each window moves once per relayout, with one
// BeginDeferWindowPos/DeferWindowPos/EndDeferWindowPos, and a read in the meantime returns the held
// rectangle.
#pragma once

#include <windows.h>

#include <vector>

namespace tolvane::demohost {

// A child window's rectangle in its parent's client coordinates.
RECT placeInParent(HWND window);

class MoveBatch {
 public:
  // Where a window's held rectangle is; valid until the batch is made.
  struct Slot {
    std::size_t index = 0;
    unsigned generation = 0;
  };

  // Holds moves until the outermost hold ends, which makes them.
  class Hold {
   public:
    explicit Hold(MoveBatch& batch) : batch_(batch) { ++batch_.depth_; }
    ~Hold() {
      if (--batch_.depth_ == 0) batch_.apply();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    MoveBatch& batch_;
  };

  bool holding() const { return depth_ > 0; }

  // Holds `rect` (in the parent's client coordinates) as the new place of `window`.
  void put(HWND window, const RECT& rect, Slot& slot);
  // The rectangle held in `slot`, or null when it holds none.
  const RECT* held(const Slot& slot) const;

  // Moves every window whose held rectangle differs from its place, in one deferred batch, and
  // forgets them. Also while holding: the moves that follow are held again.
  void apply();

 private:
  struct Move {
    HWND window;
    RECT rect;
  };
  std::vector<Move> moves_;  // kept allocated between batches
  unsigned generation_ = 1;  // a slot of an earlier batch is stale
  int depth_ = 0;
};

}  // namespace tolvane::demohost
