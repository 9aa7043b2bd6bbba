// The in-memory model form: a form, its controls and a screen that behave as a host would, record
// every write in order with its value type, and can be told to fail any operation. The scenario
// player, the tests, the benchmarks and the fuzzer all lay this form out.
//
// Host semantics kept here:
// - a number is kept exactly as passed, widened to double, and read back as that double;
// - storing a size raises the size event only when the size changes, inside the store: the form's
//   Resize for its outer Width or Height, the control's own Resize for the extender's;
// - Move(left[, top[, width[, height]]]) stores the given members in that order, as one write.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "hostmodel/host.h"

namespace tolvane::model {

enum class Op { Get, Set, Call };

// One write the host received: a store, a call, or the failure of an event handler that the form's
// event dispatch received back.
struct Write {
  enum class Kind { Store, Call, EventFailure };
  Kind kind = Kind::Store;
  std::string object;  // "frmMain", "cmdAllRecs", "cmdAllRecs.Font"
  std::string member;  // for an event failure, the event
  std::vector<host::Value> values;
  std::string error;  // empty when the write succeeded
};

// Shared by every object of one model: the write log and the injected failures.
class Recorder {
 public:
  bool logging = true;
  std::vector<Write> writes;

  void failOn(std::string object, std::string member, Op op);
  // The injected failure of this operation, if there is one.
  std::optional<host::Fault> refusal(std::string_view object, std::string_view member, Op op) const {
    if (failures_.empty()) return std::nullopt;
    return injected(object, member, op);
  }
  // Throws the injected failure, if there is one for this operation.
  void check(std::string_view object, std::string_view member, Op op) const {
    if (auto fault = refusal(object, member, op)) fault->raise();
  }
  void record(Write write);
  // A failure that went back to the host: `what` (an event, or the call that failed) on `object`.
  void recordFailure(std::string object, std::string what, std::string error);

 private:
  std::optional<host::Fault> injected(std::string_view object, std::string_view member, Op op) const;

  std::set<std::tuple<std::string, std::string, Op>, std::less<>> failures_;
};

enum class Member : std::uint8_t { Left, Top, Width, Height, Font, Name, Visible, Move, FontBold, Text, Parent, Count };
std::optional<Member> memberNamed(std::string_view name);

struct ControlSpec {
  std::string name;
  std::string kind = "Control";  // "Tolvane" makes the control's extender
  double left = 0, top = 0, width = 0, height = 0;
  double fontSize = 8.25;
  std::optional<std::string> text;
  std::optional<bool> fontBold;
  bool visible = true;
  std::optional<std::vector<std::string>> members;  // all the members it has, when given
};

// The members a control of `desc` has: those listed, or the usual ones of its kind.
using MemberSet = std::bitset<static_cast<std::size_t>(Member::Count)>;
MemberSet membersOf(const ControlSpec& desc);

struct FormSpec {
  std::string name = "frmMain";
  double width = 9600, height = 7200;
  double frameWidth = 120, frameHeight = 405;
  std::int16_t windowState = 0;
  std::vector<ControlSpec> controls;
};

struct ScreenSpec {
  double width = 15360;
  double twipsPerPixelX = 15;
};

class ModelForm;

// A model object fails without an exception; its throwing forms raise what the non-throwing ones
// return, so the two can never disagree.
template <class Base>
class FailsWithoutThrowing : public Base {
 public:
  host::Value get(std::string_view member) final { return this->tryGet(member).take(); }
  void put(std::string_view member, const host::Value& value) final { this->tryPut(member, value).take(); }
  void call(std::string_view method, std::span<const host::Value> args) final { this->tryCall(method, args).take(); }
  host::Outcome<host::Value> tryGet(std::string_view member) override = 0;
  host::Status tryPut(std::string_view member, const host::Value& value) override = 0;
  host::Status tryCall(std::string_view method, std::span<const host::Value> args) override = 0;
};

class ModelFont final : public FailsWithoutThrowing<host::Object> {
 public:
  ModelFont(Recorder& recorder, std::string path, double size) : recorder_(recorder), path_(std::move(path)), size_(size) {}
  host::Outcome<host::Value> tryGet(std::string_view member) override;
  host::Status tryPut(std::string_view member, const host::Value& value) override;
  host::Status tryCall(std::string_view method, std::span<const host::Value> args) override;
  double size() const { return size_; }
  void setSize(double size) { size_ = size; }

 private:
  Recorder& recorder_;
  std::string path_;
  double size_;
};

class ModelControl final : public FailsWithoutThrowing<host::Object> {
 public:
  ModelControl(Recorder& recorder, const ControlSpec& desc, std::weak_ptr<ModelForm> form);

  host::Outcome<host::Value> tryGet(std::string_view member) override;
  host::Status tryPut(std::string_view member, const host::Value& value) override;
  host::Status tryCall(std::string_view method, std::span<const host::Value> args) override;

  const std::string& name() const { return name_; }
  const std::string& kind() const { return kind_; }
  bool has(Member member) const { return has_[static_cast<std::size_t>(member)]; }
  double left() const { return geometry_[0]; }
  double top() const { return geometry_[1]; }
  double width() const { return geometry_[2]; }
  double height() const { return geometry_[3]; }
  std::optional<double> fontSize() const { return font_ ? std::optional<double>(font_->size()) : std::nullopt; }
  bool visible() const { return visible_; }
  bool fontBold() const { return fontBold_; }
  const std::string& text() const { return text_; }

  // The host's own changes, which the control does not make (no write is recorded, no event raised).
  void setDirect(std::string_view member, const host::Value& value);

  // Taken off its form (ModelForm::remove): from then on every member fails, as on a control
  // whose window is gone, though the control may still hold the object.
  void detach() { detached_ = true; }

  // For the control's extender: the control's own Resize, raised when its Width or Height changes.
  std::function<void()> onResize;

  // The host's own code that runs after a store or call on this control succeeds (a Change or Click
  // handler, say), with the member's name. It may call back into the layout control. A host failure it
  // raises goes back to the host's event dispatch, not to the store.
  std::function<void(std::string_view member)> onStore;

 private:
  std::optional<host::Fault> offForm() const;
  std::optional<host::Fault> refusal(std::string_view member, Member which, Op op) const;
  void store(Member which, const host::Value& value);
  void raiseOwnResize();
  void raiseStored(std::string_view member);

  Recorder& recorder_;
  std::string name_;
  std::string kind_;
  std::weak_ptr<ModelForm> form_;
  double geometry_[4] = {0, 0, 0, 0};
  bool visible_ = true;
  bool fontBold_ = false;
  MemberSet has_;
  bool detached_ = false;
  std::string text_;
  std::shared_ptr<ModelFont> font_;
};

class ModelScreen final : public FailsWithoutThrowing<host::Object> {
 public:
  ModelScreen(Recorder& recorder, ScreenSpec desc) : recorder_(recorder), metrics_(desc) {}
  host::Outcome<host::Value> tryGet(std::string_view member) override;
  host::Status tryPut(std::string_view member, const host::Value& value) override;
  host::Status tryCall(std::string_view method, std::span<const host::Value> args) override;
  void set(ScreenSpec desc) { metrics_ = desc; }
  const ScreenSpec& metrics() const { return metrics_; }

 private:
  Recorder& recorder_;
  ScreenSpec metrics_;
};

class ModelForm final : public FailsWithoutThrowing<host::Form>, public std::enable_shared_from_this<ModelForm> {
 public:
  static std::shared_ptr<ModelForm> create(Recorder& recorder, const FormSpec& desc);

  host::Outcome<host::Value> tryGet(std::string_view member) override;
  host::Status tryPut(std::string_view member, const host::Value& value) override;
  host::Status tryCall(std::string_view method, std::span<const host::Value> args) override;
  host::FormRef asForm() override { return shared_from_this(); }
  host::Subscription advise(host::FormEvents& sink) override;

  const std::string& name() const { return name_; }
  double width() const { return width_; }
  double height() const { return height_; }
  double scaleWidth() const;
  double scaleHeight() const;
  std::int16_t windowState() const { return windowState_; }
  const std::vector<std::shared_ptr<ModelControl>>& controls() const { return controls_; }
  std::shared_ptr<ModelControl> find(std::string_view name) const;
  std::size_t subscriberCount() const { return sinks_.size(); }

  // The host's own changes (no write recorded): a changed size or state raises Resize.
  void setDirect(std::string_view member, const host::Value& value);
  void setSizeDirect(double width, double height);
  // The host removes a control from the form (`Controls.Remove`); false when it has none of that name.
  bool remove(std::string_view name);

  // What a host does when the user drags, minimises or restores: new values, then one event.
  void resize(double width, double height);
  void setWindowState(std::int16_t state);
  void raiseLoad();
  void raiseResize();

  // The collection object `Controls`.
  host::ObjectRef controlsCollection() const { return collection_; }

 private:
  ModelForm(Recorder& recorder, const FormSpec& desc);
  void raise(std::string_view event, void (host::FormEvents::*handler)());

  Recorder& recorder_;
  std::string name_;
  double width_, height_, frameWidth_, frameHeight_;
  std::int16_t windowState_;
  std::vector<std::shared_ptr<ModelControl>> controls_;
  // Looked up by name on every use, so by a view, without making a string of it.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
  };
  std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> byName_;
  host::ObjectRef collection_;
  std::vector<std::pair<std::uint64_t, host::FormEvents*>> sinks_;
  std::uint64_t nextSink_ = 1;
};

// The container of one Tolvane control on the model form.
class ModelSite final : public host::Site {
 public:
  ModelSite(Recorder& recorder, std::shared_ptr<ModelControl> extender, std::shared_ptr<ModelScreen> screen,
            bool userMode)
      : recorder_(recorder), extender_(std::move(extender)), screen_(std::move(screen)), userMode_(userMode) {}
  host::Value ambient(std::string_view name) override;
  host::ObjectRef extender() override { return extender_; }
  host::ObjectRef screen() override { return screen_; }
  void setUserMode(bool userMode) { userMode_ = userMode; }

 private:
  Recorder& recorder_;
  std::shared_ptr<ModelControl> extender_;
  std::shared_ptr<ModelScreen> screen_;
  bool userMode_;
};

// One form on one screen with its recorder: what a scenario plays on.
class ModelWorld {
 public:
  ModelWorld(const FormSpec& form, ScreenSpec screen);
  Recorder recorder;
  std::shared_ptr<ModelScreen> screen;
  std::shared_ptr<ModelForm> form;
};

}  // namespace tolvane::model
