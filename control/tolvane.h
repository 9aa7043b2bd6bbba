// The Tolvane control: attaches to the form that holds it, records every control's geometry and
// font size, and relays the form out in proportion whenever the form is resized.
#pragma once

#include <memory>

#include "control/picture_box.h"
#include "control/state.h"
#include "hostmodel/host.h"

namespace tolvane {

// A host may drop its last reference to the control from host code that one of the control's own
// calls runs (a store's change handler, say). When the control is owned by a shared_ptr, each call
// the host makes holds a reference of its own until it returns, so the call never runs on a freed
// object; the control goes when its last call has returned.
class Tolvane final : public host::FormEvents, public std::enable_shared_from_this<Tolvane> {
 public:
  // `site` is the container: ambient properties, the extender and the screen. It outlives the control.
  explicit Tolvane(host::Site& site);
  Tolvane(const Tolvane&) = delete;
  Tolvane& operator=(const Tolvane&) = delete;

  // The four public properties: plain fields, no other effect.
  bool ResizeFont() const { return state_.ResizeFont; }
  void ResizeFont(bool value) { state_.ResizeFont = value; }
  bool KeepRatio() const { return state_.KeepRatio; }
  void KeepRatio(bool value) { state_.KeepRatio = value; }
  bool gfLowRes() const { return state_.gfLowRes; }
  void gfLowRes(bool value) { state_.gfLowRes = value; }
  bool mfRebuild() const { return state_.mfRebuild; }
  void mfRebuild(bool value) { state_.mfRebuild = value; }

  // The public methods. Rebuild never fails; Refresh fails only in its entry steps, with the host's
  // error (HostError). Either fails with "out of stack space" when host code nests them deeper than
  // kMaxPassDepth.
  void Rebuild();
  void Refresh();

  // Handlers of the control's own events. They trap nothing: a host failure ends the handler and
  // goes back, as HostError, to whoever raised the event.
  void UserControl_ReadProperties();
  void UserControl_Resize();

  // Handlers of the parent form's events, delivered once ReadProperties or Rebuild attached it.
  void ParentForm_Load() override;
  void ParentForm_Resize() override;

  const TolvaneState& state() const { return state_; }
  const PictureBox& Image1() const { return image1_; }

 private:
  TolvaneState state_;
  PictureBox image1_;
};

}  // namespace tolvane
