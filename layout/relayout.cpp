#include "layout/relayout.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "hostmodel/convert.h"
#include "hostmodel/guard.h"
#include "hostrules/arrange_buttons.h"
#include "hostrules/reflow_panes.h"

namespace tolvane::layout {

using host::guarded;
using host::guardedTest;
using host::Held;
using host::Statement;
using host::convert::readSingle;
using host::convert::single;
using host::convert::toI16;
using host::convert::toNumber;

namespace {

constexpr double kLowResFactor = 0.85;
constexpr double kListMargin = 180;
constexpr std::int16_t kLowResPaneHeight = 3570;
constexpr std::int16_t kLowResPixels = 640;
constexpr std::int16_t kMidResPixels = 800;
constexpr float kLargeFontTwipsPerPixel = 12;
constexpr std::string_view kSplitter = "lblHorDrag";

enum class ScreenClass { LowResolution, LargeFonts, Normal };

// A ratio that could not be formed (the snapshot's inner size is 0, the form's cannot be read) is
// no ratio at all: every store that depends on it is skipped rather than collapsing controls to 0.
double formed(Statement& s, const std::optional<float>& ratio) {
  if (!ratio) s.fail();
  return ratio.value_or(0.0f);
}

class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

// One pass from step 5 on: every statement guarded, working values fresh for every call.
class Pass {
 public:
  explicit Pass(TolvaneState& state) : state_(state) {}

  void run() {
    ParentFormRef::Use use(state_.ParentForm);
    formRatios();
    classifyScreen();
    applyRecords();
    fixLowResPaneHeights();
    guarded([&](Statement&) { hostrules::ArrangeButtons(state_); });
    if (state_.gfLowRes) guarded([&](Statement&) { hostrules::ReflowPanes(state_); });
  }

 private:
  // `ParentForm`, fetched afresh for the statement.
  Held form(Statement& s) const { return state_.parentForm(s); }

  void formRatios() {
    guarded([&](Statement& s) {
      s.let(sWidthRatio, s.toSingle(s.quotient(s.readSingle(form(s).get("ScaleWidth")), state_.msOrigScaleWidth)));
    });
    guarded([&](Statement& s) {
      s.let(sHeightRatio, s.toSingle(s.quotient(s.readSingle(form(s).get("ScaleHeight")), state_.msOrigScaleHeight)));
    });
    guarded([&](Statement& s) {
      s.let(sFontRatio, formed(s, sWidthRatio) < formed(s, sHeightRatio) ? sWidthRatio : sHeightRatio);
    });
  }

  void classifyScreen() {
    guarded([&](Statement& s) {
      auto screen = s.hold(state_.site.screen());
      s.let(iScreenPixels, s.toI16(s.quotient(s.readSingle(screen.get("Width")), s.readSingle(screen.get("TwipsPerPixelX")))));
    });
    f640 = iScreenPixels == kLowResPixels;
    f800 = iScreenPixels == kMidResPixels;
    fLargeFonts = guardedTest([&](Statement& s) {
      return s.readSingle(s.hold(state_.site.screen()).get("TwipsPerPixelX")) == kLargeFontTwipsPerPixel;
    });
    if (f640 || (f800 && fLargeFonts)) {
      screenClass = ScreenClass::LowResolution;
    } else if (fLargeFonts) {
      screenClass = ScreenClass::LargeFonts;
    } else {
      screenClass = ScreenClass::Normal;
    }
  }

  void applyRecords() {
    // The bound is read once; the index is a 16-bit integer, which the snapshot's size respects.
    const std::size_t records = state_.maControls.size();
    for (std::size_t i = 0; i < records; ++i) {
      // The record is used in place: it stays allocated, and the control it held stays alive, until
      // its last store has returned.
      ControlRecords::Lock lock(state_.maControls);
      apply(state_.maControls.at(i));
    }
  }

  void apply(const ControlInfo& rec) {
    if (state_.ResizeFont) {
      guarded([&](Statement& s) {
        s.inPlace(rec.Ctl).object("Font").put("Size", s.single(formed(s, sFontRatio) * rec.FontSize));
      });
    }
    switch (screenClass) {
      case ScreenClass::LowResolution:
        state_.gfLowRes = true;
        guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Left", s.asDouble(formed(s, sWidthRatio) * rec.Left * kLowResFactor)); });
        guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Top", s.asDouble(formed(s, sHeightRatio) * rec.Top * kLowResFactor)); });
        guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Width", s.asDouble(formed(s, sWidthRatio) * rec.Width * kLowResFactor)); });
        guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Height", s.asDouble(formed(s, sHeightRatio) * rec.Height * kLowResFactor)); });
        widenListPanes();
        break;
      case ScreenClass::LargeFonts:
        storeProportional(rec);
        break;
      case ScreenClass::Normal:
        // On a normal screen the splitter keeps the place it has. (Compared as a view: most names
        // differ from it in length already.)
        if (guardedTest([&](Statement& s) {
              return std::string_view(s.toText(s.inPlace(rec.Ctl).get("Name"))) != kSplitter;
            })) {
          storeProportional(rec);
        }
        break;
    }
  }

  void storeProportional(const ControlInfo& rec) {
    guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Left", s.single(formed(s, sWidthRatio) * rec.Left)); });
    guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Top", s.single(formed(s, sHeightRatio) * rec.Top)); });
    guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Width", s.single(formed(s, sWidthRatio) * rec.Width)); });
    guarded([&](Statement& s) { s.inPlace(rec.Ctl).put("Height", s.single(formed(s, sHeightRatio) * rec.Height)); });
  }

  // The list panes are widened to the room right of the splitter, never narrowed.
  void widenListPanes() {
    guarded([&](Statement& s) {
      s.let(lListWidth, s.toI32(s.readSingle(form(s).get("ScaleWidth")) -
                                s.toNumber(form(s).control("lblHorDrag").get("Left")) - kListMargin));
    });
    if (guardedTest([&](Statement& s) { return s.toNumber(form(s).control("lstAllRecs").get("Width")) < lListWidth; })) {
      guarded([&](Statement& s) { form(s).control("lstAllRecs").put("Width", host::Value{lListWidth}); });
      guarded([&](Statement& s) { form(s).control("TreeView1").put("Width", host::Value{lListWidth}); });
      guarded([&](Statement& s) { form(s).control("lstSearchResults").put("Width", host::Value{lListWidth}); });
    }
  }

  void fixLowResPaneHeights() {
    if (!state_.gfLowRes) return;
    guarded([&](Statement& s) { form(s).control("WebBrowser1").put("Height", host::Value{kLowResPaneHeight}); });
    guarded([&](Statement& s) { form(s).control("Text1").put("Height", host::Value{kLowResPaneHeight}); });
  }

  TolvaneState& state_;
  std::optional<float> sWidthRatio;
  std::optional<float> sHeightRatio;
  std::optional<float> sFontRatio;
  std::int16_t iScreenPixels = 0;
  bool f640 = false;
  bool f800 = false;
  bool fLargeFonts = false;
  std::int32_t lListWidth = 0;
  ScreenClass screenClass = ScreenClass::Normal;
};

}  // namespace

void Refresh(TolvaneState& state) {
  // Entry tests; their failures go back to the caller.
  if (toI16(toNumber(state.parentForm()->get("WindowState"))) == 1) return;
  if (state.sfBusy) return;
  if (!userMode(state)) return;

  // Hold the height-to-width ratio. The height store raises a nested Resize, whose Refresh
  //    returns at the busy test; sfBusy is cleared again whether or not the store succeeds.
  if (state.KeepRatio) {
    BusyScope busy(state.sfBusy);
    state.parentForm()->put("Height", single(readSingle(state.parentForm()->get("Width")) * double{state.msHeightRatio}));
  }

  // From here on every statement is guarded.
  Pass(state).run();
}

}  // namespace tolvane::layout
