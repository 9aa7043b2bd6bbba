// The form's Resize: the minimise/restore handshake through txtRebuild, then a snapshot or a relayout.
#include <gtest/gtest.h>

#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;

// What one resize did: wrote the handshake, took a snapshot, relaid out, or failed.
std::string outcome(Rig& rig, float scaleWidthBefore) {
  const auto writes = rig.writes();
  for (const auto& w : writes) {
    if (w.rfind("# failed", 0) == 0) return "failed";
  }
  const auto text = rig.writesTo("txtRebuild", "Text");
  if (!text.empty()) return "text " + text.front();
  if (!writes.empty()) return "relayout";
  if (rig.control().state().msOrigScaleWidth != scaleWidthBefore) return "snapshot";
  return "nothing";
}

TEST(ResizeDispatch, DecidesByWindowStateTextAndSnapshot) {
  struct Case {
    std::int16_t windowState;
    std::string text;
    bool snapshot;
    std::string expected;
  };
  for (const Case& c : {
           Case{1, "True", true, "text \"False\" str"},
           Case{1, "False", false, "text \"False\" str"},
           Case{0, "False", true, "text \"True\" str"},
           Case{2, "False", true, "text \"True\" str"},
           Case{0, "True", false, "snapshot"},
           Case{0, "True", true, "relayout"},
           Case{2, "True", true, "relayout"},  // maximised is treated like normal
           Case{0, "false", true, "relayout"},  // the comparison is exact
           Case{0, "False ", true, "relayout"},
           Case{0, "", true, "relayout"},
       }) {
    Rig rig;
    rig.load();
    if (c.snapshot) rig.show();
    rig.form().setSizeDirect(10000, 8000);
    rig.ctl("txtRebuild").setDirect("Text", host::Value{c.text});
    const float before = rig.control().state().msOrigScaleWidth;
    rig.mark();
    rig.form().setWindowState(c.windowState);
    EXPECT_EQ(outcome(rig, before), c.expected) << c.windowState << " \"" << c.text << "\"";
  }
}

TEST(ResizeDispatch, MinimiseRestoreThenTheNextResizeRelaysOut) {
  Rig rig;
  rig.load();
  rig.show();
  rig.form().setSizeDirect(12000, 9000);
  rig.mark();
  rig.form().setWindowState(1);
  rig.form().setWindowState(1);  // every resize while minimised writes "False"
  EXPECT_EQ(rig.writes(), (std::vector<std::string>{"txtRebuild.Text = \"False\" str", "txtRebuild.Text = \"False\" str"}));
  rig.mark();
  rig.form().setWindowState(0);
  EXPECT_EQ(rig.writes(), (std::vector<std::string>{"txtRebuild.Text = \"True\" str"}));
  rig.mark();
  rig.show();
  EXPECT_FALSE(rig.writesTo("lstAllRecs", "Width").empty());
}

TEST(ResizeDispatch, AnInitialFalseDelaysTheSnapshotToTheSecondResize) {
  auto form = hostForm();
  described(form, "txtRebuild").text = "False";
  Rig rig(form);
  rig.load();
  rig.show();
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 0);
  EXPECT_EQ(rig.ctl("txtRebuild").text(), "True");
  rig.show();
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 9000);
}

TEST(ResizeDispatch, AnyNonZeroMarkerRelaysOutEvenANegativeOne) {
  auto form = hostForm();
  form.width = 100;  // narrower than its frame: the inner width is -20
  Rig rig(form);
  rig.load();
  rig.show();
  ASSERT_EQ(rig.control().state().msOrigScaleWidth, -20);
  rig.mark();
  rig.show();
  EXPECT_FALSE(rig.writesTo("lstAllRecs", "Height").empty());
}

TEST(ResizeDispatch, WithoutTxtRebuildEveryResizeFailsAndChangesNothing) {
  auto form = hostForm();
  remove(form, "txtRebuild");
  Rig rig(form);
  rig.load();
  for (const std::int16_t state : std::initializer_list<std::int16_t>{0, 1, 0, 2}) {
    rig.mark();
    rig.form().setWindowState(state);
    EXPECT_EQ(rig.writes(), (std::vector<std::string>{"# failed: frmMain.Resize: frmMain has no control txtRebuild"}));
  }
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 0);
}

TEST(ResizeDispatch, AFailingRefreshFailsTheResizeBackToTheHost) {
  Rig rig;
  rig.load();
  rig.show();
  rig.control().KeepRatio(true);
  rig.failOn("frmMain", "Height", model::Op::Set);
  rig.mark();
  rig.form().resize(12000, 9000);
  const auto writes = rig.writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[1], "# failed: frmMain.Resize: injected failure");
}

}  // namespace
