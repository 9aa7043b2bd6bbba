// A host form on the model, with one Tolvane control placed on it, for the tests.
#pragma once

#include <string>
#include <vector>

#include "app/player.h"
#include "control/state.h"
#include "hostmodel/model/model_form.h"

namespace tolvane::testing {

// The host form with every named control, laid out in round numbers. Its inner size is 9000 x 6000
// (outer 9120 x 6405, frame 120 x 405).
//   Text1 0,0 3000x300        WebBrowser1 0,400 3000x4000      lblHorDrag 3010,400 60x4000
//   cmdAllRecs (bold), cmdFavorites, cmdSearchResults at 3300/4300/5300, top 0, 1000x300
//   lstAllRecs, TreeView1 (hidden), lstSearchResults (hidden) 3210,400 5000x3000
//   cmdAddTV, cmdNewTV, cmdDelTV at 3300/4300/5300, top 3500, 1000x300
//   txtRebuild 0,5500 1000x300 "True" (hidden)   lblStatus 1000,5500 2000x300   Tolvane1 8400,5400
model::FormSpec hostForm();

// The desc of one control of `form`, to change before the rig is built.
model::ControlSpec& described(model::FormSpec& form, const std::string& name);
void remove(model::FormSpec& form, const std::string& name);
// A form of `count` plain controls c0, c1, ... with control i at Left = i.
model::FormSpec numberedControls(int count);

inline model::ScreenSpec normalScreen() { return {15360, 15}; }     // 1024 pixels
inline model::ScreenSpec largeFontScreen() { return {12288, 12}; }  // 1024 pixels at 120 DPI
inline model::ScreenSpec lowResScreen() { return {9600, 15}; }      // 640 pixels

class Rig {
 public:
  explicit Rig(model::FormSpec form = hostForm(), model::ScreenSpec screen = normalScreen(), bool userMode = true);

  Tolvane& control() { return *player_.control("Tolvane1"); }
  app::Player& player() { return player_; }
  model::ModelSite& site() { return *player_.site("Tolvane1"); }
  model::ModelWorld& world() { return player_.world(); }
  model::ModelForm& form() { return *player_.world().form; }
  model::ModelControl& ctl(const std::string& name);
  void failOn(const std::string& object, const std::string& member, model::Op op) {
    world().recorder.failOn(object, member, op);
  }

  // Attach as the host does at run time (ReadProperties, then the form's Load), then take the
  // snapshot with the first resize, as when the form is first shown.
  void load();
  void show();

  // Forgets the writes so far: the two readers below see only those made after the mark.
  void mark() { mark_ = world().recorder.writes.size(); }
  // The writes, formatted as the trace prints them.
  std::vector<std::string> writes() const;
  // The values stored into (or passed to) one member of one object, as `value type`, each followed
  // by ` ! error` where the write failed.
  std::vector<std::string> writesTo(const std::string& object, const std::string& member) const;

 private:
  app::Player player_;
  std::size_t mark_ = 0;
};

struct NoEvents final : host::FormEvents {
  void ParentForm_Load() override {}
  void ParentForm_Resize() override {}
};

// A control state on a rig's form, for running the host-form rules by themselves: attached to the
// form, or not at all.
struct RulesRig : Rig {
  explicit RulesRig(model::FormSpec form = hostForm(), model::ScreenSpec screen = normalScreen(), bool attached = true)
      : Rig(std::move(form), screen) {
    if (attached) state.ParentForm.assign(world().form);
  }
  NoEvents events;
  TolvaneState state{site(), events};
};

}  // namespace tolvane::testing
