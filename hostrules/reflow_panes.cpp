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
      control(s, button).put("Left", s.asDouble(number(s, previous, "Left") + number(s, previous, "Width")));
    });
  };

  std::int32_t lHeight = 0;
  std::int32_t lWidth = 0;

  // The splitter takes the browser pane's height and top; the browser pane and Text1 take the width
  // left of the splitter, but never less than the least width.
  guarded([&](Statement& s) { s.let(lHeight, s.toI32(number(s, "WebBrowser1", "Height"))); });
  putInteger("lblHorDrag", "Height", lHeight);
  guarded([&](Statement& s) { s.let(lWidth, s.toI32(number(s, "lblHorDrag", "Left") - kBrowserMargin)); });
  guarded([&](Statement& s) {
    control(s, "lblHorDrag").put("Top", s.finiteAsRead(control(s, "WebBrowser1").get("Top")));
  });
  if (lWidth < kLeastWidth) lWidth = kLeastWidth;
  putInteger("WebBrowser1", "Width", lWidth);
  putInteger("Text1", "Width", lWidth);

  // The list panes start right of the splitter, which is read again for each.
  for (const std::string_view pane : {"lstAllRecs", "TreeView1", "lstSearchResults"}) {
    guarded([&](Statement& s) {
      control(s, pane).put("Left", s.asDouble(number(s, "lblHorDrag", "Left") + number(s, "lblHorDrag", "Width") + kListGap));
    });
  }
  // The list panes fill the inner width right of them, less a margin, but never less than the least width.
  guarded([&](Statement& s) {
    s.let(lWidth, s.toI32(s.readSingle(state.parentForm(s).get("ScaleWidth")) - number(s, "lstAllRecs", "Left") -
                          kRightMargin));
  });
  if (lWidth < kLeastWidth) lWidth = kLeastWidth;
  putInteger("lstAllRecs", "Width", lWidth);
  putInteger("TreeView1", "Width", lWidth);
  putInteger("lstSearchResults", "Width", lWidth);

  // The two button rows start a little right of the splitter, each button touching the one before.
  guarded([&](Statement& s) { control(s, "cmdAddTV").put("Left", s.asDouble(number(s, "lblHorDrag", "Left") + kRowIndent)); });
  chainAfter("cmdAddTV", "cmdNewTV");
  chainAfter("cmdNewTV", "cmdDelTV");
  guarded([&](Statement& s) { control(s, "cmdAllRecs").put("Left", s.asDouble(number(s, "lblHorDrag", "Left") + kRowIndent)); });
  chainAfter("cmdAllRecs", "cmdFavorites");
  chainAfter("cmdFavorites", "cmdSearchResults");

  // The list panes take a share of the browser pane's height; the tree buttons sit just below them,
  // all three on the first one's row.
  lHeight = toI32(lHeight * kListHeightFactor);
  putInteger("lstAllRecs", "Height", lHeight);
  putInteger("TreeView1", "Height", lHeight);
  putInteger("lstSearchResults", "Height", lHeight);
  guarded([&](Statement& s) {
    control(s, "cmdAddTV").put("Top", s.asDouble(number(s, "lstAllRecs", "Top") + lHeight + kButtonGap));
  });
  guarded([&](Statement& s) { control(s, "cmdNewTV").put("Top", s.finiteAsRead(control(s, "cmdAddTV").get("Top"))); });
  guarded([&](Statement& s) { control(s, "cmdDelTV").put("Top", s.finiteAsRead(control(s, "cmdAddTV").get("Top"))); });
}

}  // namespace tolvane::hostrules
