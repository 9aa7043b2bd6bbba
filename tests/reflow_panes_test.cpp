// The low-resolution re-flow of the panes and button rows around the splitter.
#include "hostrules/reflow_panes.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;

TEST(ReflowPanes, BrowserWidthIsTheRoomLeftOfTheSplitterAtLeast200) {
  struct Case { double splitterLeft; const char* width; };
  for (const Case c : {Case{380, "200 i32"}, {300, "200 i32"}, {500.5, "320 i32"}, {3010, "2830 i32"}}) {
    auto form = hostForm();
    described(form, "lblHorDrag").left = c.splitterLeft;
    RulesRig rig(form);
    hostrules::ReflowPanes(rig.state);
    EXPECT_EQ(rig.writesTo("WebBrowser1", "Width"), std::vector<std::string>{c.width}) << c.splitterLeft;
    EXPECT_EQ(rig.writesTo("Text1", "Width"), std::vector<std::string>{c.width}) << c.splitterLeft;
  }
}

TEST(ReflowPanes, ListHeightsAreAFractionOfTheBrowsersRoundedHeight) {
  struct Case { double browserHeight; const char* splitter; const char* lists; };
  for (const Case c : {Case{250, "250 i32", "208 i32"}, {350, "350 i32", "290 i32"}, {830, "830 i32", "689 i32"},
                       {50, "50 i32", "42 i32"}, {250.5, "250 i32", "208 i32"}, {3570, "3570 i32", "2963 i32"}}) {
    auto form = hostForm();
    described(form, "WebBrowser1").height = c.browserHeight;
    RulesRig rig(form);
    hostrules::ReflowPanes(rig.state);
    EXPECT_EQ(rig.writesTo("lblHorDrag", "Height"), std::vector<std::string>{c.splitter}) << c.browserHeight;
    for (const auto* list : {"lstAllRecs", "TreeView1", "lstSearchResults"}) {
      EXPECT_EQ(rig.writesTo(list, "Height"), std::vector<std::string>{c.lists}) << list << " " << c.browserHeight;
    }
  }
}

TEST(ReflowPanes, ArrangesPanesAndRowsAroundTheSplitter) {
  auto form = hostForm();
  described(form, "WebBrowser1").height = 3570;
  described(form, "cmdAllRecs").width = 900;
  described(form, "cmdFavorites").width = 800;
  RulesRig rig(form);
  hostrules::ReflowPanes(rig.state);

  EXPECT_EQ(rig.writesTo("lblHorDrag", "Top"), std::vector<std::string>{"400 f64"});  // the browser's, as read
  for (const auto* list : {"lstAllRecs", "TreeView1", "lstSearchResults"}) {
    const auto& c = rig.ctl(list);
    EXPECT_EQ(c.left(), 3010 + 60 + 140) << list;
    EXPECT_EQ(c.width(), 9000 - 3210 - 280) << list;
    EXPECT_EQ(c.height(), 2963) << list;
  }
  EXPECT_EQ(rig.writesTo("lstAllRecs", "Left"), std::vector<std::string>{"3210 f64"});
  // Each row starts 240 right of the splitter's Left and every button touches the one before it.
  EXPECT_EQ(rig.ctl("cmdAddTV").left(), 3250);
  EXPECT_EQ(rig.ctl("cmdNewTV").left(), 4250);
  EXPECT_EQ(rig.ctl("cmdDelTV").left(), 5250);
  EXPECT_EQ(rig.ctl("cmdAllRecs").left(), 3250);
  EXPECT_EQ(rig.ctl("cmdFavorites").left(), 4150);
  EXPECT_EQ(rig.ctl("cmdSearchResults").left(), 4950);
  // The tree buttons stand 60 below lstAllRecs; the tabs keep their tops.
  EXPECT_EQ(rig.writesTo("cmdAddTV", "Top"), std::vector<std::string>{"3423 f64"});
  EXPECT_EQ(rig.ctl("cmdNewTV").top(), 3423);
  EXPECT_EQ(rig.ctl("cmdDelTV").top(), 3423);
  EXPECT_TRUE(rig.writesTo("cmdAllRecs", "Top").empty());
}

TEST(ReflowPanes, ListsReachIntoTheMarginRatherThanShrinkBelow200) {
  auto form = hostForm();
  form.width = 900 + form.frameWidth;
  described(form, "lblHorDrag").left = 300;  // lists at 300 + 60 + 140 = 500
  RulesRig rig(form);
  hostrules::ReflowPanes(rig.state);
  EXPECT_EQ(rig.writesTo("lstAllRecs", "Width"), std::vector<std::string>{"200 i32"});
}

TEST(ReflowPanes, MissingControlsLeaveTheWorkingValuesAsTheyStand) {
  {
    auto form = hostForm();
    remove(form, "WebBrowser1");
    RulesRig rig(form);
    hostrules::ReflowPanes(rig.state);
    EXPECT_EQ(rig.writesTo("lblHorDrag", "Height"), std::vector<std::string>{"0 i32"});
    EXPECT_EQ(rig.writesTo("TreeView1", "Height"), std::vector<std::string>{"0 i32"});
    EXPECT_TRUE(rig.writesTo("lblHorDrag", "Top").empty());
    EXPECT_EQ(rig.writesTo("Text1", "Width"), std::vector<std::string>{"2830 i32"});
    EXPECT_EQ(rig.ctl("cmdAddTV").top(), 400 + 0 + 60);
  }
  {
    auto form = hostForm();
    remove(form, "lstAllRecs");
    RulesRig rig(form);
    hostrules::ReflowPanes(rig.state);
    EXPECT_EQ(rig.writesTo("TreeView1", "Width"), std::vector<std::string>{"2830 i32"});  // the browser's width
    EXPECT_TRUE(rig.writesTo("cmdAddTV", "Top").empty());
    EXPECT_EQ(rig.ctl("cmdNewTV").top(), 3500);  // cmdAddTV's unchanged Top
  }
  {
    auto form = hostForm();
    remove(form, "lblHorDrag");
    described(form, "lstAllRecs").left = 3500;
    RulesRig rig(form);
    hostrules::ReflowPanes(rig.state);
    EXPECT_EQ(rig.writesTo("WebBrowser1", "Width"), std::vector<std::string>{"200 i32"});
    EXPECT_EQ(rig.writesTo("Text1", "Width"), std::vector<std::string>{"200 i32"});
    EXPECT_TRUE(rig.writesTo("lstAllRecs", "Left").empty());
    EXPECT_EQ(rig.writesTo("lstAllRecs", "Width"), std::vector<std::string>{"5220 i32"});  // 9000 - 3500 - 280
    EXPECT_TRUE(rig.writesTo("cmdAddTV", "Left").empty());
    EXPECT_EQ(rig.ctl("cmdNewTV").left(), 3300 + 1000);
  }
}

TEST(ReflowPanes, ANonFiniteTopReadIsNeverHandedBack) {
  auto form = hostForm();
  described(form, "WebBrowser1").top = std::numeric_limits<double>::quiet_NaN();
  described(form, "lstAllRecs").top = std::numeric_limits<double>::quiet_NaN();  // so step 26 cannot move cmdAddTV
  described(form, "cmdAddTV").top = std::numeric_limits<double>::infinity();
  RulesRig rig(form);
  hostrules::ReflowPanes(rig.state);
  for (const auto* name : {"lblHorDrag", "cmdAddTV", "cmdNewTV", "cmdDelTV"}) {
    EXPECT_TRUE(rig.writesTo(name, "Top").empty()) << name;
  }
}

TEST(ReflowPanes, WithoutAFormNothingChanges) {
  RulesRig rig(hostForm(), normalScreen(), /*attached=*/false);
  hostrules::ReflowPanes(rig.state);
  EXPECT_TRUE(rig.writes().empty());
}

}  // namespace
