// The proportional relayout: entry tests, the kept ratio, the ratios, the screen classes and the
// low-resolution reduction, and the types of the values handed to the host.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;

// A rig that has loaded the host form and taken its snapshot at 9000 x 6000 inside.
struct Shown : Rig {
  explicit Shown(model::FormSpec form = hostForm(), model::ScreenSpec screen = normalScreen()) : Rig(std::move(form), screen) {
    load();
    show();
    mark();
  }
  // Resizes the form's inner area as a user would, without raising Resize, then runs Refresh.
  void refreshAt(double scaleWidth, double scaleHeight) {
    form().setSizeDirect(scaleWidth + 120, scaleHeight + 405);
    mark();
    control().Refresh();
  }
};

TEST(Relayout, EntryTestsReturnBeforeAnyWrite) {
  {
    Shown rig;
    rig.control().KeepRatio(true);
    rig.form().setSizeDirect(18120, 12405);
    rig.form().setDirect("WindowState", host::Value{std::int16_t{1}});
    rig.mark();
    rig.control().Refresh();  // minimised: nothing, KeepRatio notwithstanding
    EXPECT_TRUE(rig.writes().empty());
  }
  {
    Shown rig;
    rig.site().setUserMode(false);
    rig.refreshAt(18000, 12000);  // design mode: nothing
    EXPECT_TRUE(rig.writes().empty());
  }
  {
    Rig rig;  // never attached: the failure goes back to the caller
    EXPECT_THROW(rig.control().Refresh(), host::HostError);
  }
}

TEST(Relayout, ScalesPositionsBothWaysAndFontsByTheSmallerRatio) {
  // cmdAllRecs: recorded Left 3300, font 8.25; lblStatus: Top 5500. The ratios are singles, so 1.2
  // is 1.2000000477 and its products show it.
  struct Case { double scaleWidth, scaleHeight; const char* left; const char* top; const char* font; };
  for (const Case c : {Case{18000, 6000, "6600 f32", "5500 f32", "8.25 f32"},
                       Case{13500, 7200, "4950 f32", "6600.0005 f32", "9.900001 f32"},  // 1.5 and 1.2
                       Case{4500, 12000, "1650 f32", "11000 f32", "4.125 f32"}}) {
    Shown rig;
    rig.control().ResizeFont(true);
    rig.refreshAt(c.scaleWidth, c.scaleHeight);
    EXPECT_EQ(rig.writesTo("cmdAllRecs", "Left"), std::vector<std::string>{c.left});
    EXPECT_EQ(rig.writesTo("lblStatus", "Top"), std::vector<std::string>{c.top});
    EXPECT_EQ(rig.writesTo("cmdAllRecs.Font", "Size"), std::vector<std::string>{c.font});
  }
}

TEST(Relayout, ARecordedFontSizeOfTenBecomesTwelveAtRatios15And12) {
  auto form = hostForm();
  described(form, "lblStatus").fontSize = 10;
  Shown rig(form);
  rig.control().ResizeFont(true);
  rig.refreshAt(13500, 7200);
  EXPECT_EQ(rig.writesTo("lblStatus.Font", "Size"), std::vector<std::string>{"12 f32"});
}

TEST(Relayout, WithoutResizeFontNoFontIsWrittenInAnyClass) {
  for (const auto screen : {normalScreen(), largeFontScreen(), lowResScreen()}) {
    Shown rig(hostForm(), screen);
    rig.refreshAt(13500, 7200);
    for (const auto& line : rig.writes()) EXPECT_EQ(line.find(".Font."), std::string::npos) << line;
  }
}

TEST(Relayout, KeepRatioCorrectsTheHeightFirstAndTheNestedRefreshReturnsAtOnce) {
  auto form = hostForm();
  form.width = 9000;  // a height-to-width ratio of 0.5 at load, and no frame
  form.height = 4500;
  form.frameWidth = 0;
  form.frameHeight = 0;
  Shown rig(form);
  rig.control().KeepRatio(true);
  rig.form().resize(18000, 5000);
  const auto writes = rig.writes();
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.front(), "frmMain.Height = 9000 f32");
  EXPECT_EQ(rig.writesTo("frmMain", "Height").size(), 1u);  // the nested Refresh wrote nothing
  // Both ratios are 2: the height ratio comes from the corrected height.
  EXPECT_EQ(rig.writesTo("lblStatus", "Top"), std::vector<std::string>{"11000 f32"});
  EXPECT_FALSE(rig.control().state().sfBusy);
}

TEST(Relayout, KeepRatioWithoutALoadStoresAHeightOfZero) {
  Rig rig;
  rig.control().Rebuild();
  rig.control().KeepRatio(true);
  rig.control().Refresh();
  EXPECT_EQ(rig.writesTo("frmMain", "Height").front(), "0 f32");
}

TEST(Relayout, AFailedHeightStoreFailsRefreshAndClearsBusy) {
  Shown rig;
  rig.control().KeepRatio(true);
  rig.failOn("frmMain", "Height", model::Op::Set);
  EXPECT_THROW(rig.control().Refresh(), host::HostError);
  EXPECT_FALSE(rig.control().state().sfBusy);
  rig.control().KeepRatio(false);
  rig.refreshAt(18000, 12000);
  EXPECT_FALSE(rig.writesTo("lstAllRecs", "Left").empty());
}

TEST(Relayout, ScreenClassesDecideTheTypeTheFactorAndTheSplitter) {
  struct Case { model::ScreenSpec screen; const char* statusLeft; bool splitterStored; bool lowRes; };
  // lblStatus: recorded Left 1000, ratios 1.
  for (const Case c : {
           Case{{15360, 15}, "1000 f32", false, false},  // 1024 pixels: normal
           Case{{12288, 12}, "1000 f32", true, false},   // 1024 at 12: large fonts
           Case{{12000, 15}, "1000 f32", false, false},  // 800 at 15: normal
           Case{{9600, 12}, "850 f64", true, true},      // 800 at 12: low resolution
           Case{{9600, 15}, "850 f64", true, true},      // 640: low resolution
           Case{{7680, 12}, "850 f64", true, true},      // 640 at 12
           Case{{9607.5, 15}, "850 f64", true, true},    // 640.5 counts as 640
           Case{{9592.5, 15}, "850 f64", true, true},    // 639.5 counts as 640
           Case{{9607.6, 15}, "1000 f32", false, false}, // 640.51 does not
           Case{{9606, 12}, "850 f64", true, true},      // 800.5 counts as 800
       }) {
    Shown rig(hostForm(), c.screen);
    rig.refreshAt(9000, 6000);
    EXPECT_EQ(rig.writesTo("lblStatus", "Left"), std::vector<std::string>{c.statusLeft}) << c.screen.width;
    EXPECT_EQ(!rig.writesTo("lblHorDrag", "Width").empty(), c.splitterStored) << c.screen.width;
    EXPECT_EQ(rig.control().gfLowRes(), c.lowRes) << c.screen.width;
  }
}

TEST(Relayout, TheSplittersFontIsScaledInTheNormalClass) {
  Shown rig;
  rig.control().ResizeFont(true);
  rig.refreshAt(18000, 12000);
  EXPECT_EQ(rig.writesTo("lblHorDrag.Font", "Size"), std::vector<std::string>{"16.5 f32"});
  EXPECT_TRUE(rig.writesTo("lblHorDrag", "Left").empty());
}

TEST(Relayout, LowResolutionReducesEveryControlAndFixesThePaneHeights) {
  Shown rig(hostForm(), lowResScreen());
  rig.refreshAt(9000, 6000);
  EXPECT_EQ(rig.writesTo("lblStatus", "Top"), std::vector<std::string>{"4675 f64"});
  EXPECT_EQ(rig.writesTo("txtRebuild", "Height"), std::vector<std::string>{"255 f64"});
  EXPECT_EQ(rig.writesTo("WebBrowser1", "Height"), (std::vector<std::string>{"3400 f64", "3570 i16"}));
  EXPECT_EQ(rig.writesTo("Text1", "Height"), (std::vector<std::string>{"255 f64", "3570 i16"}));
}

TEST(Relayout, ListWidthIsTheRoomRightOfTheSplitterRoundedToEven) {
  // The list width is formed after every record. Until the splitter's own record (record 3) it uses
  // the splitter's Left from before the pass, 3010, so the panes are first widened to
  // ScaleWidth - 3190.
  struct Case { double scaleWidth; const char* width; };
  for (const Case c : {Case{9000, "5810 i32"}, {9000.5, "5810 i32"}, {9001.5, "5812 i32"}}) {
    Shown rig(hostForm(), lowResScreen());
    rig.refreshAt(c.scaleWidth, 6000);
    const auto widths = rig.writesTo("TreeView1", "Width");
    ASSERT_FALSE(widths.empty());
    EXPECT_EQ(widths[0], c.width) << c.scaleWidth;
  }
  // From the splitter's record on, its scaled Left counts: 9000 - 2558.5 - 180 = 6261.5, to even.
  Shown rig(hostForm(), lowResScreen());
  rig.refreshAt(9000, 6000);
  const auto widths = rig.writesTo("TreeView1", "Width");
  ASSERT_GE(widths.size(), 2u);
  EXPECT_EQ(widths[1], "6262 i32");
}

TEST(Relayout, ListPanesAreWidenedNeverNarrowed) {
  auto form = hostForm();
  described(form, "lstAllRecs").width = 9000;  // wider than the room before and after its own record
  Shown rig(form, lowResScreen());
  rig.refreshAt(9000, 6000);
  // Only the record's own store and the re-flow's width: no list adjustment ran.
  const auto widths = rig.writesTo("lstSearchResults", "Width");
  ASSERT_EQ(widths.size(), 2u);
  EXPECT_EQ(widths[0], "4250 f64");
  EXPECT_NE(widths[1].find(" i32"), std::string::npos);
}

TEST(Relayout, OnceLowResolutionAlwaysLowResolutionUntilTheHostClearsIt) {
  Shown rig(hostForm(), lowResScreen());
  rig.refreshAt(9000, 6000);
  ASSERT_TRUE(rig.control().gfLowRes());
  rig.world().screen->set(normalScreen());
  rig.refreshAt(9000, 6000);
  EXPECT_TRUE(rig.control().gfLowRes());
  EXPECT_EQ(rig.writesTo("WebBrowser1", "Height").back(), "3570 i16");
  EXPECT_FALSE(rig.writesTo("cmdAddTV", "Top").empty());  // the re-flow ran
  rig.control().gfLowRes(false);
  rig.refreshAt(9000, 6000);
  EXPECT_EQ(rig.writesTo("WebBrowser1", "Height"), std::vector<std::string>{"4000 f32"});
}

TEST(Relayout, FailuresAbandonOnlyTheirStatement) {
  auto form = hostForm();
  described(form, "lblStatus").members = std::vector<std::string>{"Left", "Top", "Width", "Height", "Name", "Visible"};
  Shown rig(form);
  rig.control().ResizeFont(true);
  rig.failOn("cmdFavorites", "Top", model::Op::Set);
  rig.refreshAt(18000, 12000);
  // No font: the font store fails, the geometry is still stored.
  EXPECT_EQ(rig.writesTo("lblStatus", "Left"), std::vector<std::string>{"2000 f32"});
  // A refused Top does not stop its Width.
  EXPECT_EQ(rig.writesTo("cmdFavorites", "Top"), std::vector<std::string>{"0 f32 ! injected failure"});
  EXPECT_EQ(rig.writesTo("cmdFavorites", "Width"), std::vector<std::string>{"2000 f32"});
}

TEST(Relayout, FailedTestsCountAsMet) {
  {
    // A Name that cannot be read: the record is stored like any other, even the splitter's.
    Shown rig;
    rig.failOn("lblHorDrag", "Name", model::Op::Get);
    rig.refreshAt(18000, 12000);
    EXPECT_EQ(rig.writesTo("lblHorDrag", "Width"), std::vector<std::string>{"120 f32"});
  }
  {
    // The second read of the pixel size fails: large fonts.
    Shown rig;
    rig.world().recorder.failOn("Screen", "TwipsPerPixelX", model::Op::Get);
    rig.refreshAt(9000, 6000);
    EXPECT_FALSE(rig.writesTo("lblHorDrag", "Width").empty());
  }
  {
    // No lstAllRecs: the list test fails, so the other two panes get the list width.
    auto form = hostForm();
    remove(form, "lstAllRecs");
    Shown rig(form, lowResScreen());
    rig.refreshAt(9000, 6000);
    const auto widths = rig.writesTo("TreeView1", "Width");
    ASSERT_GE(widths.size(), 2u);
    EXPECT_EQ(widths[0], "5810 i32");
    EXPECT_EQ(widths[1], "5810 i32");  // again after the next record: the failed test counts as met
  }
}

TEST(Relayout, AScreenThatCannotBeMeasuredIsNotLowResolution) {
  Shown rig(hostForm(), lowResScreen());
  rig.world().recorder.failOn("Screen", "Width", model::Op::Get);
  rig.refreshAt(9000, 6000);
  EXPECT_FALSE(rig.control().gfLowRes());
}

// Where a ratio cannot be formed, nothing that depends on it is stored: controls are never
// collapsed to 0 and no non-finite number reaches the host.
TEST(Relayout, ARatioThatCannotBeFormedStoresNothingThatDependsOnIt) {
  {
    Shown rig;  // after a new Load the marker is 0, but host code calls Refresh anyway
    rig.control().ResizeFont(true);
    rig.form().raiseLoad();
    rig.refreshAt(18000, 12000);
    EXPECT_TRUE(rig.writesTo("lblStatus", "Left").empty());
    EXPECT_TRUE(rig.writesTo("lblStatus", "Width").empty());
    EXPECT_TRUE(rig.writesTo("lblStatus.Font", "Size").empty());
    EXPECT_EQ(rig.writesTo("lblStatus", "Top"), std::vector<std::string>{"11000 f32"});
  }
  {
    Shown rig;
    rig.failOn("frmMain", "ScaleHeight", model::Op::Get);
    rig.refreshAt(18000, 12000);
    EXPECT_EQ(rig.writesTo("lblStatus", "Left"), std::vector<std::string>{"2000 f32"});
    EXPECT_TRUE(rig.writesTo("lblStatus", "Top").empty());
  }
  {
    Shown rig;  // a ratio beyond a single's range
    rig.refreshAt(1e300, 6000);
    EXPECT_TRUE(rig.writesTo("lblStatus", "Left").empty());
    EXPECT_EQ(rig.writesTo("lblStatus", "Top"), std::vector<std::string>{"5500 f32"});
  }
}

TEST(Relayout, BeforeAnySnapshotNoRecordIsAppliedButTheHostRulesRun) {
  Rig rig;
  rig.load();
  rig.control().Refresh();
  EXPECT_TRUE(rig.writesTo("lblStatus", "Left").empty());
  EXPECT_FALSE(rig.writesTo("lblHorDrag", "Move").empty());
}

TEST(Relayout, AProductBeyondTheTypesRangeIsAbandoned) {
  auto form = hostForm();
  described(form, "lblStatus").width = 3e38;
  Shown rig(form);
  rig.refreshAt(18000, 6000);
  EXPECT_EQ(rig.writesTo("lblStatus", "Left"), std::vector<std::string>{"2000 f32"});
  EXPECT_TRUE(rig.writesTo("lblStatus", "Width").empty());  // 6e38 is no single
  EXPECT_EQ(rig.writesTo("lblStatus", "Height"), std::vector<std::string>{"300 f32"});
}

}  // namespace
