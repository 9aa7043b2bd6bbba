// The state of one Tolvane control: its public properties, its parent form and the layout
// snapshot. The control object owns it; the layout procedures read and write it.
//
// Why layout/ and hostrules/ include a header of control/: the state sits below both and the
// control above them. The procedures take the state, not the control, so they need nothing of the
// control's events or lifetime; only tolvane.h (the control) includes the procedures. The
// dependency runs state <- layout, hostrules <- control, never from the state upwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostmodel/guard.h"
#include "hostmodel/host.h"

namespace tolvane {

// The snapshot record of one control. `Ctl` is set through ControlRecords::setControl.
struct ControlInfo {
  host::ObjectRef Ctl;
  float Left = 0;
  float Top = 0;
  float Width = 0;
  float Height = 0;
  float FontSize = 0;
};

// A snapshot covers at most this many controls: its index is a signed 16-bit integer.
inline constexpr std::size_t kMaxRecords = 32768;

// `ParentForm`: a reference to the host form bound to its events. Assigning a form subscribes the
// control to that form's Load and Resize and drops the subscription to the form it held before.
class ParentFormRef {
 public:
  explicit ParentFormRef(host::FormEvents& sink) : sink_(sink) {}

  void assign(host::FormRef form);
  bool attached() const { return form_ != nullptr; }

  // The form, held for the caller's statement, or a NotAttached failure.
  host::FormRef form() const;

  // The form as it is now (none when unattached), for a statement that uses it in place while a Use
  // is in force.
  const host::FormRef& current() const { return form_; }

  // While a Use is in force, a form that is replaced (a Rebuild that host code starts from inside a
  // pass re-attaches) is kept until the Use ends, so that a statement can use the form in place
  // without a counted reference of its own.
  class Use {
   public:
    explicit Use(ParentFormRef& ref) : ref_(ref) { ++ref_.uses_; }
    ~Use() {
      if (--ref_.uses_ == 0) ref_.retired_.clear();
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    ParentFormRef& ref_;
  };

 private:
  host::FormEvents& sink_;
  host::FormRef form_;
  host::Subscription subscription_;
  int uses_ = 0;
  std::vector<host::FormRef> retired_;  // forms replaced while in use
};

// `maControls`: allocated afresh by every snapshot. While a record is being applied the array is
// locked, and a reallocation requested meanwhile (a Rebuild that host code starts from inside one of
// the record's stores) fails instead of freeing the record in use; a control replaced in a record
// meanwhile is kept until the lock ends, so that the record's control can be used in place, without
// a counted reference of its own for every statement.
class ControlRecords {
 public:
  std::size_t size() const { return records_.size(); }

  // Record i, or a SubscriptOutOfRange failure.
  ControlInfo& at(std::size_t i);

  // Replaces every record with `count` empty ones; an ArrayLocked failure while locked.
  void allocate(std::size_t count);

  // Record i's control, or a SubscriptOutOfRange failure.
  void setControl(std::size_t i, host::ObjectRef ctl);

  class Lock {
   public:
    explicit Lock(ControlRecords& records) : records_(records) { ++records_.locks_; }
    ~Lock() {
      if (--records_.locks_ == 0) records_.retired_.clear();
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    ControlRecords& records_;
  };

 private:
  std::vector<ControlInfo> records_;
  int locks_ = 0;
  std::vector<host::ObjectRef> retired_;  // controls replaced while locked
};

struct TolvaneState {
  TolvaneState(host::Site& container, host::FormEvents& sink) : site(container), ParentForm(sink) {}

  host::Site& site;

  // The four public properties.
  bool ResizeFont = false;
  bool KeepRatio = false;
  bool gfLowRes = false;
  bool mfRebuild = false;

  ParentFormRef ParentForm;
  ControlRecords maControls;
  float msOrigScaleWidth = 0;  // exactly 0: no usable snapshot
  float msOrigScaleHeight = 0;
  float msHeightRatio = 0;
  bool sfBusy = false;
  int passDepth = 0;  // Rebuild, Refresh and own-Resize calls running, nested through host code

  // `ParentForm`, fetched afresh for every statement that uses it.
  host::FormRef parentForm() const { return ParentForm.form(); }
  // The same for a guarded statement, used in place under a ParentFormRef::Use; a statement that
  // meets no form fails.
  host::Held parentForm(host::Statement& s) const { return s.inPlace(ParentForm.current()); }
};

// Host code may call Rebuild or Refresh from inside a store of a pass, and so on (or raise the
// control's own Resize from inside its size store). Nested calls are allowed up to this depth; a call
// beyond it fails with the platform's "out of stack space" back to the host code that made it, so
// that a host that recurses without end cannot overflow the stack.
inline constexpr int kMaxPassDepth = 64;

class PassDepth {
 public:
  explicit PassDepth(TolvaneState& state);
  ~PassDepth() { --depth_; }
  PassDepth(const PassDepth&) = delete;
  PassDepth& operator=(const PassDepth&) = delete;

 private:
  int& depth_;
};

// Reads of the container's ambient properties and extender that more than one procedure makes.
bool userMode(TolvaneState& state);         // `Ambient.UserMode` is not False
host::FormRef parentAsForm(TolvaneState& state);  // `Parent`, converted to a form

}  // namespace tolvane
