#include "hostrules/reflow_panes.h"

#include <cstdint>
#include <string_view>

#include "hostmodel/convert.h"
#include "hostmodel/guard.h"

namespace tolvane::hostrules {

using host::guarded;
using host::Statement;
using host::convert::toI32;

namespace {

constexpr double kBrowserMargin = 180;   // from the splitter's Left to the browser pane's width
constexpr std::int32_t kLeastWidth = 200;
constexpr double kListGap = 140;         // from the splitter's right edge to the list panes
constexpr double kRightMargin = 280;     // kept free right of the list panes
constexpr double kRowIndent = 240;       // from the splitter's Left to each row's first button
constexpr double kButtonGap = 60;        // from the bottom of lstAllRecs to the tree buttons
constexpr double kListHeightFactor = 0.83;

}  // namespace

void ReflowPanes(TolvaneState& state) {
  ParentFormRef::Use use(state.ParentForm);
  // A control of the form by name, looked up afresh for every statement.
  const auto control = [&](Statement& s, std::string_view name) { return state.parentForm(s).control(name); };
  const auto number = [&](Statement& s, std::string_view name, std::string_view member) {
    return s.toNumber(control(s, name).get(member));
  };
  const auto putInteger = [&](std::string_view name, std::string_view member, std::int32_t value) {
    guarded([&](Statement& s) { control(s, name).put(member, host::Value{value}); });
  };
  // Each further button of a row touches the one before it, read after that one has moved.
  const auto chainAfter = [&](std::string_view previous, std::string_view button) {
    guarded([&](Statement& s) {
      control(s, button).put("Left", s.dbl(number(s, previous, "Left") + number(s, previous, "Width")));
    });
  };

  std::int32_t lHeight = 0;
  std::int32_t lWidth = 0;

  guarded([&](Statement& s) { s.let(lHeight, s.toI32(number(s, "WebBrowser1", "Height"))); });            // 1
  putInteger("lblHorDrag", "Height", lHeight);                                                             // 2
  guarded([&](Statement& s) { s.let(lWidth, s.toI32(number(s, "lblHorDrag", "Left") - kBrowserMargin)); }); // 3
  guarded([&](Statement& s) {                                                                              // 4
    control(s, "lblHorDrag").put("Top", s.asRead(control(s, "WebBrowser1").get("Top")));
  });
  if (lWidth < kLeastWidth) lWidth = kLeastWidth;                                                          // 5
  putInteger("WebBrowser1", "Width", lWidth);                                                              // 6
  putInteger("Text1", "Width", lWidth);                                                                    // 7

  // 8-10. The list panes start right of the splitter, which is read again for each.
  for (const std::string_view pane : {"lstAllRecs", "TreeView1", "lstSearchResults"}) {
    guarded([&](Statement& s) {
      control(s, pane).put("Left", s.dbl(number(s, "lblHorDrag", "Left") + number(s, "lblHorDrag", "Width") + kListGap));
    });
  }
  guarded([&](Statement& s) {                                                                              // 11
    s.let(lWidth, s.toI32(s.readSingle(state.parentForm(s).get("ScaleWidth")) - number(s, "lstAllRecs", "Left") -
                          kRightMargin));
  });
  if (lWidth < kLeastWidth) lWidth = kLeastWidth;                                                          // 12
  putInteger("lstAllRecs", "Width", lWidth);                                                               // 13
  putInteger("TreeView1", "Width", lWidth);                                                                // 14
  putInteger("lstSearchResults", "Width", lWidth);                                                         // 15

  // 16-21. The two button rows.
  guarded([&](Statement& s) { control(s, "cmdAddTV").put("Left", s.dbl(number(s, "lblHorDrag", "Left") + kRowIndent)); });
  chainAfter("cmdAddTV", "cmdNewTV");
  chainAfter("cmdNewTV", "cmdDelTV");
  guarded([&](Statement& s) { control(s, "cmdAllRecs").put("Left", s.dbl(number(s, "lblHorDrag", "Left") + kRowIndent)); });
  chainAfter("cmdAllRecs", "cmdFavorites");
  chainAfter("cmdFavorites", "cmdSearchResults");

  lHeight = toI32(lHeight * kListHeightFactor);                                                            // 22
  putInteger("lstAllRecs", "Height", lHeight);                                                             // 23
  putInteger("TreeView1", "Height", lHeight);                                                              // 24
  putInteger("lstSearchResults", "Height", lHeight);                                                       // 25
  guarded([&](Statement& s) {                                                                              // 26
    control(s, "cmdAddTV").put("Top", s.dbl(number(s, "lstAllRecs", "Top") + lHeight + kButtonGap));
  });
  guarded([&](Statement& s) { control(s, "cmdNewTV").put("Top", s.asRead(control(s, "cmdAddTV").get("Top"))); }); // 27
  guarded([&](Statement& s) { control(s, "cmdDelTV").put("Top", s.asRead(control(s, "cmdAddTV").get("Top"))); }); // 28
}

}  // namespace tolvane::hostrules
