#include "hostrules/arrange_buttons.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "hostmodel/convert.h"
#include "hostmodel/guard.h"

namespace tolvane::hostrules {

using host::guarded;
using host::guardedTest;
using host::Statement;

namespace {

constexpr double kSplitterGap = 10;

// One row of the visibility rules: the button it governs (none for the pane row) and its room
// thresholds in twips, for the normal and the low-resolution layout.
struct Row {
  std::string_view button;
  double threshold;
  double lowResThreshold;
};

constexpr std::array<Row, 7> kRows{{
    {"cmdSearchResults", 2400, 2000},
    {"cmdFavorites", 1815, 1415},
    {"cmdAllRecs", 1200, 830},
    {"cmdAddTV", 1200, 830},
    {"", 595, 200},  // the panes
    {"cmdDelTV", 2400, 2000},
    {"cmdNewTV", 1815, 1415},
}};

constexpr std::array<std::string_view, 3> kPanes{"lstAllRecs", "TreeView1", "lstSearchResults"};

// The tabs in the order they are tested, each with the pane it selects.
struct Tab {
  std::string_view button;
  std::string_view pane;
};
constexpr std::array<Tab, 3> kTabs{{
    {"cmdAllRecs", "lstAllRecs"},
    {"cmdFavorites", "TreeView1"},
    {"cmdSearchResults", "lstSearchResults"},
}};

}  // namespace

void ArrangeButtons(TolvaneState& state) {
  ParentFormRef::Use use(state.ParentForm);
  // A control of the form by name, looked up afresh for every statement.
  const auto control = [&](Statement& s, std::string_view name) { return state.parentForm(s).control(name); };
  const auto show = [&](std::string_view name, bool visible) {
    guarded([&](Statement& s) { control(s, name).put("Visible", host::Value{visible}); });
  };

  // The splitter goes 10 twips right of the browser pane, with the browser's top and height.
  guarded([&](Statement& s) {
    const host::Value left[] = {s.asDouble(s.toNumber(control(s, "WebBrowser1").get("Left")) +
                                      s.toNumber(control(s, "WebBrowser1").get("Width")) + kSplitterGap)};
    control(s, "lblHorDrag").call("Move", left);
  });
  guarded([&](Statement& s) { control(s, "lblHorDrag").put("Top", s.finiteAsRead(control(s, "WebBrowser1").get("Top"))); });
  guarded([&](Statement& s) { control(s, "lblHorDrag").put("Height", s.finiteAsRead(control(s, "WebBrowser1").get("Height"))); });

  // The splitter's edge as the host applied it.
  std::int32_t E = 0;
  guarded([&](Statement& s) { s.let(E, s.toI32(s.toNumber(control(s, "lblHorDrag").get("Left")))); });

  // Each row has room when ScaleWidth - threshold > E; a test that cannot be made counts as no room.
  for (const Row& row : kRows) {
    const double threshold = state.gfLowRes ? row.lowResThreshold : row.threshold;
    const bool noRoom = guardedTest([&](Statement& s) {
      return !(s.readSingle(state.parentForm(s).get("ScaleWidth")) - threshold > E);
    });
    if (!row.button.empty()) {
      show(row.button, !noRoom);
    } else if (noRoom) {
      for (const auto pane : kPanes) show(pane, false);
    } else {
      // The pane of the first bold tab is shown; a tab whose boldness cannot be read counts as bold.
      for (const Tab& tab : kTabs) {
        if (guardedTest([&](Statement& s) { return s.equalsTrue(control(s, tab.button).get("FontBold")); })) {
          show(tab.pane, true);
          break;
        }
      }
    }
  }

  // The first run after the form's load keeps the last button of each row visible.
  if (state.mfRebuild) {
    state.mfRebuild = false;
    show("cmdSearchResults", true);
    show("cmdDelTV", true);
  }
}

}  // namespace tolvane::hostrules
