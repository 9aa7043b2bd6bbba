// What a step changed, as the captions of the pictures put it.
#include "app/change.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace tolvane::app;

ControlFrame at(std::string name, std::string kind, double left, double top, double width, double height, bool visible = true) {
  ControlFrame c;
  c.name = std::move(name);
  c.kind = std::move(kind);
  c.drawable = true;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.visible = visible;
  c.fontSize = 8.25;
  return c;
}

FormFrame hostLike() {
  FormFrame f{9600, 7200, 9480, 6795, 0, {}};
  f.controls = {at("Text1", "TextBox", 120, 120, 4800, 315),
                at("lblHorDrag", "Label", 4930, 600, 60, 5400),
                at("lstAllRecs", "ListBox", 5130, 600, 4070, 4800),
                at("TreeView1", "TreeView", 5130, 600, 4070, 4800, false),
                at("WebBrowser1", "WebBrowser", 120, 600, 4800, 5400),
                at("cmdAllRecs", "CommandButton", 5160, 120, 1200, 375),
                at("cmdDelTV", "CommandButton", 7560, 5460, 1200, 375)};
  return f;
}

ControlFrame& named(FormFrame& f, const std::string& name) {
  for (auto& c : f.controls) {
    if (c.name == name) return c;
  }
  throw std::out_of_range(name);
}

TEST(Change, CaptionSaysWhatChangedInWords) {
  struct Case {
    const char* what;
    void (*edit)(FormFrame&);
    bool recorded;
    const char* words;
  };
  const Case cases[] = {
      {"nothing", [](FormFrame&) {}, false, "no change"},
      {"nothing, a snapshot taken", [](FormFrame&) {}, true, "layout recorded"},
      {"one control moved", [](FormFrame& f) { named(f, "Text1").left = 150; }, false, "1 control moved"},
      {"two resized", [](FormFrame& f) { named(f, "Text1").width = 10; named(f, "lstAllRecs").height = 10; }, false,
       "2 controls resized"},
      {"moved and resized", [](FormFrame& f) { named(f, "Text1").left = 1; named(f, "lstAllRecs").height = 10; }, true,
       "2 controls moved or resized"},
      {"panes and a button hidden",
       [](FormFrame& f) {
         named(f, "lstAllRecs").visible = false;
         named(f, "WebBrowser1").visible = false;
         named(f, "cmdDelTV").visible = false;
       },
       false, "2 panes and 1 button hidden"},
      {"a pane shown, the splitter hidden",
       [](FormFrame& f) { named(f, "TreeView1").visible = true; named(f, "lblHorDrag").visible = false; },
       false, "1 splitter hidden, 1 pane shown"},
      {"fonts", [](FormFrame& f) { named(f, "Text1").fontSize = 9.5; named(f, "cmdAllRecs").fontSize.reset(); }, false,
       "2 font sizes changed"},
      {"form resized, controls moved",
       [](FormFrame& f) {
         f.width = 12000;
         f.scaleWidth = 11880;
         named(f, "cmdAllRecs").left = 6000;
       },
       false, "form resized to 12000 \xC3\x97 7200, 1 control moved"},
      {"minimised", [](FormFrame& f) { f.windowState = 1; }, false, "form minimised"},
      {"a left that becomes NaN",
       [](FormFrame& f) { named(f, "Text1").left = std::numeric_limits<double>::quiet_NaN(); }, false, "1 control moved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FormFrame before = hostLike();
    FormFrame after = hostLike();
    c.edit(after);
    EXPECT_EQ(describeChange(compare(before, after), after, c.recorded), c.words);
    EXPECT_EQ(compare(before, after).any(), std::string(c.words) != "no change" && std::string(c.words) != "layout recorded");
  }
  // A NaN left as it was counts as unchanged.
  FormFrame before = hostLike(), after = hostLike();
  named(before, "Text1").left = named(after, "Text1").left = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(compare(before, after).any());
}

TEST(Change, ControlsAreMatchedByName) {
  FormFrame before = hostLike(), after = hostLike();
  std::swap(after.controls[0], after.controls[1]);  // the same controls in another order: nothing changed
  after.controls.push_back(at("lblNew", "Label", 0, 0, 10, 10));  // one the earlier frame lacks
  const FormChange change = compare(before, after);
  EXPECT_FALSE(change.any());
  ASSERT_EQ(change.controls.size(), after.controls.size());
}

}  // namespace
