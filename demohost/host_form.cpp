#include "demohost/host_form.h"

#include <commctrl.h>
#include <olectl.h>

#include <cmath>
#include <utility>

#include "Brenmoor.h"
#include "demohost/control_site.h"
#include "demohost/form_dispatch.h"
#include "demohost/form_objects.h"
#include "hostmodel/dispatch/dispatch_object.h"
#include "win/empty_property_bag.h"
#include "win/scoped_bstr.h"
#include "win/screen.h"
#include "win/text.h"

namespace tolvane::demohost {

namespace {

constexpr wchar_t kWindowClass[] = L"TolvaneDemoHostForm";

bool isTab(const std::string& name) {
  return name == "cmdAllRecs" || name == "cmdFavorites" || name == "cmdSearchResults";
}

// The text of the error information a failed COM call left, or its HRESULT.
std::string errorText(HRESULT hr) {
  win::ComPtr<IErrorInfo> info;
  std::string text;
  if (GetErrorInfo(0, info.put()) == S_OK && info) {
    win::ScopedBstr description;
    if (SUCCEEDED(info->GetDescription(description.receive())) && description.get() != nullptr) {
      text = win::narrow(description.get(), description.length());
    }
  }
  if (text.empty()) {
    char code[32];
    wsprintfA(code, "error 0x%08lX", static_cast<unsigned long>(hr));
    text = code;
  }
  return text;
}

}  // namespace

int screenTwipsPerPixel() { return 1440 / win::screenDpiOrDefault(LOGPIXELSX); }

// ---- HostForm

struct HostForm::Objects {
  std::shared_ptr<FormContext> shared;
  std::shared_ptr<FormObject> form;
  win::ComPtr<FormDispatch> dispatch;
  win::ComPtr<ControlSite> site;
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
  if (desc.text) return win::widen(*desc.text);
  if (desc.kind == "WebBrowser") return L"Browser pane\r\n\r\n(a placeholder for the web browser control)";
  if (desc.kind == "CommandButton" || desc.kind == "Label") {
    std::string name = desc.name.substr(desc.name.rfind("cmd", 0) == 0 || desc.name.rfind("lbl", 0) == 0 ? 3 : 0);
    return win::widen(name);
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
    for (const wchar_t* folder : {L"Favourites", L"FormContext"}) {
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
  o.shared = std::make_shared<FormContext>(&recorder_, twipsPerPixel_);
  o.form = std::make_shared<FormObject>(o.shared, name_, options.givesHwnd);
  o.dispatch = win::ComPtr<FormDispatch>::adopt(new FormDispatch(o.form, options.raisesFormEvents));
  o.form->raise = [this] { raiseResize(); };
  o.form->collection = std::make_shared<ControlsObject>(o.shared, o.form->controls);
  o.form->collectionDispatch = Handed(ExposedDispatch::expose(o.form->collection));

  const std::wstring title = win::widen(desc.name) + L" - Tolvane demo host";
  window_ = CreateWindowExW(0, kWindowClass, title.c_str(), kFormStyle, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) throw HostError(Failure::Platform, "cannot create the form's window");
  o.shared->form = window_;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostForm::windowProc));
  paint_.watch(window_);
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
      paint_.watch(child);
    } else if (controlName_.empty()) {
      controlName_ = c.name;
    }
    auto control = std::make_shared<ControlObject>(o.shared, c, child);
    control->self = Handed(ExposedDispatch::expose(control));
    if (control->hasMember(Member::Font)) {
      control->fontObject = std::make_shared<FontObject>(o.shared, *control, c.name + ".Font");
      control->font = Handed(ExposedDispatch::expose(control->fontObject));
    }
    if (c.kind == "Tolvane") control->parent = Handed(win::ComPtr<IDispatch>(o.dispatch.get()));
    o.form->add(std::move(control));
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
  o.form->clear();
}

IDispatch* HostForm::form() const { return objects_->dispatch.get(); }

HRESULT HostForm::loadControl() {
  unloadControl();
  ControlObject* extender = objects_->form->find(controlName_);
  if (extender == nullptr) return S_FALSE;
  win::ComPtr<IClassFactory> factory = tolvaneFactory();
  if (!factory) return REGDB_E_CLASSNOTREG;
  win::ComPtr<IOleObject> control;
  HRESULT hr = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(control.put()));
  if (FAILED(hr)) return hr;
  objects_->site = win::ComPtr<ControlSite>::adopt(new ControlSite(extender->self.get(), userMode_));
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
  win::ComPtr<IPersistPropertyBag> persist = control.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
  SetErrorInfo(0, nullptr);
  // Nothing of the control is saved with the form.
  hr = persist ? persist->Load(win::EmptyPropertyBag::make().get(), nullptr) : E_NOINTERFACE;
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

template <class Body>
void HostForm::laidOut(Body&& body) {
  paint_.relayoutBegins();
  struct Ends {
    PaintStats& paint;
    ~Ends() { paint.relayoutEnds(); }
  } ends{paint_};
  MoveBatch::Hold hold(objects_->shared->moves);  // released, and the moves made, before the relayout ends
  body();
}

void HostForm::raiseResize() {
  ++resizes_;
  laidOut([&] {
    for (const std::string& failure : objects_->dispatch->raise(2)) {
      recorder_.recordFailure(name_, "Resize", failure);
    }
  });
}

void HostForm::callControl(const std::string& method) {
  if (!control_) throw HostError(Failure::NotAttached, controlName_ + " is not loaded");
  laidOut([&] { host::dispatch::DispatchObject(control_.get()).call(method, {}); });
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
    callControl("Refresh");
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
    case WM_SETREDRAW:
      // The control laying the form out switches its redraw back on: the held moves are made
      // first, while nothing is drawn, so that the one redraw that follows shows the final layout.
      if (wParam != FALSE) objects_->shared->moves.apply();
      return DefWindowProcW(window_, message, wParam, lParam);
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
