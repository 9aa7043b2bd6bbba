// The objects the demo host's form exposes to the controls it hosts, as its forms engine would: the
// form, its controls (child windows, or for the hosted control's extender, its geometry), their
// fonts and the Controls collection. Each is a host-model object; ExposedDispatch serves it through
// IDispatch. Every store and call a control makes is recorded, with the error that ended it.
#pragma once

#include <windows.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "demohost/exposed.h"
#include "demohost/move_batch.h"
#include "hostmodel/convert.h"
#include "hostmodel/model/model_form.h"
#include "win/com_ptr.h"
#include "win/scoped_gdi_object.h"
#include "win/screen.h"
#include "win/text.h"

namespace tolvane::demohost {

using host::Failure;
using host::HostError;
using host::Value;
using host::convert::toNumber;
using host::convert::toText;
using model::Member;
using model::Op;
using model::Write;

[[noreturn]] void missingMember(const std::string& object, std::string_view member);
bool toBoolean(const Value& value);

// Records one store or call, with the error that ends it if `body` throws. While the log is off
// nothing is built for it.
template <class Body>
void recorded(model::Recorder& recorder, Write::Kind kind, const std::string& object, std::string_view member,
              std::span<const Value> values, Body&& body) {
  if (!recorder.logging) {
    body();
    return;
  }
  Write write{kind, object, std::string(member), std::vector<Value>(values.begin(), values.end()), {}};
  try {
    body();
  } catch (const HostError& e) {
    write.error = e.what();
    recorder.record(std::move(write));
    throw;
  }
  recorder.record(std::move(write));
}

// What every object of one form shares: where writes are recorded, the screen's scale and the
// form's window. The form clears both when it closes; an object still held then fails.
struct FormContext {
  FormContext(model::Recorder* log, double screenTwipsPerPixel) : recorder(log), twipsPerPixel(screenTwipsPerPixel) {}

  model::Recorder* recorder;
  double twipsPerPixel;
  HWND form = nullptr;
  bool deferResize = false;  // a store of the form's size raises Resize after it is recorded
  bool resizePending = false;
  MoveBatch moves;  // the child windows' moves, held while the form is laid out

  model::Recorder& log() const {
    if (recorder == nullptr) throw HostError(Failure::Platform, "the form is closed");
    return *recorder;
  }
  int pixels(double twips) const { return static_cast<int>(std::lround(host::convert::finite(twips) / twipsPerPixel)); }
  float twips(LONG pixels) const { return static_cast<float>(pixels * twipsPerPixel); }
};

class ControlObject;

class FontObject final : public Exposed {
 public:
  FontObject(std::shared_ptr<FormContext> shared, ControlObject& owner, std::string path)
      : shared_(std::move(shared)), owner_(&owner), path_(std::move(path)) {}
  void detach() { owner_ = nullptr; }

  bool has(std::string_view member) const override { return member == "Size"; }
  Value get(std::string_view member) override;
  void put(std::string_view member, const Value& value) override;
  void call(std::string_view method, std::span<const Value> args) override {
    recorded(shared_->log(), Write::Kind::Call, path_, method, args, [&] { missingMember(path_, method); });
  }

 private:
  std::shared_ptr<FormContext> shared_;
  ControlObject* owner_;
  std::string path_;
};

// One control of the form: a child window, or, for the hosted control's extender, its geometry.
class ControlObject final : public Exposed {
 public:
  ControlObject(std::shared_ptr<FormContext> shared, const model::ControlSpec& desc, HWND window)
      : shared_(std::move(shared)),
        name_(desc.name),
        kind_(desc.kind),
        members_(model::membersOf(desc)),
        window_(window),
        fontSize_(desc.fontSize),
        bold_(desc.fontBold.value_or(false)),
        visible_(desc.visible),
        geometry_{shared_->pixels(desc.left), shared_->pixels(desc.top), shared_->pixels(desc.width),
                  shared_->pixels(desc.height)} {
    if (window_ != nullptr) applyFont();
  }

  const std::string& name() const { return name_; }
  const std::string& kind() const { return kind_; }
  HWND window() const { return window_; }
  bool hasMember(Member m) const { return members_[static_cast<std::size_t>(m)]; }
  double fontSize() const { return fontSize_; }

  // The adapters this object hands out; dropped when the form closes.
  Handed self;
  Handed font;
  std::shared_ptr<FontObject> fontObject;
  Handed parent;                                   // the extender's Parent
  std::function<void(RECT&)> onExtent;             // the extender's size goes to the hosted control

  void close() {
    self.reset();
    font.reset();
    if (fontObject) fontObject->detach();
    fontObject.reset();
    parent.reset();
    onExtent = nullptr;
    window_ = nullptr;
  }

  bool has(std::string_view member) const override {
    const auto which = model::memberNamed(member);
    return which && hasMember(*which);
  }

  Value get(std::string_view member) override {
    const auto which = model::memberNamed(member);
    if (!which || *which == Member::Move || !hasMember(*which)) missingMember(name_, member);
    shared_->log().check(name_, member, Op::Get);
    const RECT r = rect();
    switch (*which) {
      case Member::Left: return Value{shared_->twips(r.left)};
      case Member::Top: return Value{shared_->twips(r.top)};
      case Member::Width: return Value{shared_->twips(r.right - r.left)};
      case Member::Height: return Value{shared_->twips(r.bottom - r.top)};
      case Member::Font: return font.value();
      case Member::Name: return Value{name_};
      case Member::Visible: return Value{visible()};
      case Member::FontBold: return Value{bold_};
      case Member::Text: return Value{text()};
      case Member::Parent:
        if (!parent) throw HostError(Failure::NoValue, name_ + " has no parent");
        return parent.value();
      default: missingMember(name_, member);
    }
  }

  void put(std::string_view member, const Value& value) override {
    recorded(shared_->log(), Write::Kind::Store, name_, member, {&value, 1}, [&] {
      const auto which = model::memberNamed(member);
      if (!which || !hasMember(*which)) missingMember(name_, member);
      shared_->log().check(name_, member, Op::Set);
      store(*which, member, value);
    });
  }

  void call(std::string_view method, std::span<const Value> args) override {
    recorded(shared_->log(), Write::Kind::Call, name_, method, args, [&] {
      if (method != "Move" || !hasMember(Member::Move)) missingMember(name_, method);
      shared_->log().check(name_, method, Op::Call);
      if (args.empty() || args.size() > 4) throw HostError(Failure::ValueRefused, "Move takes 1 to 4 arguments");
      RECT r = rect();
      LONG values[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
      for (std::size_t i = 0; i < args.size(); ++i) values[i] = pixels(toNumber(args[i]), i >= 2);  // all or nothing
      place(RECT{values[0], values[1], values[0] + values[2], values[1] + values[3]});
    });
  }

  // The host's own change: no write, no injected failure.
  void setDirect(std::string_view member, const Value& value) {
    const auto which = model::memberNamed(member);
    if (!which || !hasMember(*which)) missingMember(name_, member);
    if (*which == Member::Font) {
      setFontSize(toNumber(value));
    } else {
      store(*which, member, value);
    }
  }

  void setFontSize(double points) {
    const double size = host::convert::finite(points);
    if (size <= 0) throw HostError(Failure::ValueRefused, "invalid property value: a font size must be positive");
    // A relayout stores every font's size; a new font (and the window's redraw) only for a new size.
    if (size == fontSize_ && font_) return;
    fontSize_ = size;
    applyFont();
  }

  bool visible() const {
    return window_ != nullptr ? (GetWindowLongW(window_, GWL_STYLE) & WS_VISIBLE) != 0 : visible_;
  }

  // Where the control is, or is about to be while its move is held.
  RECT rect() const {
    if (window_ == nullptr) {
      return RECT{geometry_[0], geometry_[1], geometry_[0] + geometry_[2], geometry_[1] + geometry_[3]};
    }
    if (const RECT* held = shared_->moves.held(held_)) return *held;
    return placeInParent(window_);
  }

 private:
  LONG pixels(double twips, bool size) const {
    const LONG px = shared_->pixels(twips);
    if (size && px < 0) throw HostError(Failure::ValueRefused, "invalid property value: a size cannot be negative");
    return px;
  }

  void store(Member which, std::string_view member, const Value& value) {
    RECT r = rect();
    switch (which) {
      case Member::Left: OffsetRect(&r, pixels(toNumber(value), false) - r.left, 0); break;
      case Member::Top: OffsetRect(&r, 0, pixels(toNumber(value), false) - r.top); break;
      case Member::Width: r.right = r.left + pixels(toNumber(value), true); break;
      case Member::Height: r.bottom = r.top + pixels(toNumber(value), true); break;
      case Member::Visible:
        visible_ = toBoolean(value);
        if (window_ != nullptr) ShowWindow(window_, visible_ ? SW_SHOWNA : SW_HIDE);
        return;
      case Member::FontBold: {
        const bool bold = toBoolean(value);
        if (bold == bold_ && font_) return;
        bold_ = bold;
        applyFont();
        return;
      }
      case Member::Text: {
        const std::wstring text = win::widen(toText(value));
        text_ = toText(value);
        if (window_ != nullptr) SetWindowTextW(window_, text.c_str());
        return;
      }
      case Member::Name:
        throw HostError(Failure::ValueRefused, "the Name of a control cannot be set at run time");
      default: missingMember(name_, member);
    }
    place(r);
  }

  void place(RECT r) {
    if (window_ == nullptr) {
      if (onExtent) onExtent(r);
      geometry_[0] = r.left;
      geometry_[1] = r.top;
      geometry_[2] = r.right - r.left;
      geometry_[3] = r.bottom - r.top;
      return;
    }
    if (shared_->moves.holding()) {
      shared_->moves.put(window_, r, held_);
      return;
    }
    SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  std::string text() const {
    if (window_ == nullptr) return text_;
    const int length = GetWindowTextLengthW(window_);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window_, buffer.data(), length + 1);
    return win::narrow(buffer.data(), static_cast<std::size_t>(got));
  }

  void applyFont() {
    if (window_ == nullptr) return;
    const int dpi = win::screenDpiOrDefault(LOGPIXELSY);
    win::ScopedFont fresh(CreateFontW(-static_cast<int>(std::lround(fontSize_ * dpi / 72.0)), 0, 0, 0,
                                      bold_ ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    if (!fresh) throw HostError(Failure::Platform, "no font of " + std::to_string(fontSize_) + " points");
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fresh.get()), TRUE);
    font_ = std::move(fresh);
  }

  std::shared_ptr<FormContext> shared_;
  std::string name_;
  std::string kind_;
  model::MemberSet members_;
  HWND window_;
  double fontSize_;
  bool bold_;
  bool visible_;
  LONG geometry_[4];
  MoveBatch::Slot held_;
  std::string text_;
  win::ScopedFont font_;
};

class ControlsObject final : public Exposed {
 public:
  ControlsObject(std::shared_ptr<FormContext> shared, std::vector<std::shared_ptr<ControlObject>>& controls)
      : shared_(std::move(shared)), controls_(&controls) {}
  void detach() { controls_ = nullptr; }

  bool has(std::string_view member) const override { return member == "Count"; }
  bool indexed() const override { return true; }
  Value get(std::string_view member) override {
    if (member != "Count") missingMember("Controls", member);
    return Value{static_cast<std::int32_t>(list().size())};
  }
  void put(std::string_view member, const Value&) override {
    throw HostError(Failure::ValueRefused, "Controls." + std::string(member) + " cannot be set");
  }
  void call(std::string_view method, std::span<const Value>) override { missingMember("Controls", method); }
  Value item(const Value& index) override {
    const double i = toNumber(index);
    if (!(i >= 0 && i < static_cast<double>(list().size()))) {
      throw HostError(Failure::SubscriptOutOfRange, "Controls has no item " + std::to_string(i), DISP_E_BADINDEX);
    }
    return list()[static_cast<std::size_t>(std::lround(i))]->self.value();
  }

 private:
  std::vector<std::shared_ptr<ControlObject>>& list() const {
    if (controls_ == nullptr) throw HostError(Failure::Platform, "the form is closed");
    return *controls_;
  }
  std::shared_ptr<FormContext> shared_;
  std::vector<std::shared_ptr<ControlObject>>* controls_;
};

class FormObject final : public Exposed {
 public:
  FormObject(std::shared_ptr<FormContext> shared, std::string name, bool givesHwnd)
      : shared_(std::move(shared)), name_(std::move(name)), givesHwnd_(givesHwnd) {}

  std::vector<std::shared_ptr<ControlObject>> controls;
  std::shared_ptr<ControlsObject> collection;
  Handed collectionDispatch;

  // A control joins the form, last in Controls; the first of a name is the one found by it.
  void add(std::shared_ptr<ControlObject> control) {
    byName_.try_emplace(control->name(), control.get());
    controls.push_back(std::move(control));
  }
  void clear() {
    byName_.clear();
    controls.clear();
  }

  ControlObject* find(std::string_view name) const {
    const auto found = byName_.find(name);
    return found != byName_.end() ? found->second : nullptr;
  }

  bool has(std::string_view member) const override {
    return member == "Width" || member == "Height" || member == "ScaleWidth" || member == "ScaleHeight" ||
           member == "WindowState" || member == "Controls" || member == "Name" || (member == "hWnd" && givesHwnd_) ||
           find(member) != nullptr;
  }

  Value get(std::string_view member) override {
    shared_->log().check(name_, member, Op::Get);
    HWND form = window();
    RECT outer{};
    RECT inner{};
    GetWindowRect(form, &outer);
    GetClientRect(form, &inner);
    if (member == "Width") return Value{shared_->twips(outer.right - outer.left)};
    if (member == "Height") return Value{shared_->twips(outer.bottom - outer.top)};
    if (member == "ScaleWidth") return Value{shared_->twips(inner.right)};
    if (member == "ScaleHeight") return Value{shared_->twips(inner.bottom)};
    if (member == "WindowState") return Value{windowState()};
    if (member == "Controls") return collectionDispatch.value();
    if (member == "Name") return Value{name_};
    // A window handle has 32 significant bits on every processor: the form's engine gives it as a Long.
    if (member == "hWnd" && givesHwnd_) return Value{static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(form))};
    if (ControlObject* control = find(member)) return control->self.value();
    throw HostError(Failure::MissingControl, name_ + " has no control " + std::string(member));
  }

  void put(std::string_view member, const Value& value) override {
    // A size store raises Resize after the store is recorded, before it returns.
    shared_->deferResize = true;
    shared_->resizePending = false;
    try {
      recorded(shared_->log(), Write::Kind::Store, name_, member, {&value, 1}, [&] {
        if (member != "Width" && member != "Height" && member != "WindowState") missingMember(name_, member);
        shared_->log().check(name_, member, Op::Set);
        setDirect(member, value);
      });
    } catch (const HostError&) {
      shared_->deferResize = false;
      throw;
    }
    shared_->deferResize = false;
    if (shared_->resizePending) {
      shared_->resizePending = false;
      if (raise) raise();
    }
  }

  void call(std::string_view method, std::span<const Value> args) override {
    recorded(shared_->log(), Write::Kind::Call, name_, method, args, [&] { missingMember(name_, method); });
  }

  void setDirect(std::string_view member, const Value& value) {
    HWND form = window();
    RECT outer{};
    GetWindowRect(form, &outer);
    if (member == "Width" || member == "Height") {
      const double twips = toNumber(value);
      const int px = shared_->pixels(twips);
      if (px < 0) throw HostError(Failure::ValueRefused, "invalid property value: a size cannot be negative");
      const int width = member == "Width" ? px : static_cast<int>(outer.right - outer.left);
      const int height = member == "Height" ? px : static_cast<int>(outer.bottom - outer.top);
      if (windowState() != 0) throw HostError(Failure::ValueRefused, "a minimised or maximised form cannot be sized");
      SetWindowPos(form, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (member == "WindowState") {
      const auto state = host::convert::toI16(toNumber(value));
      if (state < 0 || state > 2) throw HostError(Failure::ValueRefused, "invalid property value: WindowState");
      ShowWindow(form, state == 1 ? SW_MINIMIZE : state == 2 ? SW_MAXIMIZE : SW_RESTORE);
    } else {
      missingMember(name_, member);
    }
  }

  std::int16_t windowState() const {
    HWND form = window();
    return static_cast<std::int16_t>(IsIconic(form) ? 1 : IsZoomed(form) ? 2 : 0);
  }

  std::function<void()> raise;

 private:
  HWND window() const {
    if (shared_->form == nullptr) throw HostError(Failure::Platform, "the form is closed");
    return shared_->form;
  }
  // Names are looked up on every use (a relayout reads controls by name on every pass): hashed.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  std::shared_ptr<FormContext> shared_;
  std::string name_;
  bool givesHwnd_;
  std::unordered_map<std::string, ControlObject*, NameHash, std::equal_to<>> byName_;
};

}  // namespace tolvane::demohost
