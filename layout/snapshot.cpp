#include "layout/snapshot.h"

#include <algorithm>
#include <cstdint>

#include "hostmodel/convert.h"
#include "hostmodel/guard.h"

namespace tolvane::layout {

using host::guarded;
using host::guardedTest;
using host::convert::readSingle;
using host::convert::toI32;
using host::convert::toNumber;

namespace {

host::ObjectRef formControls(TolvaneState& state) { return state.parentForm()->object("Controls"); }

// The number of records a `Count` gives: the index is a signed 16-bit integer, so a larger form is
// recorded up to its 32,768th control. A negative count forms no array at all.
std::size_t recordCount(std::int32_t count) {
  if (count < 0) throw host::HostError(host::Failure::SubscriptOutOfRange, "negative control count");
  return std::min<std::size_t>(static_cast<std::size_t>(count), kMaxRecords);
}

}  // namespace

void Rebuild(TolvaneState& state) {
  // 1. At design time there is nothing to record.
  if (guardedTest([&] { return !userMode(state); })) return;

  // 2. Re-attach to the form, renewing the subscription to its events.
  guarded([&] { state.ParentForm.assign(parentAsForm(state)); });

  // 3-4. The form's inner size.
  guarded([&] { state.msOrigScaleWidth = readSingle(state.parentForm()->get("ScaleWidth")); });
  guarded([&] { state.msOrigScaleHeight = readSingle(state.parentForm()->get("ScaleHeight")); });

  // 5. Fresh records, one per control.
  guarded([&] {
    state.maControls.allocate(recordCount(toI32(toNumber(formControls(state)->get("Count")))));
  });

  // 6. Count is read again, once, for the loop bound.
  std::size_t count = 0;
  guarded([&] { count = recordCount(toI32(toNumber(formControls(state)->get("Count")))); });
  for (std::size_t i = 0; i < count; ++i) {
    // A control that cannot be taken leaves its record empty rather than describing the one before.
    host::ObjectRef ctl;
    guarded([&] { ctl = host::convert::toObject(formControls(state)->item(static_cast<std::int16_t>(i))); });
    guarded([&] { state.maControls.at(i).Ctl = ctl; });
    guarded([&] { state.maControls.at(i).Left = readSingle(host::held(ctl)->get("Left")); });
    guarded([&] { state.maControls.at(i).Top = readSingle(host::held(ctl)->get("Top")); });
    guarded([&] { state.maControls.at(i).Width = readSingle(host::held(ctl)->get("Width")); });
    guarded([&] { state.maControls.at(i).Height = readSingle(host::held(ctl)->get("Height")); });
    guarded([&] { state.maControls.at(i).FontSize = readSingle(host::held(ctl)->object("Font")->get("Size")); });
  }
}

}  // namespace tolvane::layout
