#include "hostmodel/model/model_form.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "hostmodel/convert.h"

namespace tolvane::model {

using host::Failure;
using host::HostError;
using host::Value;
using host::convert::toNumber;

namespace {

[[noreturn]] void missingMember(std::string_view object, std::string_view member) {
  throw HostError(Failure::MissingMember, std::string(object) + " has no member " + std::string(member));
}

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

std::optional<Member> memberNamed(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kMemberNames); ++i) {
    if (kMemberNames[i] == name) return static_cast<Member>(i);
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

void Recorder::checkInjected(std::string_view object, std::string_view member, Op op) const {
  if (failures_.count(std::make_tuple(std::string(object), std::string(member), op)) != 0) {
    throw HostError(Failure::ValueRefused, "injected failure");
  }
}

void Recorder::record(Write write) {
  if (logging) writes.push_back(std::move(write));
}

void Recorder::recordFailure(std::string object, std::string what, std::string error) {
  record(Write{Write::Kind::EventFailure, std::move(object), std::move(what), {}, std::move(error)});
}

namespace {

// Records one store or call, with the error that ends it if `body` throws.
template <class Body>
void recorded(Recorder& recorder, Write::Kind kind, std::string_view object, std::string_view member,
              std::span<const Value> values, Body&& body) {
  auto entry = [&](std::string error) {
    return Write{kind, std::string(object), std::string(member), std::vector<Value>(values.begin(), values.end()),
                 std::move(error)};
  };
  // With the log off (benchmarks) nothing is copied: a write costs what the store itself costs.
  try {
    body();
  } catch (const HostError& e) {
    if (recorder.logging) recorder.record(entry(e.what()));
    throw;
  }
  if (recorder.logging) recorder.record(entry({}));
}

}  // namespace

// ---- ModelFont ----

Value ModelFont::get(std::string_view member) {
  if (member != "Size") missingMember(path_, member);
  recorder_.check(path_, member, Op::Get);
  return size_;
}

void ModelFont::put(std::string_view member, const Value& value) {
  recorded(recorder_, Write::Kind::Store, path_, member, {&value, 1}, [&] {
    if (member != "Size") missingMember(path_, member);
    recorder_.check(path_, member, Op::Set);
    size_ = toNumber(value);
  });
}

void ModelFont::call(std::string_view method, std::span<const Value> args) {
  recorded(recorder_, Write::Kind::Call, path_, method, args, [&] { missingMember(path_, method); });
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

void ModelControl::requireOnForm() const {
  if (detached_) throw HostError(Failure::MissingControl, name_ + " is no longer on the form");
}

void ModelControl::require(std::string_view member, Member which, Op op) const {
  requireOnForm();
  if (!has(which)) missingMember(name_, member);
  recorder_.check(name_, member, op);
}

Value ModelControl::get(std::string_view member) {
  requireOnForm();
  const auto which = memberNamed(member);
  if (!which || *which == Member::Move) missingMember(name_, member);
  require(member, *which, Op::Get);
  switch (*which) {
    case Member::Left: return geometry_[0];
    case Member::Top: return geometry_[1];
    case Member::Width: return geometry_[2];
    case Member::Height: return geometry_[3];
    case Member::Font: return host::ObjectRef(font_);
    case Member::Name: return name_;
    case Member::Visible: return visible_;
    case Member::FontBold: return fontBold_;
    case Member::Text: return text_;
    case Member::Parent: {
      auto form = form_.lock();
      if (!form) throw HostError(Failure::NotAttached, name_ + " is on no form");
      return host::ObjectRef(form);
    }
    case Member::Move:
    case Member::Count: break;
  }
  missingMember(name_, member);
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

void ModelControl::put(std::string_view member, const Value& value) {
  const double width = geometry_[2];
  const double height = geometry_[3];
  recorded(recorder_, Write::Kind::Store, name_, member, {&value, 1}, [&] {
    requireOnForm();
    const auto which = memberNamed(member);
    if (!which) missingMember(name_, member);
    require(member, *which, Op::Set);
    store(*which, value);
  });
  if (changed(width, geometry_[2]) || changed(height, geometry_[3])) raiseOwnResize();
  raiseStored(member);
}

void ModelControl::call(std::string_view method, std::span<const Value> args) {
  const double width = geometry_[2];
  const double height = geometry_[3];
  recorded(recorder_, Write::Kind::Call, name_, method, args, [&] {
    requireOnForm();
    if (method != "Move") missingMember(name_, method);
    require(method, Member::Move, Op::Call);
    if (args.empty() || args.size() > 4) throw HostError(Failure::ValueRefused, "Move takes 1 to 4 arguments");
    double values[4];
    for (std::size_t i = 0; i < args.size(); ++i) values[i] = toNumber(args[i]);  // all or nothing
    std::copy(values, values + args.size(), geometry_);
  });
  if (changed(width, geometry_[2]) || changed(height, geometry_[3])) raiseOwnResize();
  raiseStored(method);
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

Value ModelScreen::get(std::string_view member) {
  recorder_.check("Screen", member, Op::Get);
  if (member == "Width") return metrics_.width;
  if (member == "TwipsPerPixelX") return metrics_.twipsPerPixelX;
  missingMember("Screen", member);
}

void ModelScreen::put(std::string_view member, const Value& value) {
  recorded(recorder_, Write::Kind::Store, "Screen", member, {&value, 1},
           [&] { throw HostError(Failure::ValueRefused, "Screen." + std::string(member) + " is read-only"); });
}

void ModelScreen::call(std::string_view method, std::span<const Value> args) {
  recorded(recorder_, Write::Kind::Call, "Screen", method, args, [&] { missingMember("Screen", method); });
}

// ---- the Controls collection ----

namespace {

class ModelControls final : public host::Object {
 public:
  ModelControls(Recorder& recorder, const ModelForm& form)
      : recorder_(recorder), form_(form), path_(form.name() + ".Controls") {}

  Value get(std::string_view member) override {
    if (member != "Count") missingMember(path_, member);
    recorder_.check(path_, member, Op::Get);
    return static_cast<std::int32_t>(form_.controls().size());
  }
  void put(std::string_view member, const Value& value) override {
    recorded(recorder_, Write::Kind::Store, path_, member, {&value, 1}, [&] { missingMember(path_, member); });
  }
  void call(std::string_view method, std::span<const Value> args) override {
    recorded(recorder_, Write::Kind::Call, path_, method, args, [&] { missingMember(path_, method); });
  }
  Value item(const Value& index) override {
    recorder_.check(path_, "Item", Op::Get);
    const auto i = host::convert::toI32(toNumber(index));
    if (i < 0 || static_cast<std::size_t>(i) >= form_.controls().size()) {
      throw HostError(Failure::SubscriptOutOfRange, path_ + " has no item " + std::to_string(i));
    }
    return host::ObjectRef(form_.controls()[static_cast<std::size_t>(i)]);
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

Value ModelForm::get(std::string_view member) {
  recorder_.check(name_, member, Op::Get);
  if (member == "Width") return width_;
  if (member == "Height") return height_;
  if (member == "ScaleWidth") return scaleWidth();
  if (member == "ScaleHeight") return scaleHeight();
  if (member == "WindowState") return windowState_;
  if (member == "Controls") return collection_;
  if (member == "Name") return name_;
  if (auto control = find(member)) return host::ObjectRef(std::move(control));
  throw HostError(Failure::MissingControl, name_ + " has no control " + std::string(member));
}

void ModelForm::put(std::string_view member, const Value& value) {
  const double width = width_;
  const double height = height_;
  recorded(recorder_, Write::Kind::Store, name_, member, {&value, 1}, [&] {
    if (member != "Width" && member != "Height" && member != "WindowState") missingMember(name_, member);
    recorder_.check(name_, member, Op::Set);
    if (member == "Width") {
      width_ = toNumber(value);
    } else if (member == "Height") {
      height_ = toNumber(value);
    } else {
      windowState_ = host::convert::toI16(toNumber(value));
    }
  });
  if (changed(width, width_) || changed(height, height_)) raiseResize();
}

void ModelForm::call(std::string_view method, std::span<const Value> args) {
  recorded(recorder_, Write::Kind::Call, name_, method, args, [&] { missingMember(name_, method); });
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
