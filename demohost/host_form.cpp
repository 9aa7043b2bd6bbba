#include "demohost/host_form.h"

#include <commctrl.h>
#include <initguid.h>
#include <olectl.h>

#include <cmath>
#include <map>
#include <utility>

#include "DemoHost.h"
#include "Brenmoor.h"
#include "demohost/exposed.h"
#include "hostmodel/convert.h"
#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/dispatch/single_connection_point.h"

namespace tolvane::demohost {

using host::Failure;
using host::HostError;
using host::Value;
using host::dispatch::ComObject;
using host::dispatch::handOut;
using host::dispatch::interfaceOf;
using host::dispatch::SingleConnectionPoint;
using host::convert::toNumber;
using host::convert::toText;
using model::Member;
using model::Op;
using model::Write;

namespace {

constexpr wchar_t kWindowClass[] = L"TolvaneDemoHostForm";

bool isTab(const std::string& name) {
  return name == "cmdAllRecs" || name == "cmdFavorites" || name == "cmdSearchResults";
}

[[noreturn]] void missingMember(const std::string& object, std::string_view member) {
  throw HostError(Failure::MissingMember, object + " has no member " + std::string(member));
}

bool toBoolean(const Value& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  return toNumber(value) != 0.0;
}

// Records one store or call, with the error that ends it if `body` throws.
template <class Body>
void recorded(model::Recorder& recorder, Write::Kind kind, const std::string& object, std::string_view member,
              std::span<const Value> values, Body&& body) {
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

// The text of the error information a failed COM call left, or its HRESULT.
std::string errorText(HRESULT hr) {
  ComRef<IErrorInfo> info;
  std::string text;
  if (GetErrorInfo(0, info.put()) == S_OK && info) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
      text = host::dispatch::narrow(description, SysStringLen(description));
    }
    SysFreeString(description);
  }
  if (text.empty()) {
    char code[32];
    wsprintfA(code, "error 0x%08lX", static_cast<unsigned long>(hr));
    text = code;
  }
  return text;
}

ComRef<ITypeInfo> demoType(REFGUID guid) {
  static ITypeLib* library = [] {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ITypeLib* loaded = nullptr;
    if (FAILED(LoadTypeLibEx(self, REGKIND_NONE, &loaded))) loaded = nullptr;
    return loaded;
  }();
  ComRef<ITypeInfo> info;
  if (library == nullptr || FAILED(library->GetTypeInfoOfGuid(guid, info.put()))) info.reset();
  return info;
}

}  // namespace

int screenTwipsPerPixel() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return 1440 / (dpi > 0 ? dpi : 96);
}

// ---- the objects the form exposes

struct Shared {
  model::Recorder* recorder;
  double tpp;
  HWND form = nullptr;
  bool deferResize = false;  // a store of the form's size raises Resize after it is recorded
  bool resizePending = false;

  model::Recorder& log() const {
    if (recorder == nullptr) throw HostError(Failure::Platform, "the form is closed");
    return *recorder;
  }
  int pixels(double twips) const { return static_cast<int>(std::lround(host::convert::finite(twips) / tpp)); }
  float twips(LONG pixels) const { return static_cast<float>(pixels * tpp); }
};

class ControlObject;

class FontObject final : public Exposed {
 public:
  FontObject(std::shared_ptr<Shared> shared, ControlObject& owner, std::string path)
      : shared_(std::move(shared)), owner_(&owner), path_(std::move(path)) {}
  void detach() { owner_ = nullptr; }

  bool has(std::string_view member) const override { return member == "Size"; }
  Value get(std::string_view member) override;
  void put(std::string_view member, const Value& value) override;
  void call(std::string_view method, std::span<const Value> args) override {
    recorded(shared_->log(), Write::Kind::Call, path_, method, args, [&] { missingMember(path_, method); });
  }

 private:
  std::shared_ptr<Shared> shared_;
  ControlObject* owner_;
  std::string path_;
};

// One control of the form: a child window, or, for the hosted control's extender, its geometry.
class ControlObject final : public Exposed {
 public:
  ControlObject(std::shared_ptr<Shared> shared, const model::ControlSpec& desc, HWND window)
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
  ~ControlObject() override {
    if (font_ != nullptr) DeleteObject(font_);
  }

  const std::string& name() const { return name_; }
  const std::string& kind() const { return kind_; }
  HWND window() const { return window_; }
  bool hasMember(Member m) const { return members_[static_cast<std::size_t>(m)]; }
  double fontSize() const { return fontSize_; }

  // The adapters this object hands out; dropped when the form closes.
  ComRef<IDispatch> self;
  ComRef<IDispatch> font;
  std::shared_ptr<FontObject> fontObject;
  ComRef<IDispatch> parent;                        // the extender's Parent
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
      case Member::Font: return objectValue(font.get());
      case Member::Name: return Value{name_};
      case Member::Visible: return Value{visible()};
      case Member::FontBold: return Value{bold_};
      case Member::Text: return Value{text()};
      case Member::Parent:
        if (!parent) throw HostError(Failure::NoValue, name_ + " has no parent");
        return objectValue(parent.get());
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
    fontSize_ = host::convert::finite(points);
    if (fontSize_ <= 0) throw HostError(Failure::ValueRefused, "invalid property value: a font size must be positive");
    applyFont();
  }

  bool visible() const {
    return window_ != nullptr ? (GetWindowLongW(window_, GWL_STYLE) & WS_VISIBLE) != 0 : visible_;
  }

  RECT rect() const {
    if (window_ == nullptr) {
      return RECT{geometry_[0], geometry_[1], geometry_[0] + geometry_[2], geometry_[1] + geometry_[3]};
    }
    RECT r{};
    GetWindowRect(window_, &r);
    MapWindowPoints(nullptr, GetParent(window_), reinterpret_cast<POINT*>(&r), 2);
    return r;
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
      case Member::FontBold:
        bold_ = toBoolean(value);
        applyFont();
        return;
      case Member::Text: {
        const std::wstring text = host::dispatch::widen(toText(value));
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
    SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  std::string text() const {
    if (window_ == nullptr) return text_;
    const int length = GetWindowTextLengthW(window_);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window_, buffer.data(), length + 1);
    return host::dispatch::narrow(buffer.data(), static_cast<std::size_t>(got));
  }

  void applyFont() {
    if (window_ == nullptr) return;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT fresh = CreateFontW(-static_cast<int>(std::lround(fontSize_ * dpi / 72.0)), 0, 0, 0, bold_ ? FW_BOLD : FW_NORMAL,
                              FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    if (fresh == nullptr) throw HostError(Failure::Platform, "no font of " + std::to_string(fontSize_) + " points");
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fresh), TRUE);
    if (font_ != nullptr) DeleteObject(font_);
    font_ = fresh;
  }

  std::shared_ptr<Shared> shared_;
  std::string name_;
  std::string kind_;
  model::MemberSet members_;
  HWND window_;
  double fontSize_;
  bool bold_;
  bool visible_;
  LONG geometry_[4];
  std::string text_;
  HFONT font_ = nullptr;
};

Value FontObject::get(std::string_view member) {
  if (member != "Size") missingMember(path_, member);
  shared_->log().check(path_, member, Op::Get);
  if (owner_ == nullptr) throw HostError(Failure::Platform, "the form is closed");
  return Value{static_cast<float>(owner_->fontSize())};
}

void FontObject::put(std::string_view member, const Value& value) {
  recorded(shared_->log(), Write::Kind::Store, path_, member, {&value, 1}, [&] {
    if (member != "Size") missingMember(path_, member);
    shared_->log().check(path_, member, Op::Set);
    if (owner_ == nullptr) throw HostError(Failure::Platform, "the form is closed");
    owner_->setFontSize(toNumber(value));
  });
}

class ControlsObject final : public Exposed {
 public:
  ControlsObject(std::shared_ptr<Shared> shared, std::vector<std::shared_ptr<ControlObject>>& controls)
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
    return objectValue(list()[static_cast<std::size_t>(std::lround(i))]->self.get());
  }

 private:
  std::vector<std::shared_ptr<ControlObject>>& list() const {
    if (controls_ == nullptr) throw HostError(Failure::Platform, "the form is closed");
    return *controls_;
  }
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<ControlObject>>* controls_;
};

class FormObject final : public Exposed {
 public:
  FormObject(std::shared_ptr<Shared> shared, std::string name) : shared_(std::move(shared)), name_(std::move(name)) {}

  std::vector<std::shared_ptr<ControlObject>> controls;
  std::shared_ptr<ControlsObject> collection;
  ComRef<IDispatch> collectionDispatch;

  ControlObject* find(std::string_view name) const {
    for (const auto& c : controls) {
      if (c->name() == name) return c.get();
    }
    return nullptr;
  }

  bool has(std::string_view member) const override {
    return member == "Width" || member == "Height" || member == "ScaleWidth" || member == "ScaleHeight" ||
           member == "WindowState" || member == "Controls" || member == "Name" || find(member) != nullptr;
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
    if (member == "Controls") return objectValue(collectionDispatch.get());
    if (member == "Name") return Value{name_};
    if (ControlObject* control = find(member)) return objectValue(control->self.get());
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
    } catch (...) {
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
  std::shared_ptr<Shared> shared_;
  std::string name_;
};

// The form's COM object: its members, its class information and the connection point of its
// default source interface.
class FormDispatch final : public ExposedDispatch,
                           public IProvideClassInfo,
                           public SingleConnectionPoint<ComRef<IDispatch>> {
 public:
  FormDispatch(std::shared_ptr<Exposed> form, bool raisesFormEvents)
      : ExposedDispatch(std::move(form)),
        SingleConnectionPoint(raisesFormEvents ? DIID_FormEvents : DIID_PanelEvents),
        classId_(raisesFormEvents ? CLSID_DemoForm : CLSID_DemoPanel) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IUnknown* found = interfaceOf<IProvideClassInfo, IConnectionPointContainer, IConnectionPoint>(this, iid)) {
      return handOut(found, out);
    }
    return ExposedDispatch::QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ExposedDispatch::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ExposedDispatch::Release(); }

  STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    ComRef<ITypeInfo> type = demoType(classId_);
    if (!type) return TYPE_E_ELEMENTNOTFOUND;
    *info = type.get();
    (*info)->AddRef();
    return S_OK;
  }

  std::size_t sinkCount() const { return connections().size(); }
  void dropSinks() { dropConnections(); }

  // Delivers event `id` to the sinks advised when it is raised that are still advised; the text of
  // every failure a sink returns, in order.
  std::vector<std::string> raise(DISPID id) {
    std::vector<std::string> failures;
    const auto sinks = connections();
    for (const auto& [cookie, sink] : sinks) {
      if (!advised(cookie)) continue;
      DISPPARAMS none{};
      EXCEPINFO exception{};
      const HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &exception, nullptr);
      if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
      if (FAILED(hr)) failures.push_back(host::dispatch::failureOf(hr, &exception, "the event").what());
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
    }
    return failures;
  }

 private:
  ~FormDispatch() override = default;

  // A sink is kept as it is and called when the form raises an event.
  HRESULT connect(ComRef<IDispatch> sink, ComRef<IDispatch>* connection) override {
    *connection = std::move(sink);
    return S_OK;
  }

  CLSID classId_;
};

// The client site of the hosted control: ambient properties (run time), and the extended control
// whose Parent is the form.
class ControlSite final : public ComObject<IOleClientSite, IOleControlSite, IDispatch> {
 public:
  ControlSite(IDispatch* extended, bool userMode) : extended_(extended), userMode_(userMode) {}
  void close() { extended_.reset(); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP GetExtendedControl(IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = extended_.get();
    if (*out == nullptr) return E_NOTIMPL;
    (*out)->AddRef();
    return S_OK;
  }
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

  // IDispatch: the ambient properties; a running form's UserMode is True.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count != 1) return E_INVALIDARG;
    if (lstrcmpiW(names[0], L"UserMode") != 0) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = DISPID_AMBIENT_USERMODE;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || (flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    if (result == nullptr) return E_POINTER;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = userMode_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

 private:
  ~ControlSite() override = default;
  ComRef<IDispatch> extended_;
  bool userMode_;
};

// An empty property bag: nothing of the control is saved with the form.
class EmptyBag final : public IPropertyBag {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
      *out = static_cast<IPropertyBag*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return S_OK; }
};

// The class object of Tolvane: from Brenmoor.ocx next to the program, else from the registration.
ComRef<IClassFactory> tolvaneFactory() {
  static HMODULE module = [] {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\') + 1);
    return LoadLibraryW((path + L"Brenmoor.ocx").c_str());
  }();
  ComRef<IClassFactory> factory;
  if (module != nullptr) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (get != nullptr && SUCCEEDED(get(CLSID_Tolvane, IID_IClassFactory, reinterpret_cast<void**>(factory.put())))) {
      return factory;
    }
  }
  if (FAILED(CoGetClassObject(CLSID_Tolvane, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.put())))) {
    factory.reset();
  }
  return factory;
}

// ---- HostForm

struct HostForm::Objects {
  std::shared_ptr<Shared> shared;
  std::shared_ptr<FormObject> form;
  ComRef<FormDispatch> dispatch;
  ComRef<ControlSite> site;
};

namespace {

struct WindowKind {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

WindowKind windowKind(const model::ControlSpec& desc) {
  const std::string& kind = desc.kind;
  if (kind == "TextBox") return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
  if (kind == "CommandButton") return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
  if (kind == "ListBox") return {L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
  if (kind == "TreeView") return {WC_TREEVIEWW, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | WS_TABSTOP, WS_EX_CLIENTEDGE};
  if (kind == "WebBrowser") return {L"EDIT", ES_MULTILINE | ES_READONLY | WS_VSCROLL, WS_EX_CLIENTEDGE};
  if (kind == "Shape") return {L"STATIC", SS_BLACKRECT, 0};
  if (desc.name == "lblHorDrag") return {L"STATIC", SS_GRAYRECT | SS_NOTIFY, 0};
  return {L"STATIC", SS_LEFT | SS_NOTIFY, 0};
}

std::wstring caption(const model::ControlSpec& desc) {
  if (desc.text) return host::dispatch::widen(*desc.text);
  if (desc.kind == "WebBrowser") return L"Browser pane\r\n\r\n(a placeholder for the web browser control)";
  if (desc.kind == "CommandButton" || desc.kind == "Label") {
    std::string name = desc.name.substr(desc.name.rfind("cmd", 0) == 0 || desc.name.rfind("lbl", 0) == 0 ? 3 : 0);
    return host::dispatch::widen(name);
  }
  return {};
}

void fillSamples(HWND window, const model::ControlSpec& desc) {
  if (desc.kind == "ListBox") {
    for (const wchar_t* item : {L"Record 1", L"Record 2", L"Record 3", L"Record 4", L"Record 5"}) {
      SendMessageW(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
  } else if (desc.kind == "TreeView") {
    TVINSERTSTRUCTW insert{};
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    for (const wchar_t* folder : {L"Favourites", L"Shared"}) {
      insert.hParent = TVI_ROOT;
      insert.item.pszText = const_cast<wchar_t*>(folder);
      HTREEITEM parent = reinterpret_cast<HTREEITEM>(SendMessageW(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
      for (const wchar_t* leaf : {L"Record 1", L"Record 2"}) {
        insert.hParent = parent;
        insert.item.pszText = const_cast<wchar_t*>(leaf);
        SendMessageW(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
      }
      SendMessageW(window, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    }
  }
}

ATOM registerClass() {
  static const ATOM atom = [] {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

}  // namespace

HostForm::HostForm(const model::FormSpec& desc, model::Recorder& recorder, FormOptions options)
    : recorder_(recorder),
      name_(desc.name),
      frameWidth_(desc.frameWidth),
      frameHeight_(desc.frameHeight),
      twipsPerPixel_(screenTwipsPerPixel()),
      userMode_(options.userMode),
      objects_(std::make_unique<Objects>()) {
  if (registerClass() == 0) throw HostError(Failure::Platform, "cannot register the form's window class");
  auto& o = *objects_;
  o.shared = std::make_shared<Shared>(Shared{&recorder_, twipsPerPixel_});
  o.form = std::make_shared<FormObject>(o.shared, name_);
  o.dispatch = ComRef<FormDispatch>::adopt(new FormDispatch(o.form, options.raisesFormEvents));
  o.form->raise = [this] { raiseResize(); };
  o.form->collection = std::make_shared<ControlsObject>(o.shared, o.form->controls);
  o.form->collectionDispatch = ExposedDispatch::expose(o.form->collection);

  const std::wstring title = host::dispatch::widen(desc.name) + L" - Tolvane demo host";
  window_ = CreateWindowExW(0, kWindowClass, title.c_str(), kFormStyle, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) throw HostError(Failure::Platform, "cannot create the form's window");
  o.shared->form = window_;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostForm::windowProc));
  // The form's initial size: its inner size is the scenario's, less the scenario's frame.
  RECT outer{0, 0, o.shared->pixels(desc.width - frameWidth_), o.shared->pixels(desc.height - frameHeight_)};
  AdjustWindowRectEx(&outer, kFormStyle, FALSE, 0);
  SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  int id = 100;
  for (const model::ControlSpec& c : desc.controls) {
    HWND child = nullptr;
    if (c.kind != "Tolvane") {
      const WindowKind kind = windowKind(c);
      child = CreateWindowExW(kind.exStyle, kind.windowClass, caption(c).c_str(),
                              WS_CHILD | (c.visible ? WS_VISIBLE : 0) | kind.style, o.shared->pixels(c.left),
                              o.shared->pixels(c.top), o.shared->pixels(c.width), o.shared->pixels(c.height), window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), GetModuleHandleW(nullptr), nullptr);
      if (child == nullptr) throw HostError(Failure::Platform, "cannot create the window of " + c.name);
      fillSamples(child, c);
    } else if (controlName_.empty()) {
      controlName_ = c.name;
    }
    auto control = std::make_shared<ControlObject>(o.shared, c, child);
    control->self = ExposedDispatch::expose(control);
    if (control->hasMember(Member::Font)) {
      control->fontObject = std::make_shared<FontObject>(o.shared, *control, c.name + ".Font");
      control->font = ExposedDispatch::expose(control->fontObject);
    }
    if (c.kind == "Tolvane") control->parent = ComRef<IDispatch>(o.dispatch.get());
    o.form->controls.push_back(std::move(control));
  }
  SIZE client{};
  RECT inner{};
  GetClientRect(window_, &inner);
  client = {inner.right, inner.bottom};
  lastClient_ = client;
  lastState_ = 0;
}

HostForm::~HostForm() {
  unloadControl();
  auto& o = *objects_;
  o.dispatch->dropSinks();
  for (auto& control : o.form->controls) control->close();
  o.form->collection->detach();
  o.form->collectionDispatch.reset();
  o.form->raise = nullptr;
  o.shared->recorder = nullptr;
  o.shared->form = nullptr;
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  o.form->controls.clear();
}

IDispatch* HostForm::form() const { return objects_->dispatch.get(); }

HRESULT HostForm::loadControl() {
  unloadControl();
  ControlObject* extender = objects_->form->find(controlName_);
  if (extender == nullptr) return S_FALSE;
  ComRef<IClassFactory> factory = tolvaneFactory();
  if (!factory) return REGDB_E_CLASSNOTREG;
  ComRef<IOleObject> control;
  HRESULT hr = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(control.put()));
  if (FAILED(hr)) return hr;
  objects_->site = ComRef<ControlSite>::adopt(new ControlSite(extender->self.get(), userMode_));
  // The control asks for its client site first; then its saved properties are read.
  control->SetClientSite(objects_->site.get());
  // The extender's size is the control's extent: the container offers a size, the control answers
  // with the one it keeps.
  extender->onExtent = [object = control.get()](RECT& r) {
    const double himetricPerPixel = screenTwipsPerPixel() * 2540.0 / 1440.0;
    SIZEL size{std::lround((r.right - r.left) * himetricPerPixel), std::lround((r.bottom - r.top) * himetricPerPixel)};
    if (SUCCEEDED(object->SetExtent(DVASPECT_CONTENT, &size)) && SUCCEEDED(object->GetExtent(DVASPECT_CONTENT, &size))) {
      r.right = r.left + std::lround(size.cx / himetricPerPixel);
      r.bottom = r.top + std::lround(size.cy / himetricPerPixel);
    }
  };
  oleControl_ = control;
  control_ = control.query<IDispatch>(IID_IDispatch);
  ComRef<IPersistPropertyBag> persist = control.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
  EmptyBag bag;
  SetErrorInfo(0, nullptr);
  hr = persist ? persist->Load(&bag, nullptr) : E_NOINTERFACE;
  if (FAILED(hr)) {
    recorder_.recordFailure(controlName_, "ReadProperties", errorText(hr));
    unloadControl();
  }
  return hr;
}

void HostForm::unloadControl() {
  if (ControlObject* extender = objects_->form->find(controlName_)) extender->onExtent = nullptr;
  control_.reset();
  if (oleControl_) {
    oleControl_->Close(OLECLOSE_NOSAVE);
    oleControl_->SetClientSite(nullptr);
    oleControl_.reset();
  }
  if (objects_->site) objects_->site->close();
  objects_->site.reset();
}

void HostForm::raiseLoad() {
  for (const std::string& failure : objects_->dispatch->raise(1)) {
    recorder_.recordFailure(name_, "Load", failure);
  }
}

void HostForm::raiseResize() {
  ++resizes_;
  for (const std::string& failure : objects_->dispatch->raise(2)) {
    recorder_.recordFailure(name_, "Resize", failure);
  }
}

void HostForm::resizeTo(double width, double height) {
  const int before = resizes_;
  if (IsIconic(window_) || IsZoomed(window_)) ShowWindow(window_, SW_RESTORE);
  auto& shared = *objects_->shared;
  RECT outer{0, 0, shared.pixels(width - frameWidth_), shared.pixels(height - frameHeight_)};
  AdjustWindowRectEx(&outer, kFormStyle, FALSE, 0);
  SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
  pump();
  if (resizes_ == before) raiseResize();
}

void HostForm::minimize() {
  const int before = resizes_;
  ShowWindow(window_, SW_MINIMIZE);
  pump();
  if (resizes_ == before) raiseResize();
}

void HostForm::restore() {
  const int before = resizes_;
  ShowWindow(window_, SW_RESTORE);
  pump();
  if (resizes_ == before) raiseResize();
}

void HostForm::maximize() {
  const int before = resizes_;
  ShowWindow(window_, SW_MAXIMIZE);
  pump();
  if (resizes_ == before) raiseResize();
}

void HostForm::setDirect(const std::string& object, const std::string& member, const host::Value& value) {
  if (object == name_) {
    objects_->form->setDirect(member, value);
  } else if (ControlObject* control = objects_->form->find(object)) {
    control->setDirect(member, value);
  } else {
    throw HostError(Failure::MissingControl, name_ + " has no control " + object);
  }
  pump();
}

void HostForm::clickTab(const std::string& name) {
  if (!isTab(name)) return;
  for (const char* tab : {"cmdAllRecs", "cmdFavorites", "cmdSearchResults"}) {
    if (ControlObject* control = objects_->form->find(tab); control != nullptr && control->hasMember(Member::FontBold)) {
      control->setDirect("FontBold", Value{name == tab});
    }
  }
  if (!control_) return;
  try {
    host::dispatch::DispatchObject(control_.get()).call("Refresh", {});
  } catch (const HostError& e) {
    recorder_.recordFailure(controlName_, "Refresh", e.what());
  }
}

std::vector<model::StateRow> HostForm::state() const {
  std::vector<model::StateRow> rows;
  for (const auto& c : objects_->form->controls) {
    const RECT r = c->rect();
    const auto column = [&](Member m, LONG px) {
      return c->hasMember(m) ? std::optional<double>(px * twipsPerPixel_) : std::nullopt;
    };
    rows.push_back({c->name(), column(Member::Left, r.left), column(Member::Top, r.top),
                    column(Member::Width, r.right - r.left), column(Member::Height, r.bottom - r.top),
                    c->hasMember(Member::Font) ? std::optional<double>(c->fontSize()) : std::nullopt,
                    c->hasMember(Member::Visible) ? std::optional<bool>(c->visible()) : std::nullopt});
  }
  return rows;
}

void HostForm::pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT CALLBACK HostForm::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<HostForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->onMessage(message, wParam, lParam);
}

void HostForm::sized(WPARAM kind) {
  const int state = kind == SIZE_MINIMIZED ? 1 : kind == SIZE_MAXIMIZED ? 2 : 0;
  RECT inner{};
  GetClientRect(window_, &inner);
  const SIZE client{inner.right, inner.bottom};
  // Resize is raised for every change of the form's size or state, once.
  if (state == lastState_ && client.cx == lastClient_.cx && client.cy == lastClient_.cy) return;
  lastState_ = state;
  lastClient_ = client;
  if (objects_->shared->deferResize) {
    objects_->shared->resizePending = true;
    return;
  }
  raiseResize();
}

LRESULT HostForm::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      sized(wParam);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
        for (const auto& c : objects_->form->controls) {
          if (c->window() == reinterpret_cast<HWND>(lParam)) clickTab(c->name());
        }
      }
      return 0;
    case WM_CLOSE:
      ShowWindow(window_, SW_HIDE);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

}  // namespace tolvane::demohost
