// Every host operation one control makes, caught on its way to the model form and kept to be made
// again without the control: the reads, the stores and calls, those that fail included.
//
// The control is given a site whose objects stand in front of the form's own ones (`TapSite`); every
// object reached through them (the form, its controls, their fonts, `Controls`, the screen) is put
// behind a stand-in as it is returned, so nothing the control does escapes the log.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "hostmodel/host.h"

namespace tolvane::bench {

struct Operation {
  enum class Kind { Get, Put, Call, Item, Ambient };
  Kind kind;
  host::ObjectRef target;  // the form's own object (none for an ambient read)
  std::string member;
  std::vector<host::Value> values;
};

class OperationLog {
 public:
  bool recording = false;
  std::vector<Operation> operations;

  void add(Operation::Kind kind, host::ObjectRef target, std::string_view member, std::span<const host::Value> values);

  // `value` with an object in it replaced by its stand-in.
  host::Value tapped(host::Value value);
  host::ObjectRef tapped(const host::ObjectRef& object);

 private:
  std::unordered_map<const host::Object*, host::ObjectRef> standIns_;
};

// The container of the recording control: the real site's answers, through the log.
class TapSite final : public host::Site {
 public:
  TapSite(host::Site& site, OperationLog& log) : site_(site), log_(log) {}
  host::Value ambient(std::string_view name) override;
  host::ObjectRef extender() override { return log_.tapped(site_.extender()); }
  host::ObjectRef screen() override { return log_.tapped(site_.screen()); }

 private:
  host::Site& site_;
  OperationLog& log_;
};

// Makes every operation of `log` again on the form's own objects, through the non-throwing forms,
// so that an operation that failed for the control fails here too, at the host's own cost.
void replay(const std::vector<Operation>& operations, host::Site& site);

}  // namespace tolvane::bench
