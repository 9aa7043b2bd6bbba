#include "hostrules/reflow_panes.h"

#include <cstdint>
#include <string_view>

#include "hostmodel/convert.h"
#include "hostmodel/guard.h"

namespace tolvane::hostrules {

using host::guarded;
using host::convert::asRead;
using host::convert::dbl;
using host::convert::readSingle;
using host::convert::toI32;
using host::convert::toNumber;

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
  const auto control = [&](std::string_view name) { return state.parentForm()->control(name); };
  const auto number = [&](std::string_view name, std::string_view member) {
    return toNumber(control(name)->get(member));
  };
  const auto putInteger = [&](std::string_view name, std::string_view member, std::int32_t value) {
    guarded([&] { control(name)->put(member, host::Value{value}); });
  };
  // Each further button of a row touches the one before it, read after that one has moved.
  const auto chainAfter = [&](std::string_view previous, std::string_view button) {
    guarded([&] { control(button)->put("Left", dbl(number(previous, "Left") + number(previous, "Width"))); });
  };

  std::int32_t lHeight = 0;
  std::int32_t lWidth = 0;

  guarded([&] { lHeight = toI32(number("WebBrowser1", "Height")); });                        // 1
  putInteger("lblHorDrag", "Height", lHeight);                                               // 2
  guarded([&] { lWidth = toI32(number("lblHorDrag", "Left") - kBrowserMargin); });           // 3
  guarded([&] { control("lblHorDrag")->put("Top", asRead(control("WebBrowser1")->get("Top"))); });   // 4
  if (lWidth < kLeastWidth) lWidth = kLeastWidth;                                            // 5
  putInteger("WebBrowser1", "Width", lWidth);                                                // 6
  putInteger("Text1", "Width", lWidth);                                                      // 7

  // 8-10. The list panes start right of the splitter, which is read again for each.
  for (const std::string_view pane : {"lstAllRecs", "TreeView1", "lstSearchResults"}) {
    guarded([&] {
      control(pane)->put("Left", dbl(number("lblHorDrag", "Left") + number("lblHorDrag", "Width") + kListGap));
    });
  }
  guarded([&] {                                                                              // 11
    lWidth = toI32(readSingle(state.parentForm()->get("ScaleWidth")) - number("lstAllRecs", "Left") - kRightMargin);
  });
  if (lWidth < kLeastWidth) lWidth = kLeastWidth;                                            // 12
  putInteger("lstAllRecs", "Width", lWidth);                                                 // 13
  putInteger("TreeView1", "Width", lWidth);                                                  // 14
  putInteger("lstSearchResults", "Width", lWidth);                                           // 15

  // 16-21. The two button rows.
  guarded([&] { control("cmdAddTV")->put("Left", dbl(number("lblHorDrag", "Left") + kRowIndent)); });
  chainAfter("cmdAddTV", "cmdNewTV");
  chainAfter("cmdNewTV", "cmdDelTV");
  guarded([&] { control("cmdAllRecs")->put("Left", dbl(number("lblHorDrag", "Left") + kRowIndent)); });
  chainAfter("cmdAllRecs", "cmdFavorites");
  chainAfter("cmdFavorites", "cmdSearchResults");

  lHeight = toI32(lHeight * kListHeightFactor);                                              // 22
  putInteger("lstAllRecs", "Height", lHeight);                                               // 23
  putInteger("TreeView1", "Height", lHeight);                                                // 24
  putInteger("lstSearchResults", "Height", lHeight);                                         // 25
  guarded([&] {                                                                              // 26
    control("cmdAddTV")->put("Top", dbl(number("lstAllRecs", "Top") + lHeight + kButtonGap));
  });
  guarded([&] { control("cmdNewTV")->put("Top", asRead(control("cmdAddTV")->get("Top"))); });        // 27
  guarded([&] { control("cmdDelTV")->put("Top", asRead(control("cmdAddTV")->get("Top"))); });        // 28
}

}  // namespace tolvane::hostrules
