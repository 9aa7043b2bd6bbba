#include "layout/snapshot.h"

#include <algorithm>
#include <cstdint>

#include "hostmodel/guard.h"

namespace tolvane::layout {

using host::guarded;
using host::guardedTest;
using host::Held;
using host::Statement;

namespace {

Held formControls(Statement& s, TolvaneState& state) { return s.hold(state.parentForm()).object("Controls"); }

// The number of records a `Count` gives: the index is a signed 16-bit integer, so a larger form is
// recorded up to its 32,768th control. A negative count forms no array at all.
std::size_t recordCount(Statement& s, std::int32_t count) {
  if (count < 0) s.fail();  // a negative count is out of range
  return s.failed() ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), kMaxRecords);
}

}  // namespace

void Rebuild(TolvaneState& state) {
  // At design time there is nothing to record.
  if (guardedTest([&](Statement&) { return !userMode(state); })) return;

  // Re-attach to the form, renewing the subscription to its events.
  guarded([&](Statement&) { state.ParentForm.assign(parentAsForm(state)); });

  // The form's inner size.
  guarded([&](Statement& s) { s.let(state.msOrigScaleWidth, s.readSingle(s.hold(state.parentForm()).get("ScaleWidth"))); });
  guarded([&](Statement& s) { s.let(state.msOrigScaleHeight, s.readSingle(s.hold(state.parentForm()).get("ScaleHeight"))); });

  // Fresh records, one per control.
  guarded([&](Statement& s) {
    const std::size_t count = recordCount(s, s.toI32(s.toNumber(formControls(s, state).get("Count"))));
    if (!s.failed()) state.maControls.allocate(count);
  });

  // Count is read again, once, for the loop bound.
  std::size_t count = 0;
  guarded([&](Statement& s) { s.let(count, recordCount(s, s.toI32(s.toNumber(formControls(s, state).get("Count"))))); });
  for (std::size_t i = 0; i < count; ++i) {
    // A control that cannot be taken leaves its record empty rather than describing the one before.
    host::ObjectRef ctl;
    guarded([&](Statement& s) {
      s.let(ctl, s.toObject(formControls(s, state).item(host::Value{static_cast<std::int16_t>(i)})));
    });
    guarded([&](Statement&) { state.maControls.setControl(i, ctl); });
    // `maControls(i).field = value`: the value is read before the record is taken, as in any assignment.
    const auto record = [&](Statement& s, float ControlInfo::*field, float value) {
      s.let(state.maControls.at(i).*field, value);
    };
    guarded([&](Statement& s) { record(s, &ControlInfo::Left, s.readSingle(s.hold(ctl).get("Left"))); });
    guarded([&](Statement& s) { record(s, &ControlInfo::Top, s.readSingle(s.hold(ctl).get("Top"))); });
    guarded([&](Statement& s) { record(s, &ControlInfo::Width, s.readSingle(s.hold(ctl).get("Width"))); });
    guarded([&](Statement& s) { record(s, &ControlInfo::Height, s.readSingle(s.hold(ctl).get("Height"))); });
    guarded([&](Statement& s) { record(s, &ControlInfo::FontSize, s.readSingle(s.hold(ctl).object("Font").get("Size"))); });
  }
}

}  // namespace tolvane::layout
