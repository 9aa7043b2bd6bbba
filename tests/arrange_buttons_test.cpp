// The splitter snap and the visibility rows of the host form.
#include "hostrules/arrange_buttons.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;

// The Visible writes of one run, in order, as `name=value`.
std::vector<std::string> visibility(const Rig& rig) {
  std::vector<std::string> out;
  for (const auto& line : rig.writes()) {
    const auto dot = line.find(".Visible = ");
    if (dot == std::string::npos) continue;
    out.push_back(line.substr(0, dot) + "=" + line.substr(dot + 11, line.find(' ', dot + 11) - dot - 11));
  }
  return out;
}

// A host form whose browser pane ends at `browserRight`, so that the splitter's edge lies 10
// further, and whose inner width is `scaleWidth`.
model::FormSpec roomForm(double browserRight, double scaleWidth) {
  auto form = hostForm();
  described(form, "WebBrowser1").width = browserRight;
  form.width = scaleWidth + form.frameWidth;
  return form;
}

TEST(ArrangeButtons, ShowsEachRowByItsRoomAndThePaneOfTheBoldTab) {
  struct Case {
    double browserRight, scaleWidth;
    bool lowRes;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      // E = 1000, R = 2400: room equal to the threshold is no room.
      {990, 3400, false, {"cmdSearchResults=false", "cmdFavorites=true", "cmdAllRecs=true", "cmdAddTV=true",
                          "lstAllRecs=true", "cmdDelTV=false", "cmdNewTV=true"}},
      {990, 3400.5, false, {"cmdSearchResults=true", "cmdFavorites=true", "cmdAllRecs=true", "cmdAddTV=true",
                            "lstAllRecs=true", "cmdDelTV=true", "cmdNewTV=true"}},
      // R = 2100.
      {990, 3100, true, {"cmdSearchResults=true", "cmdFavorites=true", "cmdAllRecs=true", "cmdAddTV=true",
                         "lstAllRecs=true", "cmdDelTV=true", "cmdNewTV=true"}},
      {990, 3100, false, {"cmdSearchResults=false", "cmdFavorites=true", "cmdAllRecs=true", "cmdAddTV=true",
                          "lstAllRecs=true", "cmdDelTV=false", "cmdNewTV=true"}},
      // The pane row: 595 and 596 in the normal layout, 200 and 200.5 in the low-resolution one.
      {990, 1595, false, {"cmdSearchResults=false", "cmdFavorites=false", "cmdAllRecs=false", "cmdAddTV=false",
                          "lstAllRecs=false", "TreeView1=false", "lstSearchResults=false", "cmdDelTV=false",
                          "cmdNewTV=false"}},
      {990, 1596, false, {"cmdSearchResults=false", "cmdFavorites=false", "cmdAllRecs=false", "cmdAddTV=false",
                          "lstAllRecs=true", "cmdDelTV=false", "cmdNewTV=false"}},
      {990, 1200, true, {"cmdSearchResults=false", "cmdFavorites=false", "cmdAllRecs=false", "cmdAddTV=false",
                         "lstAllRecs=false", "TreeView1=false", "lstSearchResults=false", "cmdDelTV=false",
                         "cmdNewTV=false"}},
      {990, 1200.5, true, {"cmdSearchResults=false", "cmdFavorites=false", "cmdAllRecs=false", "cmdAddTV=false",
                           "lstAllRecs=true", "cmdDelTV=false", "cmdNewTV=false"}},
      // The edge is the splitter's Left rounded to even: 1000.5 gives 1000, 1001.5 gives 1002.
      {990.5, 3401, false, {"cmdSearchResults=true", "cmdFavorites=true", "cmdAllRecs=true", "cmdAddTV=true",
                            "lstAllRecs=true", "cmdDelTV=true", "cmdNewTV=true"}},
      {991.5, 3401, false, {"cmdSearchResults=false", "cmdFavorites=true", "cmdAllRecs=true", "cmdAddTV=true",
                            "lstAllRecs=true", "cmdDelTV=false", "cmdNewTV=true"}},
  };
  for (const Case& c : cases) {
    RulesRig rig(roomForm(c.browserRight, c.scaleWidth));
    rig.state.gfLowRes = c.lowRes;
    hostrules::ArrangeButtons(rig.state);
    EXPECT_EQ(visibility(rig), c.expected) << c.browserRight << " " << c.scaleWidth << " " << c.lowRes;
  }
}

TEST(ArrangeButtons, SnapsTheSplitterBesideTheBrowserKeepingItsWidth) {
  RulesRig rig;
  rig.ctl("WebBrowser1").setDirect("Top", host::Value{123.25});
  hostrules::ArrangeButtons(rig.state);
  EXPECT_EQ(rig.writesTo("lblHorDrag", "Move"), std::vector<std::string>{"3010 f64"});
  EXPECT_EQ(rig.writesTo("lblHorDrag", "Top"), std::vector<std::string>{"123.25 f64"});
  EXPECT_EQ(rig.writesTo("lblHorDrag", "Height"), std::vector<std::string>{"4000 f64"});
  EXPECT_TRUE(rig.writesTo("lblHorDrag", "Width").empty());
  EXPECT_EQ(rig.ctl("lblHorDrag").width(), 60);
}

TEST(ArrangeButtons, ANonFiniteValueReadIsNeverHandedBack) {
  auto form = hostForm();
  described(form, "WebBrowser1").top = std::numeric_limits<double>::quiet_NaN();
  described(form, "WebBrowser1").height = std::numeric_limits<double>::infinity();
  RulesRig rig(form);
  hostrules::ArrangeButtons(rig.state);
  EXPECT_TRUE(rig.writesTo("lblHorDrag", "Top").empty());
  EXPECT_TRUE(rig.writesTo("lblHorDrag", "Height").empty());
  EXPECT_EQ(rig.writesTo("lblHorDrag", "Move"), std::vector<std::string>{"3010 f64"});
}

TEST(ArrangeButtons, OnlyTheFirstBoldTabsPaneIsShown) {
  struct Case { bool allRecs, favorites, searchResults; std::vector<std::string> panes; };
  for (const Case& c : {Case{false, true, true, {"TreeView1=true"}}, Case{false, false, true, {"lstSearchResults=true"}},
                        Case{false, false, false, {}}}) {
    auto form = hostForm();
    described(form, "cmdAllRecs").fontBold = c.allRecs;
    described(form, "cmdFavorites").fontBold = c.favorites;
    described(form, "cmdSearchResults").fontBold = c.searchResults;
    RulesRig rig(form);
    hostrules::ArrangeButtons(rig.state);
    std::vector<std::string> panes;
    for (const auto& v : visibility(rig)) {
      if (v.rfind("cmd", 0) != 0) panes.push_back(v);
    }
    EXPECT_EQ(panes, c.panes);
  }
}

TEST(ArrangeButtons, TheFirstRunAfterLoadKeepsTheLastButtonsVisibleOnce) {
  RulesRig rig(roomForm(990, 1500));  // R = 500
  rig.state.mfRebuild = true;
  hostrules::ArrangeButtons(rig.state);
  EXPECT_FALSE(rig.state.mfRebuild);
  EXPECT_TRUE(rig.ctl("cmdSearchResults").visible());
  EXPECT_TRUE(rig.ctl("cmdDelTV").visible());
  EXPECT_FALSE(rig.ctl("cmdFavorites").visible());
  EXPECT_FALSE(rig.ctl("lstAllRecs").visible());
  hostrules::ArrangeButtons(rig.state);
  EXPECT_FALSE(rig.ctl("cmdSearchResults").visible());
  EXPECT_FALSE(rig.ctl("cmdDelTV").visible());
}

TEST(ArrangeButtons, AFailedActionAbandonsOnlyItselfAndFailedTestsCountAsMet) {
  {
    auto form = roomForm(990, 1500);
    remove(form, "lstAllRecs");
    RulesRig rig(form);
    hostrules::ArrangeButtons(rig.state);
    EXPECT_FALSE(rig.ctl("TreeView1").visible());
    EXPECT_FALSE(rig.ctl("lstSearchResults").visible());
  }
  {
    // A tab whose boldness cannot be read counts as bold: its pane is shown, testing stops.
    auto form = hostForm();
    remove(form, "cmdAllRecs");
    described(form, "cmdFavorites").fontBold = true;
    RulesRig rig(form);
    hostrules::ArrangeButtons(rig.state);
    EXPECT_TRUE(rig.ctl("lstAllRecs").visible());
    EXPECT_TRUE(rig.writesTo("TreeView1", "Visible").empty());
  }
  {
    // An unreadable ScaleWidth counts as no room in every row.
    RulesRig rig;
    rig.failOn("frmMain", "ScaleWidth", model::Op::Get);
    hostrules::ArrangeButtons(rig.state);
    for (const auto& v : visibility(rig)) EXPECT_NE(v.find("=false"), std::string::npos) << v;
    EXPECT_EQ(visibility(rig).size(), 9u);
  }
}

TEST(ArrangeButtons, WithoutBrowserOrSplitterTheEdgeFallsBack) {
  {
    // No browser: the splitter stays, and its own Left is the edge (3010; R = 2400 at 5410).
    auto form = hostForm();
    remove(form, "WebBrowser1");
    form.width = 5410 + form.frameWidth;
    RulesRig rig(form);
    hostrules::ArrangeButtons(rig.state);
    EXPECT_EQ(rig.writesTo("lblHorDrag", "Move"), std::vector<std::string>{});
    EXPECT_FALSE(rig.ctl("cmdSearchResults").visible());
    EXPECT_TRUE(rig.ctl("cmdFavorites").visible());
  }
  {
    // No splitter: the edge is 0, so a row has room exactly when ScaleWidth exceeds its threshold.
    auto form = roomForm(990, 2400);
    remove(form, "lblHorDrag");
    RulesRig rig(form);
    hostrules::ArrangeButtons(rig.state);
    EXPECT_FALSE(rig.ctl("cmdSearchResults").visible());
    EXPECT_TRUE(rig.ctl("cmdFavorites").visible());
  }
}

TEST(ArrangeButtons, WithoutAFormNothingChanges) {
  RulesRig rig(hostForm(), normalScreen(), /*attached=*/false);
  hostrules::ArrangeButtons(rig.state);
  EXPECT_TRUE(rig.writes().empty());
}

}  // namespace
