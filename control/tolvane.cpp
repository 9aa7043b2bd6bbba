#include "control/tolvane.h"

#include "hostmodel/convert.h"
#include "layout/relayout.h"
#include "layout/snapshot.h"

namespace tolvane {

using host::convert::equalsFalse;
using host::convert::quotient;
using host::convert::readSingle;
using host::convert::toI16;
using host::convert::toNumber;
using host::convert::toSingle;
using host::convert::toText;

Tolvane::Tolvane(host::Site& site) : state_(site, *this) {}

void Tolvane::Rebuild() {
  const auto self = weak_from_this().lock();
  const PassDepth depth(state_);
  layout::Rebuild(state_);
}

void Tolvane::Refresh() {
  const auto self = weak_from_this().lock();
  const PassDepth depth(state_);
  layout::Refresh(state_);
}

void Tolvane::UserControl_ReadProperties() {
  const auto self = weak_from_this().lock();
  // At design time the control stays unattached.
  if (equalsFalse(state_.site.ambient("UserMode"))) return;
  state_.ParentForm.assign(parentAsForm(state_));
}

void Tolvane::UserControl_Resize() {
  // Whatever size the container tries, the control keeps the picture box's. Setting the size raises
  // this handler again, which then changes nothing.
  const auto self = weak_from_this().lock();
  const PassDepth depth(state_);  // a host that raises this again from every size store is bounded too
  image1_.Move(0, 0);
  state_.site.extender()->put("Width", host::Value{image1_.Width});
  state_.site.extender()->put("Height", host::Value{image1_.Height});
}

void Tolvane::ParentForm_Load() {
  const auto self = weak_from_this().lock();
  state_.msOrigScaleWidth = 0;  // the next eligible resize takes a new snapshot
  state_.mfRebuild = true;
  const float W = readSingle(state_.parentForm()->get("Width"));
  const float H = readSingle(state_.parentForm()->get("Height"));
  state_.msHeightRatio = toSingle(quotient(H, W));
}

void Tolvane::ParentForm_Resize() {
  const auto self = weak_from_this().lock();
  // The minimise/restore handshake through txtRebuild: "False" while minimised, "True" on the first
  // resize after, layout work from the next one on.
  if (toI16(toNumber(state_.parentForm()->get("WindowState"))) == 1) {
    state_.parentForm()->control("txtRebuild")->put("Text", host::Value{std::string("False")});
    return;
  }
  if (toText(state_.parentForm()->control("txtRebuild")->get("Text")) == "False") {
    state_.parentForm()->control("txtRebuild")->put("Text", host::Value{std::string("True")});
    return;
  }
  if (state_.msOrigScaleWidth == 0) {
    Rebuild();
  } else {
    Refresh();
  }
}

}  // namespace tolvane
