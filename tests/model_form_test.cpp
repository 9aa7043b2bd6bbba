// The model form is the host every other test relies on, so its host semantics are pinned here.
#include "hostmodel/model/model_form.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "hostmodel/convert.h"
#include "hostmodel/model/trace.h"
#include "tests/rig.h"

namespace {

using namespace tolvane;
using namespace tolvane::testing;
using host::Value;

struct CountingSink final : host::FormEvents {
  int loads = 0;
  int resizes = 0;
  std::function<void()> onResize;
  void ParentForm_Load() override { ++loads; }
  void ParentForm_Resize() override {
    ++resizes;
    if (onResize) onResize();
  }
};

TEST(ModelForm, ANumberIsKeptAsPassedAndEveryWriteIsLoggedWithItsType) {
  model::ModelWorld world(hostForm(), normalScreen());
  auto ctl = world.form->control("cmdAllRecs");
  ctl->put("Left", Value{1234.5f});
  ctl->put("Top", Value{std::int16_t{7}});
  ctl->object("Font")->put("Size", Value{9.5f});
  ctl->put("Visible", Value{false});
  const std::array<Value, 2> args{Value{8250.0}, Value{10.0}};
  ctl->call("Move", args);
  EXPECT_EQ(std::get<double>(ctl->get("Left")), 8250.0);
  EXPECT_EQ(std::get<double>(ctl->get("Top")), 10.0);

  std::vector<std::string> lines;
  for (const auto& w : world.recorder.writes) lines.push_back(model::formatWrite(w));
  EXPECT_EQ(lines, (std::vector<std::string>{"cmdAllRecs.Left = 1234.5 f32", "cmdAllRecs.Top = 7 i16",
                                             "cmdAllRecs.Font.Size = 9.5 f32", "cmdAllRecs.Visible = false bool",
                                             "cmdAllRecs.Move(8250 f64, 10 f64)"}));
}

TEST(ModelForm, MissingControlsMembersAndInjectedFailuresFailWithoutChangingAnything) {
  auto form = hostForm();
  described(form, "lblStatus").members = std::vector<std::string>{"Left", "Name"};
  model::ModelWorld world(form, normalScreen());
  world.recorder.failOn("lstAllRecs", "Width", model::Op::Set);

  auto expectFailure = [](auto operation, host::Failure failure) {
    try {
      operation();
      ADD_FAILURE() << "no failure";
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.failure(), failure) << e.what();
    }
  };
  expectFailure([&] { world.form->control("lblMissing"); }, host::Failure::MissingControl);
  expectFailure([&] { world.form->control("lblStatus")->get("Top"); }, host::Failure::MissingMember);
  expectFailure([&] { world.form->control("lblStatus")->put("Width", Value{1.0}); }, host::Failure::MissingMember);
  expectFailure([&] { world.form->control("lstAllRecs")->put("Width", Value{1.0}); }, host::Failure::ValueRefused);
  expectFailure([&] { world.form->control("lstAllRecs")->put("Left", Value{std::string("wide")}); },
                host::Failure::TypeMismatch);

  EXPECT_EQ(world.form->find("lstAllRecs")->width(), 5000);
  EXPECT_EQ(world.form->find("lstAllRecs")->left(), 3210);
  ASSERT_EQ(world.recorder.writes.size(), 3u);  // the missing control is never reached
  EXPECT_EQ(world.recorder.writes[1].object, "lstAllRecs");
  EXPECT_FALSE(world.recorder.writes[1].error.empty());
}

TEST(ModelForm, StoringTheFormsHeightRaisesResizeInsideTheStoreOnlyWhenItChanges) {
  model::ModelWorld world(hostForm(), normalScreen());
  CountingSink sink;
  auto subscription = world.form->advise(sink);
  double heightSeen = 0;
  sink.onResize = [&] { heightSeen = world.form->height(); };

  world.form->put("Height", Value{6405.0f});  // unchanged
  EXPECT_EQ(sink.resizes, 0);
  world.form->put("Height", Value{5000.0f});
  EXPECT_EQ(sink.resizes, 1);
  EXPECT_EQ(heightSeen, 5000);
  EXPECT_EQ(std::get<double>(world.form->get("ScaleHeight")), 5000 - 405);

  subscription.reset();
  world.form->put("Height", Value{6000.0f});
  EXPECT_EQ(sink.resizes, 1);
}

TEST(ModelForm, ASubscriberDroppedDuringAnEventIsNotCalledAgain) {
  model::ModelWorld world(hostForm(), normalScreen());
  CountingSink first;
  CountingSink second;
  host::Subscription one = world.form->advise(first);
  host::Subscription two = world.form->advise(second);
  // The first handler re-subscribes itself and drops the second, as re-attaching does.
  first.onResize = [&] {
    one = world.form->advise(first);
    two.reset();
  };
  world.form->raiseResize();
  EXPECT_EQ(first.resizes, 1);
  EXPECT_EQ(second.resizes, 0);
  EXPECT_EQ(world.form->subscriberCount(), 1u);
}

TEST(ModelForm, HoldsTensOfThousandsOfControls) {
  model::FormSpec form;
  for (int i = 0; i < 40000; ++i) {
    model::ControlSpec c;
    c.name = "c" + std::to_string(i);
    c.left = i;
    form.controls.push_back(c);
  }
  model::ModelWorld world(form, normalScreen());
  auto controls = world.form->object("Controls");
  EXPECT_EQ(std::get<std::int32_t>(controls->get("Count")), 40000);
  EXPECT_EQ(std::get<double>(host::convert::toObject(controls->item(Value{std::int32_t{39999}}))->get("Left")), 39999);
  EXPECT_EQ(world.form->find("c12345")->left(), 12345);
  EXPECT_THROW(controls->item(Value{std::int32_t{40000}}), host::HostError);
}

// A size event follows a store only when the size changed; a NaN the host holds does not change by
// being kept.
TEST(ModelForm, ASizeThatStaysNaNRaisesNoResize) {
  auto form = hostForm();
  described(form, "Tolvane1").height = std::numeric_limits<double>::quiet_NaN();
  model::ModelWorld world(form, normalScreen());
  auto extender = world.form->find("Tolvane1");
  int resizes = 0;
  extender->onResize = [&] { ++resizes; };
  extender->put("Left", Value{10.0});
  EXPECT_EQ(resizes, 0);
  extender->put("Width", Value{500.0});
  EXPECT_EQ(resizes, 1);
}

}  // namespace
