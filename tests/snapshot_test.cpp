// The snapshot: what Rebuild records, what it leaves alone, and what it never touches.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;

TEST(Snapshot, RecordsEveryControlInCollectionOrderAndTheInnerSize) {
  auto form = hostForm();
  described(form, "cmdAllRecs").fontSize = 9.75;
  Rig rig(form);
  rig.control().Rebuild();
  const auto& s = rig.control().state();
  EXPECT_EQ(s.msOrigScaleWidth, 9000);
  EXPECT_EQ(s.msOrigScaleHeight, 6000);
  ASSERT_EQ(s.maControls.size(), rig.form().controls().size());
  auto& records = const_cast<ControlRecords&>(s.maControls);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto& model = *rig.form().controls()[i];
    const ControlInfo& rec = records.at(i);
    EXPECT_EQ(rec.Ctl.get(), &model) << i;
    EXPECT_EQ(rec.Left, model.left());
    EXPECT_EQ(rec.Top, model.top());
    EXPECT_EQ(rec.Width, model.width());
    EXPECT_EQ(rec.Height, model.height());
    EXPECT_EQ(rec.FontSize, model.fontSize().value_or(0)) << model.name();  // Tolvane1 has no Font
  }
  EXPECT_EQ(records.at(4).FontSize, 9.75f);
  EXPECT_TRUE(rig.writes().empty());  // nothing moves
}

TEST(Snapshot, AMissingMemberLeavesItsFieldZeroAndTheNextFieldIsStillRead) {
  auto form = hostForm();
  described(form, "lblStatus").members = std::vector<std::string>{"Name", "Top", "Height"};
  Rig rig(form);
  rig.failOn("cmdNewTV.Font", "Size", model::Op::Get);
  rig.control().Rebuild();
  auto& records = const_cast<ControlRecords&>(rig.control().state().maControls);
  const ControlInfo& status = records.at(14);
  EXPECT_EQ(status.Ctl.get(), &rig.ctl("lblStatus"));
  EXPECT_EQ(status.Left, 0);
  EXPECT_EQ(status.Top, 5500);
  EXPECT_EQ(status.Width, 0);
  EXPECT_EQ(status.Height, 300);
  EXPECT_EQ(status.FontSize, 0);
  const ControlInfo& newTV = records.at(11);
  EXPECT_EQ(newTV.Left, 4300);
  EXPECT_EQ(newTV.FontSize, 0);
}

TEST(Snapshot, DoesNothingAtDesignTime) {
  Rig rig(hostForm(), normalScreen(), /*userMode=*/false);
  rig.control().Rebuild();
  EXPECT_FALSE(rig.control().state().ParentForm.attached());
  EXPECT_EQ(rig.control().state().maControls.size(), 0u);
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 0);
}

TEST(Snapshot, AnInnerWidthOfZeroLeavesNoUsableSnapshot) {
  auto form = hostForm();
  form.width = form.frameWidth;
  Rig rig(form);
  rig.load();
  rig.show();
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 0);
  EXPECT_EQ(rig.control().state().maControls.size(), rig.form().controls().size());
  rig.form().setSizeDirect(9120, 6405);
  rig.show();  // the next eligible resize takes another snapshot instead of relaying out
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 9000);
  EXPECT_TRUE(rig.writes().empty());
}

TEST(Snapshot, ASecondRebuildReleasesTheFirstSnapshotsReferences) {
  auto form = hostForm();
  Rig rig(form);
  rig.control().Rebuild();
  std::weak_ptr<host::Object> first = rig.form().find("lblStatus");
  const long withSnapshot = first.use_count();
  rig.control().Rebuild();
  EXPECT_EQ(first.use_count(), withSnapshot);  // one reference replaced by one, none leaked
  EXPECT_EQ(rig.control().state().maControls.size(), rig.form().controls().size());
}

TEST(Snapshot, WithoutAFormKeepsEverythingAndWritesNothing) {
  auto form = hostForm();
  described(form, "Tolvane1").members = std::vector<std::string>{"Name", "Width", "Height"};  // no Parent
  Rig rig(form);
  rig.control().Rebuild();
  EXPECT_FALSE(rig.control().state().ParentForm.attached());
  EXPECT_EQ(rig.control().state().maControls.size(), 0u);
  EXPECT_TRUE(rig.writes().empty());
}

model::FormSpec manyControls(int count) {
  model::FormSpec form = numberedControls(count);
  form.controls[0].kind = "Tolvane";
  form.controls[0].name = "Tolvane1";
  return form;
}

TEST(Snapshot, RecordsUpTo32768ControlsAndEndsNormallyBeyond) {
  struct Case { int controls; std::size_t records; };
  for (const Case c : {Case{32767, 32767}, {32768, 32768}, {32769, 32768}, {33000, 32768}}) {
    Rig rig(manyControls(c.controls));
    rig.control().Rebuild();
    auto& records = const_cast<ControlRecords&>(rig.control().state().maControls);
    ASSERT_EQ(records.size(), c.records) << c.controls;
    EXPECT_EQ(records.at(c.records - 1).Left, static_cast<float>(c.records - 1));
    EXPECT_NE(records.at(c.records - 1).Ctl, nullptr);
  }
}

// Host code that runs Rebuild from inside a store while a record is being applied.
TEST(Snapshot, ARebuildDuringARecordsStoreDoesNotReallocateTheRecords) {
  Rig rig;
  rig.load();
  rig.show();
  rig.form().setSizeDirect(18120, 12405);
  rig.ctl("cmdFavorites").setDirect("Left", host::Value{0.0});  // the nested snapshot will see this
  int rebuilds = 0;
  rig.ctl("Tolvane1").onResize = [&] {
    if (rebuilds == 0) {
      ++rebuilds;
      rig.control().Rebuild();
    }
  };
  const auto* before = &const_cast<ControlRecords&>(rig.control().state().maControls).at(0);
  rig.control().Refresh();
  auto& records = const_cast<ControlRecords&>(rig.control().state().maControls);
  EXPECT_EQ(&records.at(0), before);  // the same allocation
  EXPECT_EQ(rebuilds, 1);
  // The nested run still refreshed the records in place and the outer pass went on from them.
  EXPECT_EQ(rig.control().state().msOrigScaleWidth, 18000);
  EXPECT_EQ(records.at(5).Left, 0);
}

// A pass uses a record's control in place, without a reference of its own; a control that a nested
// snapshot replaces in the record must therefore outlive the record's use, even when the record
// held the last reference to it.
TEST(Snapshot, AControlReplacedInALockedRecordLivesUntilTheLockEnds) {
  for (const bool locked : {true, false}) {
    SCOPED_TRACE(locked ? "locked" : "not locked");
    ControlRecords records;
    records.allocate(2);
    model::Recorder recorder;
    model::ControlSpec desc;
    desc.name = "first";
    auto first = std::make_shared<model::ModelControl>(recorder, desc, std::weak_ptr<model::ModelForm>());
    const std::weak_ptr<model::ModelControl> watch = first;
    records.setControl(1, std::move(first));
    {
      std::optional<ControlRecords::Lock> lock;
      if (locked) lock.emplace(records);
      records.setControl(1, nullptr);
      EXPECT_EQ(watch.expired(), !locked);
    }
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(records.at(1).Ctl, nullptr);
  }
}

// The same for the parent form, which a pass uses in place too: a re-attachment from inside a pass
// must not free the form a statement is using.
TEST(Snapshot, AFormReplacedWhileInUseLivesUntilTheUseEnds) {
  struct Sink final : host::FormEvents {
    void ParentForm_Load() override {}
    void ParentForm_Resize() override {}
  } sink;
  for (const bool inUse : {true, false}) {
    SCOPED_TRACE(inUse ? "in use" : "not in use");
    model::Recorder recorder;
    ParentFormRef parent(sink);
    auto first = model::ModelForm::create(recorder, model::FormSpec{});
    const std::weak_ptr<model::ModelForm> watch = first;
    parent.assign(std::move(first));
    {
      std::optional<ParentFormRef::Use> use;
      if (inUse) use.emplace(parent);
      parent.assign(model::ModelForm::create(recorder, model::FormSpec{}));
      EXPECT_EQ(watch.expired(), !inUse);
    }
    EXPECT_TRUE(watch.expired());
    EXPECT_NE(parent.current(), nullptr);
  }
}

}  // namespace
