// The control object: attaching to its form, the form's Load, and its own size.
#include "control/tolvane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;

TEST(Control, StartsWithEveryPropertyFalseAndPropertiesArePlainFields) {
  Rig rig;
  Tolvane& c = rig.control();
  EXPECT_FALSE(c.ResizeFont());
  EXPECT_FALSE(c.KeepRatio());
  EXPECT_FALSE(c.gfLowRes());
  EXPECT_FALSE(c.mfRebuild());
  c.KeepRatio(true);
  c.gfLowRes(true);
  EXPECT_TRUE(c.KeepRatio());
  EXPECT_TRUE(c.gfLowRes());
  EXPECT_FALSE(c.ResizeFont());
  EXPECT_TRUE(rig.writes().empty());  // no other effect
}

TEST(Control, ReadPropertiesAttachesAtRunTimeOnly) {
  Rig designTime(hostForm(), normalScreen(), /*userMode=*/false);
  designTime.control().UserControl_ReadProperties();
  EXPECT_EQ(designTime.form().subscriberCount(), 0u);
  designTime.form().raiseLoad();
  EXPECT_FALSE(designTime.control().mfRebuild());

  Rig runTime;
  runTime.control().UserControl_ReadProperties();
  EXPECT_EQ(runTime.form().subscriberCount(), 1u);
  runTime.form().raiseLoad();
  EXPECT_TRUE(runTime.control().mfRebuild());
}

TEST(Control, AParentThatIsNotAFormIsATypeMismatchAndLeavesTheControlUnattached) {
  auto form = hostForm();
  described(form, "Tolvane1").members = std::vector<std::string>{"Name", "Left", "Top", "Width", "Height"};  // no Parent
  Rig rig(form);
  EXPECT_THROW(rig.control().UserControl_ReadProperties(), host::HostError);
  EXPECT_FALSE(rig.control().state().ParentForm.attached());
  EXPECT_THROW(rig.control().Refresh(), host::HostError);
  EXPECT_NO_THROW(rig.control().Rebuild());
  EXPECT_TRUE(rig.writes().empty());
}

TEST(Control, ReattachingKeepsExactlyOneSubscription) {
  Rig rig;
  rig.control().UserControl_ReadProperties();
  rig.control().UserControl_ReadProperties();
  rig.control().Rebuild();
  EXPECT_EQ(rig.form().subscriberCount(), 1u);
}

TEST(Control, LoadResetsTheSnapshotMarkerAndRecordsTheHeightRatio) {
  Rig rig;
  rig.load();
  rig.show();
  ASSERT_NE(rig.control().state().msOrigScaleWidth, 0);
  rig.control().mfRebuild(false);
  rig.form().raiseLoad();
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 0);
  EXPECT_TRUE(rig.control().mfRebuild());
  EXPECT_FLOAT_EQ(rig.control().state().msHeightRatio, 6405.0f / 9120.0f);
  EXPECT_EQ(rig.control().state().maControls.size(), rig.form().controls().size());  // still held
}

TEST(Control, LoadOnAFormOfWidthZeroFailsAfterResettingAndKeepsTheOldRatio) {
  Rig rig;
  rig.load();
  rig.show();
  const float ratio = rig.control().state().msHeightRatio;
  rig.control().mfRebuild(false);
  rig.form().setSizeDirect(0, 6405);
  rig.mark();
  rig.form().raiseLoad();
  EXPECT_EQ(rig.writes(), (std::vector<std::string>{"# failed: frmMain.Load: division by zero"}));
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 0);
  EXPECT_TRUE(rig.control().mfRebuild());
  EXPECT_EQ(rig.control().state().msHeightRatio, ratio);
}

TEST(Control, AControlAttachedOnlyByRebuildKeepsRatioZeroAndRebuildFalse) {
  Rig rig;
  rig.control().Rebuild();
  EXPECT_TRUE(rig.control().state().ParentForm.attached());
  EXPECT_EQ(rig.control().state().msHeightRatio, 0);
  EXPECT_FALSE(rig.control().mfRebuild());
}

TEST(Control, ItsOwnSizeSnapsBackToThePictureWhateverTheContainerTries) {
  for (const bool userMode : {false, true}) {
    Rig rig(hostForm(), normalScreen(), userMode);
    rig.ctl("Tolvane1").setDirect("Width", host::Value{2000.0});
    EXPECT_EQ(rig.ctl("Tolvane1").width(), 480);
    EXPECT_EQ(rig.ctl("Tolvane1").height(), 450);
    EXPECT_EQ(rig.control().Image1().Left, 0);
    EXPECT_EQ(rig.control().Image1().Top, 0);
    // The nested run caused by the first store changes nothing further.
    EXPECT_EQ(rig.writesTo("Tolvane1", "Width"), (std::vector<std::string>{"480 f32", "480 f32"}));
    EXPECT_EQ(rig.writesTo("Tolvane1", "Height"), (std::vector<std::string>{"450 f32", "450 f32"}));
    EXPECT_EQ(rig.form().subscriberCount(), 0u);  // resizing never attaches
  }
}

// Host code that calls Refresh from a store of the pass its own Refresh started, again and again. A
// careless host stops only when something fails; this one gives up after 200 calls of its own.
TEST(Control, NestedPassesStopAtAFixedDepthWithOutOfStackSpaceAndTheOuterPassesComplete) {
  struct Case { const char* start; std::function<void(Rig&)> begin; };
  const Case cases[] = {
      {"the form's resize", [](Rig& rig) { rig.form().resize(18240, 12810); }},
      {"a Refresh from host code", [](Rig& rig) {
         rig.form().setSizeDirect(18240, 12810);
         rig.control().Refresh();
       }},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.load();
    rig.show();
    int calls = 0;
    std::vector<std::int32_t> codes;
    rig.ctl("lblStatus").onStore = [&](std::string_view member) {
      if (member != "Left" || ++calls > 200) return;
      try {
        rig.control().Refresh();
      } catch (const host::HostError& e) {
        codes.push_back(e.code());
        throw;
      }
    };
    rig.mark();
    c.begin(rig);
    EXPECT_EQ(calls, kMaxPassDepth) << c.start;
    ASSERT_EQ(codes.size(), 1u) << c.start;
    EXPECT_EQ(codes[0] & 0xFFFF, 28) << c.start;  // run-time error 28
    const auto writes = rig.writes();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), "# failed: lblStatus.Left: out of stack space"), 1) << c.start;
    // Every pass, the innermost first, went on to the controls after the one whose store nested.
    EXPECT_EQ(rig.writesTo("lblStatus", "Height").size(), static_cast<std::size_t>(kMaxPassDepth)) << c.start;
    EXPECT_EQ(rig.control().state().passDepth, 0) << c.start;

    calls = 1000;  // the host stops nesting: a plain pass runs again
    rig.mark();
    EXPECT_NO_THROW(rig.control().Refresh()) << c.start;
    EXPECT_EQ(rig.writesTo("lblStatus", "Height").size(), 1u) << c.start;
  }
}

// Host code in a store's change handler drops the host's last reference to the control, or takes a
// control off the form: the pass under way completes on a control that is still alive, and writes
// to the control that left the form fail there.
TEST(Control, AHostThatReleasesTheControlOrRemovesAControlDuringAPass) {
  struct Case { const char* what; std::function<void(Rig&)> hook; bool released; };
  const Case cases[] = {
      {"releases the control", [](Rig& rig) { rig.player().release("Tolvane1"); }, true},
      {"removes lblStatus", [](Rig& rig) { rig.form().remove("lblStatus"); }, false},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.load();
    rig.show();
    std::shared_ptr<model::ModelControl> status = rig.form().find("lblStatus");
    rig.ctl("txtRebuild").onStore = [&](std::string_view member) {
      if (member == "Left") c.hook(rig);
    };
    rig.mark();
    rig.form().resize(18120, 12405);
    // The records after txtRebuild's were still applied; lblStatus's only while it was on the form.
    const std::string expected = c.released ? "2000 f32" : "2000 f32 ! lblStatus is no longer on the form";
    EXPECT_EQ(rig.writesTo("lblStatus", "Left"), std::vector<std::string>{expected}) << c.what;
    EXPECT_FALSE(rig.writesTo("cmdAddTV", "Top").empty()) << c.what;  // the host rules ran after the records
    EXPECT_EQ(rig.player().control("Tolvane1") == nullptr, c.released) << c.what;
    EXPECT_EQ(rig.form().subscriberCount(), c.released ? 0u : 1u) << c.what;  // a released control is gone

    rig.ctl("txtRebuild").onStore = nullptr;
    rig.mark();
    rig.form().resize(9120, 6405);
    EXPECT_EQ(rig.writes().empty(), c.released) << c.what;
    EXPECT_EQ(status->left(), c.released ? 2000 : 1000) << c.what;
  }
}

// A host that raises the control's own Resize from inside every store of its size, changed or not
// (a NaN it holds compares unequal to itself): the nesting ends at the depth bound as well.
TEST(Control, AHostThatRaisesItsOwnResizeFromEveryStoreIsBounded) {
  Rig rig;
  int raised = 0;
  rig.ctl("Tolvane1").onStore = [&](std::string_view member) {
    if (member == "Width" && ++raised < 1000) rig.control().UserControl_Resize();
  };
  rig.mark();
  EXPECT_NO_THROW(rig.control().UserControl_Resize());  // the failure went back to the store's handler
  EXPECT_EQ(raised, kMaxPassDepth);
  const auto writes = rig.writes();
  EXPECT_EQ(std::count(writes.begin(), writes.end(), "# failed: Tolvane1.Width: out of stack space"), 1);
  EXPECT_EQ(rig.control().state().passDepth, 0);
}

}  // namespace
