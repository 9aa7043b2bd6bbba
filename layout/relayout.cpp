#include "layout/relayout.h"

#include <cstdint>
#include <optional>

#include "hostmodel/convert.h"
#include "hostmodel/guard.h"
#include "hostrules/arrange_buttons.h"
#include "hostrules/reflow_panes.h"

namespace tolvane::layout {

using host::guarded;
using host::guardedTest;
using host::held;
using host::convert::dbl;
using host::convert::quotient;
using host::convert::readSingle;
using host::convert::single;
using host::convert::toI16;
using host::convert::toI32;
using host::convert::toNumber;
using host::convert::toSingle;
using host::convert::toText;

namespace {

constexpr double kLowResFactor = 0.85;
constexpr double kListMargin = 180;
constexpr std::int16_t kLowResPaneHeight = 3570;
constexpr std::int16_t kLowResPixels = 640;
constexpr std::int16_t kMidResPixels = 800;
constexpr float kLargeFontTwipsPerPixel = 12;

enum class ScreenClass { LowResolution, LargeFonts, Normal };

// A ratio that could not be formed (the snapshot's inner size is 0, the form's cannot be read) is
// no ratio at all: every store that depends on it is skipped rather than collapsing controls to 0.
double formed(const std::optional<float>& ratio) {
  if (!ratio) throw host::HostError(host::Failure::NoValue, "ratio not formed");
  return *ratio;
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
    formRatios();
    classifyScreen();
    applyRecords();
    fixLowResPaneHeights();
    guarded([&] { hostrules::ArrangeButtons(state_); });
    if (state_.gfLowRes) guarded([&] { hostrules::ReflowPanes(state_); });
  }

 private:
  host::FormRef form() const { return state_.parentForm(); }

  void formRatios() {
    guarded([&] { sWidthRatio = toSingle(quotient(readSingle(form()->get("ScaleWidth")), state_.msOrigScaleWidth)); });
    guarded([&] { sHeightRatio = toSingle(quotient(readSingle(form()->get("ScaleHeight")), state_.msOrigScaleHeight)); });
    guarded([&] { sFontRatio = formed(sWidthRatio) < formed(sHeightRatio) ? sWidthRatio : sHeightRatio; });
  }

  void classifyScreen() {
    guarded([&] {
      const auto screen = state_.site.screen();
      iScreenPixels = toI16(quotient(readSingle(screen->get("Width")), readSingle(screen->get("TwipsPerPixelX"))));
    });
    f640 = iScreenPixels == kLowResPixels;
    f800 = iScreenPixels == kMidResPixels;
    fLargeFonts = guardedTest([&] {
      return readSingle(state_.site.screen()->get("TwipsPerPixelX")) == kLargeFontTwipsPerPixel;
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
      // The record is used in place: it stays allocated until its last store has returned.
      ControlRecords::Lock lock(state_.maControls);
      apply(state_.maControls.at(i));
    }
  }

  void apply(const ControlInfo& rec) {
    if (state_.ResizeFont) {
      guarded([&] { held(rec.Ctl)->object("Font")->put("Size", single(formed(sFontRatio) * rec.FontSize)); });
    }
    switch (screenClass) {
      case ScreenClass::LowResolution:
        state_.gfLowRes = true;
        guarded([&] { held(rec.Ctl)->put("Left", dbl(formed(sWidthRatio) * rec.Left * kLowResFactor)); });
        guarded([&] { held(rec.Ctl)->put("Top", dbl(formed(sHeightRatio) * rec.Top * kLowResFactor)); });
        guarded([&] { held(rec.Ctl)->put("Width", dbl(formed(sWidthRatio) * rec.Width * kLowResFactor)); });
        guarded([&] { held(rec.Ctl)->put("Height", dbl(formed(sHeightRatio) * rec.Height * kLowResFactor)); });
        widenListPanes();
        break;
      case ScreenClass::LargeFonts:
        storeProportional(rec);
        break;
      case ScreenClass::Normal:
        // On a normal screen the splitter keeps the place it has.
        if (guardedTest([&] { return toText(held(rec.Ctl)->get("Name")) != "lblHorDrag"; })) storeProportional(rec);
        break;
    }
  }

  void storeProportional(const ControlInfo& rec) {
    guarded([&] { held(rec.Ctl)->put("Left", single(formed(sWidthRatio) * rec.Left)); });
    guarded([&] { held(rec.Ctl)->put("Top", single(formed(sHeightRatio) * rec.Top)); });
    guarded([&] { held(rec.Ctl)->put("Width", single(formed(sWidthRatio) * rec.Width)); });
    guarded([&] { held(rec.Ctl)->put("Height", single(formed(sHeightRatio) * rec.Height)); });
  }

  // The list panes are widened to the room right of the splitter, never narrowed.
  void widenListPanes() {
    guarded([&] {
      lListWidth = toI32(readSingle(form()->get("ScaleWidth")) - toNumber(form()->control("lblHorDrag")->get("Left")) -
                         kListMargin);
    });
    if (guardedTest([&] { return toNumber(form()->control("lstAllRecs")->get("Width")) < lListWidth; })) {
      guarded([&] { form()->control("lstAllRecs")->put("Width", host::Value{lListWidth}); });
      guarded([&] { form()->control("TreeView1")->put("Width", host::Value{lListWidth}); });
      guarded([&] { form()->control("lstSearchResults")->put("Width", host::Value{lListWidth}); });
    }
  }

  void fixLowResPaneHeights() {
    if (!state_.gfLowRes) return;
    guarded([&] { form()->control("WebBrowser1")->put("Height", host::Value{kLowResPaneHeight}); });
    guarded([&] { form()->control("Text1")->put("Height", host::Value{kLowResPaneHeight}); });
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
  // 1-3. Entry tests; their failures go back to the caller.
  if (toI16(toNumber(state.parentForm()->get("WindowState"))) == 1) return;
  if (state.sfBusy) return;
  if (!userMode(state)) return;

  // 4. Hold the height-to-width ratio. The height store raises a nested Resize, whose Refresh
  //    returns at the busy test; sfBusy is cleared again whether or not the store succeeds.
  if (state.KeepRatio) {
    BusyScope busy(state.sfBusy);
    state.parentForm()->put("Height", single(readSingle(state.parentForm()->get("Width")) * double{state.msHeightRatio}));
  }

  // 5. From here on every statement is guarded.
  Pass(state).run();
}

}  // namespace tolvane::layout
