// The form drawn once per relayout. A relayout stores every control's Left, Top, Width and Height
// one by one; a form that paints through windows would erase and draw each control at every
// intermediate place. Around each pass (the form's Resize handler, Refresh, Rebuild) the form's
// redraw is switched off and, after it, on again with one redraw of everything. Nested passes (a
// Refresh that the form's own code runs from inside a store) switch it at the outermost level only.
#pragma once

#include <functional>
#include <optional>

#include "hostmodel/host.h"
#include "win/redraw_suspended.h"

namespace tolvane::com {

class FormRedraw {
 public:
  // `formWindow` finds the form's window when a pass starts; null when there is none.
  explicit FormRedraw(std::function<HWND()> formWindow) : formWindow_(std::move(formWindow)) {}

  class Pass {
   public:
    explicit Pass(FormRedraw& redraw) noexcept;
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    FormRedraw& redraw_;
    std::optional<win::RedrawSuspended> off_;
  };

  // The extender's `Parent` as the control takes it: converted to a form, that form's Resize
  // handler runs as a pass. Everything else goes to `parent` unchanged.
  host::ObjectRef parent(host::ObjectRef parent);

 private:
  std::function<HWND()> formWindow_;
  int depth_ = 0;
};

}  // namespace tolvane::com
