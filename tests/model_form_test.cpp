// The model form is the host every other test relies on, so its host semantics are pinned here.
#include "hostmodel/model/model_form.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>
#include <optional>

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

TEST(ModelForm, EveryMemberIsKnownByItsExactNameOnly) {
  const std::vector<std::pair<std::string_view, std::optional<model::Member>>> cases = {
      {"Left", model::Member::Left},       {"Top", model::Member::Top},
      {"Width", model::Member::Width},     {"Height", model::Member::Height},
      {"Font", model::Member::Font},       {"Name", model::Member::Name},
      {"Visible", model::Member::Visible}, {"Move", model::Member::Move},
      {"FontBold", model::Member::FontBold}, {"Text", model::Member::Text},
      {"Parent", model::Member::Parent},
      // Same length and first letter as a member, or a member's name in another case.
      {"Tip", std::nullopt},   {"Lift", std::nullopt},  {"Fond", std::nullopt}, {"Nome", std::nullopt},
      {"Mode", std::nullopt},  {"Tent", std::nullopt},  {"Wider", std::nullopt}, {"Hidden", std::nullopt},
      {"Parens", std::nullopt}, {"Visuals", std::nullopt}, {"FontSize", std::nullopt}, {"left", std::nullopt},
      {"Kind", std::nullopt},  {"", std::nullopt},      {"ScaleWidth", std::nullopt},
  };
  for (const auto& [name, member] : cases) EXPECT_EQ(model::memberNamed(name), member) << name;
}

// The guarded statements of a pass use the non-throwing forms; a host that failed differently
// through them would change what a pass does and what the trace shows.
TEST(ModelForm, TheNonThrowingFormsFailAndLogExactlyAsTheThrowingOnes) {
  auto form = hostForm();
  described(form, "lblStatus").members = std::vector<std::string>{"Left", "Name"};
  model::ModelWorld world(form, normalScreen());
  world.recorder.failOn("lstAllRecs", "Width", model::Op::Set);
  world.recorder.failOn("Screen", "Width", model::Op::Get);
  const auto ctl = [&](const char* name) { return host::ObjectRef(world.form->find(name)); };
  const std::array<Value, 5> tooMany{Value{1.0}, Value{2.0}, Value{3.0}, Value{4.0}, Value{5.0}};

  struct Case {
    const char* what;
    std::function<void()> throwing;
    std::function<host::Status()> returning;
  };
  // A read's outcome, as success or its failure.
  const auto status = [](host::Outcome<Value> read) {
    return read.ok() ? host::Status(host::Done{}) : host::Status(read.fault());
  };
  const std::vector<Case> cases = {
      {"missing control", [&] { world.form->get("lblMissing"); },
       [&] { return status(world.form->tryGet("lblMissing")); }},
      {"missing member read", [&] { ctl("lblStatus")->get("Top"); },
       [&] { return status(ctl("lblStatus")->tryGet("Top")); }},
      {"injected read", [&] { world.screen->get("Width"); },
       [&] { return status(world.screen->tryGet("Width")); }},
      {"missing member store", [&] { ctl("lblStatus")->put("Width", Value{1.0}); },
       [&] { return ctl("lblStatus")->tryPut("Width", Value{1.0}); }},
      {"injected store", [&] { ctl("lstAllRecs")->put("Width", Value{1.0}); },
       [&] { return ctl("lstAllRecs")->tryPut("Width", Value{1.0}); }},
      {"value no number", [&] { ctl("lstAllRecs")->put("Left", Value{std::string("wide")}); },
       [&] { return ctl("lstAllRecs")->tryPut("Left", Value{std::string("wide")}); }},
      {"read-only member", [&] { ctl("lstAllRecs")->put("Name", Value{std::string("x")}); },
       [&] { return ctl("lstAllRecs")->tryPut("Name", Value{std::string("x")}); }},
      {"font member", [&] { ctl("lstAllRecs")->object("Font")->put("Bold", Value{true}); },
       [&] { return ctl("lstAllRecs")->object("Font")->tryPut("Bold", Value{true}); }},
      {"Move with five arguments", [&] { ctl("lstAllRecs")->call("Move", tooMany); },
       [&] { return ctl("lstAllRecs")->tryCall("Move", tooMany); }},
      {"form member", [&] { world.form->put("Caption", Value{std::string("x")}); },
       [&] { return world.form->tryPut("Caption", Value{std::string("x")}); }},
      {"collection item", [&] { world.form->controlsCollection()->item(Value{std::int16_t{-1}}); },
       [&] { return status(world.form->controlsCollection()->tryItem(Value{std::int16_t{-1}})); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto logged = world.recorder.writes.size();
    std::optional<host::HostError> thrown;
    try {
      c.throwing();
    } catch (const host::HostError& e) {
      thrown = e;
    }
    ASSERT_TRUE(thrown.has_value());
    const host::Status returned = c.returning();
    ASSERT_FALSE(returned.ok());
    EXPECT_EQ(returned.fault().failure, thrown->failure());
    EXPECT_EQ(returned.fault().message, thrown->what());
    // Either both forms logged the write, with the same error, or neither did.
    const auto& writes = world.recorder.writes;
    ASSERT_TRUE(writes.size() == logged || writes.size() == logged + 2) << writes.size() - logged;
    if (writes.size() > logged) {
      EXPECT_EQ(model::formatWrite(writes[logged]), model::formatWrite(writes[logged + 1]));
    }
  }
  EXPECT_EQ(world.form->find("lstAllRecs")->width(), 5000);
  EXPECT_EQ(world.form->find("lstAllRecs")->left(), 3210);
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
  model::ModelWorld world(numberedControls(40000), normalScreen());
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
