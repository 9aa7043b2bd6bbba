// What the window system does to the form and its child windows while a scenario plays: erases and
// paints of each window, its moves, and how long the form's relayouts take. Flicker is an erase of
// a window before the relayout has ended, when the window is about to move or change again; a
// window moved more than once per relayout is redrawn, and read back, for nothing. These counts let
// both be measured rather than seen.
#pragma once

#include <windows.h>

#include <vector>

namespace tolvane::demohost {

struct StepPaint {
  double relayoutMs = 0;       // the form's relayouts of the step, from the event's start to its end
  int moves = 0;               // moves and size changes of any window
  int maxMovesPerWindow = 0;   // of the window moved most often
  int intermediateErases = 0;  // erases of any window while a relayout runs
  int paints = 0;              // WM_PAINT of any window
};

class PaintStats {
 public:
  PaintStats();
  ~PaintStats();
  PaintStats(const PaintStats&) = delete;
  PaintStats& operator=(const PaintStats&) = delete;

  // Counts the messages of `window` from now on, until it is destroyed or the counter is.
  void watch(HWND window);

  // A relayout runs; nested ones count as one.
  void relayoutBegins();
  void relayoutEnds();

  // Starts a new step: every count back to zero.
  void newStep();
  StepPaint step() const;

 private:
  static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR slot,
                                       DWORD_PTR counter);
  void seen(std::size_t slot, UINT message, LPARAM lParam);

  struct Watched {
    HWND window;
    int moves;
  };
  std::vector<Watched> watched_;
  double ticksPerMs_;
  int depth_ = 0;
  LONGLONG relayoutStarted_ = 0;
  LONGLONG relayoutTicks_ = 0;
  int moves_ = 0;
  int intermediateErases_ = 0;
  int paints_ = 0;
};

}  // namespace tolvane::demohost
