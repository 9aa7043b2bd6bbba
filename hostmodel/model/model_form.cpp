#include "hostmodel/model/model_form.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "hostmodel/convert.h"

namespace tolvane::model {

using host::Done;
using host::Failure;
using host::Fault;
using host::HostError;
using host::Outcome;
using host::Status;
using host::Value;
using host::convert::toNumber;

namespace {

Fault noMember(std::string_view object, std::string_view member) {
  return {Failure::MissingMember, std::string(object) + " has no member " + std::string(member)};
}

[[noreturn]] void missingMember(std::string_view object, std::string_view member) { noMember(object, member).raise(); }

bool toBoolean(const Value& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  return toNumber(value) != 0.0;
}

constexpr std::string_view kMemberNames[] = {"Left", "Top",      "Width", "Height", "Font",  "Name",
                                             "Visible", "Move", "FontBold", "Text", "Parent"};

std::size_t bit(Member member) { return static_cast<std::size_t>(member); }

// A size changed, as a host sees it: a NaN it holds and keeps is no change (NaN != NaN would raise
// the size event on every store).
bool changed(double before, double after) { return before != after && !(std::isnan(before) && std::isnan(after)); }

}  // namespace

namespace {

// `name` (of the literal's length, which the caller has tested) is the literal: a comparison of known
// length, which the compiler makes as a load and a compare.
template <std::size_t N>
bool spells(std::string_view name, const char (&literal)[N]) {
  return std::memcmp(name.data(), literal, N - 1) == 0;
}

}  // namespace

// Every read and store of a control names its member. Told by its length first, each name is then
// compared with the names of that length only.
std::optional<Member> memberNamed(std::string_view name) {
  switch (name.size()) {
    case 3:
      if (spells(name, "Top")) return Member::Top;
      break;
    case 4:
      if (spells(name, "Left")) return Member::Left;
      if (spells(name, "Font")) return Member::Font;
      if (spells(name, "Name")) return Member::Name;
      if (spells(name, "Move")) return Member::Move;
      if (spells(name, "Text")) return Member::Text;
      break;
    case 5:
      if (spells(name, "Width")) return Member::Width;
      break;
    case 6:
      if (spells(name, "Height")) return Member::Height;
      if (spells(name, "Parent")) return Member::Parent;
      break;
    case 7:
      if (spells(name, "Visible")) return Member::Visible;
      break;
    case 8:
      if (spells(name, "FontBold")) return Member::FontBold;
      break;
    default: break;
  }
  return std::nullopt;
}

MemberSet membersOf(const ControlSpec& desc) {
  MemberSet has;
  if (desc.members) {
    for (const auto& member : *desc.members) {
      const auto which = memberNamed(member);
      if (!which) throw std::invalid_argument("unknown member " + member);
      has.set(bit(*which));
    }
  } else if (desc.kind == "Tolvane") {
    for (Member m : {Member::Name, Member::Left, Member::Top, Member::Width, Member::Height, Member::Visible,
                     Member::Parent}) {
      has.set(bit(m));
    }
  } else {
    for (Member m : {Member::Left, Member::Top, Member::Width, Member::Height, Member::Font, Member::Name,
                     Member::Visible, Member::Move}) {
      has.set(bit(m));
    }
    has.set(bit(Member::FontBold), desc.fontBold.has_value());
    has.set(bit(Member::Text), desc.text.has_value());
  }
  return has;
}

// ---- Recorder ----

void Recorder::failOn(std::string object, std::string member, Op op) {
  failures_.emplace(std::move(object), std::move(member), op);
}

std::optional<Fault> Recorder::injected(std::string_view object, std::string_view member, Op op) const {
  if (failures_.count(std::make_tuple(std::string(object), std::string(member), op)) == 0) return std::nullopt;
  return Fault{Failure::ValueRefused, "injected failure"};
}

void Recorder::record(Write write) {
  if (logging) writes.push_back(std::move(write));
}

void Recorder::recordFailure(std::string object, std::string what, std::string error) {
  record(Write{Write::Kind::EventFailure, std::move(object), std::move(what), {}, std::move(error)});
}

namespace {

// Records one store or call, with the failure that ends it: the one `body` returns, or a conversion
// of the value passed that throws.
template <class Body>
Status recorded(Recorder& recorder, Write::Kind kind, std::string_view object, std::string_view member,
                std::span<const Value> values, Body&& body) {
  Status status = [&]() -> Status {
    try {
      return body();
    } catch (const HostError& e) {
      return Fault::of(e);
    }
  }();
  // With the log off (benchmarks) nothing is copied: a write costs what the store itself costs.
  if (recorder.logging) {
    recorder.record(Write{kind, std::string(object), std::string(member), std::vector<Value>(values.begin(), values.end()),
                          status.ok() ? std::string() : status.fault().message});
  }
  return status;
}

}  // namespace

// ---- ModelFont ----

Outcome<Value> ModelFont::tryGet(std::string_view member) {
  if (member != "Size") return noMember(path_, member);
  if (auto refused = recorder_.refusal(path_, member, Op::Get)) return std::move(*refused);
  return Value{size_};
}

Status ModelFont::tryPut(std::string_view member, const Value& value) {
  return recorded(recorder_, Write::Kind::Store, path_, member, {&value, 1}, [&]() -> Status {
    if (member != "Size") return noMember(path_, member);
    if (auto refused = recorder_.refusal(path_, member, Op::Set)) return std::move(*refused);
    size_ = toNumber(value);
    return Done{};
  });
}

Status ModelFont::tryCall(std::string_view method, std::span<const Value> args) {
  return recorded(recorder_, Write::Kind::Call, path_, method, args, [&]() -> Status { return noMember(path_, method); });
}

// ---- ModelControl ----

ModelControl::ModelControl(Recorder& recorder, const ControlSpec& desc, std::weak_ptr<ModelForm> form)
    : recorder_(recorder),
      name_(desc.name),
      kind_(desc.kind),
      form_(std::move(form)),
      geometry_{desc.left, desc.top, desc.width, desc.height},
      visible_(desc.visible),
      fontBold_(desc.fontBold.value_or(false)),
      has_(membersOf(desc)),
      text_(desc.text.value_or("")) {
  if (has(Member::Font)) font_ = std::make_shared<ModelFont>(recorder_, name_ + ".Font", desc.fontSize);
}

std::optional<Fault> ModelControl::offForm() const {
  if (detached_) return Fault{Failure::MissingControl, name_ + " is no longer on the form"};
  return std::nullopt;
}

std::optional<Fault> ModelControl::refusal(std::string_view member, Member which, Op op) const {
  if (!has(which)) return noMember(name_, member);
  return recorder_.refusal(name_, member, op);
}

Outcome<Value> ModelControl::tryGet(std::string_view member) {
  if (auto gone = offForm()) return std::move(*gone);
  const auto which = memberNamed(member);
  if (!which || *which == Member::Move) return noMember(name_, member);
  if (auto refused = refusal(member, *which, Op::Get)) return std::move(*refused);
  switch (*which) {
    case Member::Left: return Value{geometry_[0]};
    case Member::Top: return Value{geometry_[1]};
    case Member::Width: return Value{geometry_[2]};
    case Member::Height: return Value{geometry_[3]};
    case Member::Font: return Value{host::ObjectRef(font_)};
    case Member::Name: return Value{name_};
    case Member::Visible: return Value{visible_};
    case Member::FontBold: return Value{fontBold_};
    case Member::Text: return Value{text_};
    case Member::Parent: {
      auto form = form_.lock();
      if (!form) return Fault{Failure::NotAttached, name_ + " is on no form"};
      return Value{host::ObjectRef(form)};
    }
    case Member::Move:
    case Member::Count: break;
  }
  return noMember(name_, member);
}

void ModelControl::store(Member which, const Value& value) {
  switch (which) {
    case Member::Left: geometry_[0] = toNumber(value); break;
    case Member::Top: geometry_[1] = toNumber(value); break;
    case Member::Width: geometry_[2] = toNumber(value); break;
    case Member::Height: geometry_[3] = toNumber(value); break;
    case Member::Visible: visible_ = toBoolean(value); break;
    case Member::FontBold: fontBold_ = toBoolean(value); break;
    case Member::Text: text_ = host::convert::toText(value); break;
    default: throw HostError(Failure::ValueRefused, name_ + "." + std::string(kMemberNames[bit(which)]) + " is read-only");
  }
}

Status ModelControl::tryPut(std::string_view member, const Value& value) {
  const double width = geometry_[2];
  const double height = geometry_[3];
  Status status = recorded(recorder_, Write::Kind::Store, name_, member, {&value, 1}, [&]() -> Status {
    if (auto gone = offForm()) return std::move(*gone);
    const auto which = memberNamed(member);
    if (!which) return noMember(name_, member);
    if (auto refused = refusal(member, *which, Op::Set)) return std::move(*refused);
    store(*which, value);
    return Done{};
  });
  if (!status.ok()) return status;
  if (changed(width, geometry_[2]) || changed(height, geometry_[3])) raiseOwnResize();
  raiseStored(member);
  return status;
}

Status ModelControl::tryCall(std::string_view method, std::span<const Value> args) {
  const double width = geometry_[2];
  const double height = geometry_[3];
  Status status = recorded(recorder_, Write::Kind::Call, name_, method, args, [&]() -> Status {
    if (auto gone = offForm()) return std::move(*gone);
    if (method != "Move") return noMember(name_, method);
    if (auto refused = refusal(method, Member::Move, Op::Call)) return std::move(*refused);
    if (args.empty() || args.size() > 4) return Fault{Failure::ValueRefused, "Move takes 1 to 4 arguments"};
    double values[4];
    for (std::size_t i = 0; i < args.size(); ++i) values[i] = toNumber(args[i]);  // all or nothing
    std::copy(values, values + args.size(), geometry_);
    return Done{};
  });
  if (!status.ok()) return status;
  if (changed(width, geometry_[2]) || changed(height, geometry_[3])) raiseOwnResize();
  raiseStored(method);
  return status;
}

void ModelControl::raiseOwnResize() {
  if (!onResize) return;
  try {
    onResize();
  } catch (const HostError& e) {
    recorder_.recordFailure(name_, "Resize", e.what());
  }
}

void ModelControl::raiseStored(std::string_view member) {
  if (!onStore) return;
  try {
    onStore(member);
  } catch (const HostError& e) {
    recorder_.recordFailure(name_, std::string(member), e.what());
  }
}

void ModelControl::setDirect(std::string_view member, const Value& value) {
  const auto which = memberNamed(member);
  if (!which || !has(*which)) missingMember(name_, member);
  if (*which == Member::Font) {
    font_->setSize(toNumber(value));
    return;
  }
  const double width = geometry_[2];
  const double height = geometry_[3];
  store(*which, value);
  if (changed(width, geometry_[2]) || changed(height, geometry_[3])) raiseOwnResize();
}

// ---- ModelScreen ----

Outcome<Value> ModelScreen::tryGet(std::string_view member) {
  if (auto refused = recorder_.refusal("Screen", member, Op::Get)) return std::move(*refused);
  if (member == "Width") return Value{metrics_.width};
  if (member == "TwipsPerPixelX") return Value{metrics_.twipsPerPixelX};
  return noMember("Screen", member);
}

Status ModelScreen::tryPut(std::string_view member, const Value& value) {
  return recorded(recorder_, Write::Kind::Store, "Screen", member, {&value, 1}, [&]() -> Status {
    return Fault{Failure::ValueRefused, "Screen." + std::string(member) + " is read-only"};
  });
}

Status ModelScreen::tryCall(std::string_view method, std::span<const Value> args) {
  return recorded(recorder_, Write::Kind::Call, "Screen", method, args, [&]() -> Status { return noMember("Screen", method); });
}

// ---- the Controls collection ----

namespace {

class ModelControls final : public host::Object {
 public:
  ModelControls(Recorder& recorder, const ModelForm& form)
      : recorder_(recorder), form_(form), path_(form.name() + ".Controls") {}

  Value get(std::string_view member) override { return tryGet(member).take(); }
  void put(std::string_view member, const Value& value) override { tryPut(member, value).take(); }
  void call(std::string_view method, std::span<const Value> args) override { tryCall(method, args).take(); }
  Value item(const Value& index) override { return tryItem(index).take(); }

  Outcome<Value> tryGet(std::string_view member) override {
    if (member != "Count") return noMember(path_, member);
    if (auto refused = recorder_.refusal(path_, member, Op::Get)) return std::move(*refused);
    return Value{static_cast<std::int32_t>(form_.controls().size())};
  }
  Status tryPut(std::string_view member, const Value& value) override {
    return recorded(recorder_, Write::Kind::Store, path_, member, {&value, 1},
                    [&]() -> Status { return noMember(path_, member); });
  }
  Status tryCall(std::string_view method, std::span<const Value> args) override {
    return recorded(recorder_, Write::Kind::Call, path_, method, args, [&]() -> Status { return noMember(path_, method); });
  }
  Outcome<Value> tryItem(const Value& index) override {
    if (auto refused = recorder_.refusal(path_, "Item", Op::Get)) return std::move(*refused);
    try {
      const auto i = host::convert::toI32(toNumber(index));
      if (i < 0 || static_cast<std::size_t>(i) >= form_.controls().size()) {
        return Fault{Failure::SubscriptOutOfRange, path_ + " has no item " + std::to_string(i)};
      }
      return Value{host::ObjectRef(form_.controls()[static_cast<std::size_t>(i)])};
    } catch (const HostError& e) {
      return Fault::of(e);  // an index that is no number
    }
  }

 private:
  Recorder& recorder_;
  const ModelForm& form_;
  std::string path_;
};

}  // namespace

// ---- ModelForm ----

ModelForm::ModelForm(Recorder& recorder, const FormSpec& desc)
    : recorder_(recorder),
      name_(desc.name),
      width_(desc.width),
      height_(desc.height),
      frameWidth_(desc.frameWidth),
      frameHeight_(desc.frameHeight),
      windowState_(desc.windowState) {}

std::shared_ptr<ModelForm> ModelForm::create(Recorder& recorder, const FormSpec& desc) {
  std::shared_ptr<ModelForm> form(new ModelForm(recorder, desc));
  form->controls_.reserve(desc.controls.size());
  form->byName_.reserve(desc.controls.size());
  for (const auto& control : desc.controls) {
    if (!form->byName_.emplace(control.name, form->controls_.size()).second) {
      throw std::invalid_argument("two controls named " + control.name);
    }
    form->controls_.push_back(std::make_shared<ModelControl>(recorder, control, form));
  }
  form->collection_ = std::make_shared<ModelControls>(recorder, *form);
  return form;
}

double ModelForm::scaleWidth() const { return width_ - frameWidth_; }
double ModelForm::scaleHeight() const { return height_ - frameHeight_; }

std::shared_ptr<ModelControl> ModelForm::find(std::string_view name) const {
  const auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : controls_[it->second];
}

Outcome<Value> ModelForm::tryGet(std::string_view member) {
  if (auto refused = recorder_.refusal(name_, member, Op::Get)) return std::move(*refused);
  // The form's own members first, told by their length like a control's; any other name is a
  // control's, found by its hash.
  switch (member.size()) {
    case 4:
      if (spells(member, "Name")) return Value{name_};
      break;
    case 5:
      if (spells(member, "Width")) return Value{width_};
      break;
    case 6:
      if (spells(member, "Height")) return Value{height_};
      break;
    case 8:
      if (spells(member, "Controls")) return Value{collection_};
      break;
    case 10:
      if (spells(member, "ScaleWidth")) return Value{scaleWidth()};
      break;
    case 11:
      if (spells(member, "ScaleHeight")) return Value{scaleHeight()};
      if (spells(member, "WindowState")) return Value{windowState_};
      break;
    default: break;
  }
  if (auto control = find(member)) return Value{host::ObjectRef(std::move(control))};
  return Fault{Failure::MissingControl, name_ + " has no control " + std::string(member)};
}

Status ModelForm::tryPut(std::string_view member, const Value& value) {
  const double width = width_;
  const double height = height_;
  Status status = recorded(recorder_, Write::Kind::Store, name_, member, {&value, 1}, [&]() -> Status {
    if (member != "Width" && member != "Height" && member != "WindowState") return noMember(name_, member);
    if (auto refused = recorder_.refusal(name_, member, Op::Set)) return std::move(*refused);
    if (member == "Width") {
      width_ = toNumber(value);
    } else if (member == "Height") {
      height_ = toNumber(value);
    } else {
      windowState_ = host::convert::toI16(toNumber(value));
    }
    return Done{};
  });
  if (status.ok() && (changed(width, width_) || changed(height, height_))) raiseResize();
  return status;
}

Status ModelForm::tryCall(std::string_view method, std::span<const Value> args) {
  return recorded(recorder_, Write::Kind::Call, name_, method, args, [&]() -> Status { return noMember(name_, method); });
}

host::Subscription ModelForm::advise(host::FormEvents& sink) {
  const std::uint64_t id = nextSink_++;
  sinks_.emplace_back(id, &sink);
  return host::Subscription([form = weak_from_this(), id] {
    if (auto self = form.lock()) {
      std::erase_if(self->sinks_, [id](const auto& entry) { return entry.first == id; });
    }
  });
}

void ModelForm::setDirect(std::string_view member, const Value& value) {
  const double width = width_;
  const double height = height_;
  const std::int16_t state = windowState_;
  if (member == "Width") {
    width_ = toNumber(value);
  } else if (member == "Height") {
    height_ = toNumber(value);
  } else if (member == "WindowState") {
    windowState_ = host::convert::toI16(toNumber(value));
  } else {
    missingMember(name_, member);
  }
  if (changed(width, width_) || changed(height, height_) || windowState_ != state) raiseResize();
}

void ModelForm::setSizeDirect(double width, double height) {
  width_ = width;
  height_ = height;
}

bool ModelForm::remove(std::string_view name) {
  const auto it = byName_.find(name);
  if (it == byName_.end()) return false;
  controls_[it->second]->detach();
  controls_.erase(controls_.begin() + static_cast<std::ptrdiff_t>(it->second));
  byName_.clear();
  for (std::size_t i = 0; i < controls_.size(); ++i) byName_.emplace(controls_[i]->name(), i);
  return true;
}

void ModelForm::resize(double width, double height) {
  width_ = width;
  height_ = height;
  raiseResize();
}

void ModelForm::setWindowState(std::int16_t state) {
  windowState_ = state;
  raiseResize();
}

void ModelForm::raiseLoad() { raise("Load", &host::FormEvents::ParentForm_Load); }
void ModelForm::raiseResize() { raise("Resize", &host::FormEvents::ParentForm_Resize); }

void ModelForm::raise(std::string_view event, void (host::FormEvents::*handler)()) {
  // Handlers may subscribe and unsubscribe while the event is delivered (Rebuild re-attaches), so
  // deliver to the subscribers of the moment the event was raised that are still subscribed.
  const auto sinks = sinks_;
  for (const auto& [id, sink] : sinks) {
    const bool subscribed = std::any_of(sinks_.begin(), sinks_.end(), [id = id](const auto& e) { return e.first == id; });
    if (!subscribed) continue;
    try {
      (sink->*handler)();
    } catch (const HostError& e) {
      recorder_.recordFailure(name_, std::string(event), e.what());
    }
  }
}

// ---- ModelSite, ModelWorld ----

Value ModelSite::ambient(std::string_view name) {
  recorder_.check("Ambient", name, Op::Get);
  if (name == "UserMode") return userMode_;
  missingMember("Ambient", name);
}

ModelWorld::ModelWorld(const FormSpec& formSpec, ScreenSpec screenSpec)
    : screen(std::make_shared<ModelScreen>(recorder, screenSpec)), form(ModelForm::create(recorder, formSpec)) {}

}  // namespace tolvane::model
