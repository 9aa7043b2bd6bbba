// The control in containers: our own small container, which checks the misc status, the locked
// extent, the loading of saved properties and the design-time picture; and Wine's ATL control host.
#include <windows.h>

#include <gtest/gtest.h>
#include <olectl.h>

#include <optional>
#include <string>

#include "Brenmoor.h"
#include "support.h"
#include "win/client_site.h"
#include "win/empty_property_bag.h"
#include "win/memory_dc.h"
#include "win/scoped_bstr.h"
#include "win/scoped_gdi_object.h"
#include "win/scoped_selection.h"
#include "win/screen.h"
#include "win/untyped_dispatch.h"

namespace tolvane::test {
namespace {

// A late-bound object with at most one member, `Parent`, whose value is another plain object.
class PlainObject final : public win::UntypedDispatch<IDispatch> {
 public:
  explicit PlainObject(bool hasParent) : hasParent_(hasParent) {}
  int parentReads = 0;

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    if (hasParent_ && lstrcmpiW(names[0], L"Parent") == 0) {
      ids[0] = 1;
      return S_OK;
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (!hasParent_ || id != 1 || (flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    ++parentReads;
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = new PlainObject(false);
    return S_OK;
  }

 private:
  ~PlainObject() override = default;
  bool hasParent_;
};

enum class Ambient { DesignTime, RunTime, None };

// The client site of our container: ambient properties, an extended control, an in-place site.
// It lives on the test's stack and keeps the reference it was made with, so no Release frees it.
class TestSite final : public win::ClientSite, public IOleInPlaceSite {
 public:
  TestSite(Ambient ambient, bool extender) : ambient_(ambient) {
    if (extender) extended_ = ComPtr<PlainObject>::adopt(new PlainObject(true));
  }
  int userModeReads = 0;
  int parentReads() const { return extended_ ? extended_->parentReads : 0; }
  RECT lastPosition{};
  int positionChanges = 0;
  RECT where{0, 0, 0, 0};

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    // Without ambient properties the site is no IDispatch.
    if (iid == IID_IDispatch && ambient_ == Ambient::None) return win::handOut(nullptr, out);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      return win::handOut(static_cast<IOleInPlaceSite*>(this), out);
    }
    return ClientSite::QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ClientSite::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ClientSite::Release(); }

  STDMETHODIMP GetExtendedControl(IDispatch** out) override {
    *out = nullptr;
    if (!extended_) return E_NOTIMPL;
    return win::ComPtr<IDispatch>(extended_.get()).copy_to(out);
  }

  // IDispatch: the ambient properties.
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    ++userModeReads;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = ambient_ == Ambient::RunTime ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

  // IOleWindow, IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* window) override {
    *window = GetDesktopWindow();
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *position = where;
    *clip = where;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT position) override {
    ++positionChanges;
    lastPosition = *position;
    return S_OK;
  }

 private:
  Ambient ambient_;
  ComPtr<PlainObject> extended_;
};


// The control sited in `site` the way a container sites it: client site first, as its misc
// status asks.
ComPtr<IOleObject> sited(TestSite& site) {
  ComPtr<IUnknown> control = Server::instance().create();
  ComPtr<IOleObject> object = control.query<IOleObject>(IID_IOleObject);
  if (object) object->SetClientSite(&site);
  return object;
}

const SIZEL kLockedHimetric{847, 794};  // 480 x 450 twips

TEST(Container, MiscStatusAsRegistered) {
  TestSite site(Ambient::DesignTime, false);
  ComPtr<IOleObject> object = sited(site);
  ASSERT_TRUE(object);
  DWORD status = 0;
  ASSERT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, static_cast<DWORD>(OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                       OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INVISIBLEATRUNTIME |
                                       OLEMISC_SETCLIENTSITEFIRST));
  EXPECT_EQ(status, 0x20591u);
}

TEST(Container, AnyExtentSnapsBackToThePicture) {
  const SIZEL tries[] = {{100, 100}, {5000, 3000}, {847, 794}, {0, 0}, {848, 1}};
  for (Ambient ambient : {Ambient::DesignTime, Ambient::RunTime}) {
    TestSite site(ambient, false);
    ComPtr<IOleObject> object = sited(site);
    ASSERT_TRUE(object);
    ComPtr<IViewObject2> view = object.query<IViewObject2>(IID_IViewObject2);
    for (SIZEL size : tries) {
      SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy);
      EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
      SIZEL now{};
      ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &now), S_OK);
      EXPECT_EQ(now.cx, kLockedHimetric.cx);
      EXPECT_EQ(now.cy, kLockedHimetric.cy);
      SIZEL drawn{};
      ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &drawn), S_OK);
      EXPECT_EQ(drawn.cx, kLockedHimetric.cx);
      EXPECT_EQ(drawn.cy, kLockedHimetric.cy);
    }
    SIZEL bad{1, 1};
    EXPECT_EQ(object->SetExtent(DVASPECT_ICON, &bad), DV_E_DVASPECT);
    EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, nullptr), E_POINTER);
  }
}

TEST(Container, InPlaceRectangleSnapsBackToThePicture) {
  TestSite site(Ambient::DesignTime, false);
  site.where = RECT{10, 20, 300, 400};
  ComPtr<IOleObject> object = sited(site);
  ASSERT_TRUE(object);
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, nullptr, &site.where), S_OK);
  const int dpi = win::screenDpiOrDefault(LOGPIXELSX);
  EXPECT_GE(site.positionChanges, 1);
  EXPECT_EQ(site.lastPosition.left, 10);
  EXPECT_EQ(site.lastPosition.top, 20);
  EXPECT_EQ(site.lastPosition.right - site.lastPosition.left, MulDiv(480, dpi, 1440));
  EXPECT_EQ(site.lastPosition.bottom - site.lastPosition.top, MulDiv(450, dpi, 1440));

  // The container insists on another rectangle: the control asks again for its own size.
  ComPtr<IOleInPlaceObject> inPlace = object.query<IOleInPlaceObject>(IID_IOleInPlaceObject);
  const int before = site.positionChanges;
  RECT bigger{0, 0, 500, 500};
  EXPECT_EQ(inPlace->SetObjectRects(&bigger, &bigger), S_OK);
  EXPECT_EQ(site.positionChanges, before + 1);
  EXPECT_EQ(site.lastPosition.right, MulDiv(480, dpi, 1440));
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
}

struct LoadCase {
  const char* what;
  Ambient ambient;
  bool extender;
  bool propertyBag;  // else a stream
  HRESULT expected;
  int parentReads;
};

class LoadingProperties : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadingProperties, RunsThePropertyReadHandler) {
  const LoadCase& c = GetParam();
  TestSite site(c.ambient, c.extender);
  ComPtr<IOleObject> object = sited(site);
  ASSERT_TRUE(object);
  HRESULT hr = E_FAIL;
  if (c.propertyBag) {
    hr = object.query<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(win::EmptyPropertyBag::make().get(), nullptr);
  } else {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    hr = object.query<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.get());
  }
  EXPECT_EQ(hr, c.expected) << std::hex << hr;
  if (c.ambient != Ambient::None) {
    EXPECT_EQ(site.userModeReads, 1) << "the handler reads Ambient.UserMode";
  }
  EXPECT_EQ(site.parentReads(), c.parentReads);
  if (FAILED(hr)) {
    ComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, error.put()), S_OK);
    win::ScopedBstr text;
    error->GetDescription(text.receive());
    EXPECT_GT(text.length(), 0u);
    GUID from{};
    error->GetGUID(&from);
    EXPECT_EQ(from, c.propertyBag ? IID_IPersistPropertyBag : IID_IPersistStreamInit)
        << "the error names the interface the load came through";
  }
  // Not a form: the control stays unattached, so Refresh still finds no parent.
  EXPECT_EQ(object.query<_Tolvane>(IID__Tolvane)->Refresh(), static_cast<HRESULT>(0x800A005B));
}

constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);
constexpr HRESULT kNoMember = static_cast<HRESULT>(0x800A01B6);  // no such property or method

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadingProperties,
    testing::Values(LoadCase{"design time: does not attach", Ambient::DesignTime, true, true, S_OK, 0},
                    LoadCase{"design time, stream", Ambient::DesignTime, true, false, S_OK, 0},
                    LoadCase{"run time: parent not a form", Ambient::RunTime, true, true, kTypeMismatch, 1},
                    LoadCase{"run time, stream: parent not a form", Ambient::RunTime, true, false, kTypeMismatch, 1},
                    LoadCase{"no ambients: run time by default", Ambient::None, true, true, kTypeMismatch, 1},
                    LoadCase{"run time without an extender", Ambient::RunTime, false, true, kNoMember, 0}),
    [](const testing::TestParamInfo<LoadCase>& param) { return "case" + std::to_string(param.index); });

TEST(Container, InitNewDoesNotReadProperties) {
  TestSite site(Ambient::RunTime, true);
  ComPtr<IOleObject> object = sited(site);
  ASSERT_EQ(object.query<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
  ASSERT_EQ(object.query<IPersistPropertyBag>(IID_IPersistPropertyBag)->InitNew(), S_OK);
  EXPECT_EQ(site.parentReads(), 0);
}

// The picture drawn into a 4x bitmap, read back pixel by pixel.
class Drawing {
 public:
  static constexpr int kScale = 4;
  static constexpr COLORREF kBackground = RGB(255, 0, 255);

  Drawing() : dc_(nullptr) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 24 * kScale;
    info.bmiHeader.biHeight = -22 * kScale;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
    selected_.emplace(dc_.get(), bitmap_.get());
    for (int i = 0; i < 24 * kScale * 22 * kScale; ++i) bits_[i] = 0x00FF00FF;
  }
  HDC dc() const { return dc_.get(); }
  // The colour at picture pixel (x, y), sampled in the middle of its scaled square.
  COLORREF at(int x, int y) const {
    GdiFlush();
    const DWORD bgr = bits_[(y * kScale + kScale / 2) * 24 * kScale + x * kScale + kScale / 2];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
  }

 private:
  // Undone in reverse: the selection, then the bitmap, then the device context.
  win::MemoryDC dc_;
  win::ScopedBitmap bitmap_;
  std::optional<win::ScopedSelection> selected_;
  DWORD* bits_ = nullptr;
};

TEST(Container, DesignTimePictureShowsTheButtonAndDiamond) {
  TestSite site(Ambient::DesignTime, false);
  ComPtr<IOleObject> object = sited(site);
  ComPtr<IViewObject2> view = object.query<IViewObject2>(IID_IViewObject2);
  Drawing drawing;
  const RECTL bounds{0, 0, 24 * Drawing::kScale, 22 * Drawing::kScale};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawing.dc(), &bounds, nullptr, nullptr, 0), S_OK);

  const COLORREF black = RGB(0, 0, 0);
  const COLORREF white = RGB(255, 255, 255);
  const COLORREF light = RGB(192, 192, 192);
  const COLORREF dark = RGB(128, 128, 128);
  const COLORREF red = RGB(255, 0, 0);
  struct Pixel {
    const char* what;
    int x, y;
    COLORREF colour;
  };
  const Pixel pixels[] = {
      {"outline, top left", 0, 0, black},
      {"outline, bottom right", 23, 21, black},
      {"outline, left", 0, 10, black},
      {"outline, bottom", 12, 21, black},
      {"highlight, top", 12, 1, white},
      {"highlight, left", 1, 10, white},
      {"shadow, right", 22, 10, dark},
      {"shadow, bottom", 12, 20, dark},
      {"face", 3, 3, light},
      {"face below the diamond", 11, 18, light},
      {"diamond, centre", 11, 10, red},
      {"diamond, left tip", 4, 10, red},
      {"diamond, right tip", 18, 10, red},
      {"diamond, top tip", 11, 3, red},
      {"diamond, bottom tip", 11, 17, red},
      {"face beside the left tip", 3, 10, light},
      {"face above the top tip", 11, 2, light},
      {"face off the diamond's edge", 7, 6, light},
  };
  for (const Pixel& pixel : pixels) {
    EXPECT_EQ(drawing.at(pixel.x, pixel.y), pixel.colour) << pixel.what;
  }
}

TEST(Container, NothingIsDrawnAtRunTime) {
  TestSite site(Ambient::RunTime, false);
  ComPtr<IOleObject> object = sited(site);
  ComPtr<IViewObject2> view = object.query<IViewObject2>(IID_IViewObject2);
  Drawing drawing;
  const RECTL bounds{0, 0, 24 * Drawing::kScale, 22 * Drawing::kScale};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawing.dc(), &bounds, nullptr, nullptr, 0), S_OK);
  for (int y = 0; y < 22; y += 3) {
    for (int x = 0; x < 24; x += 3) EXPECT_EQ(drawing.at(x, y), Drawing::kBackground) << x << "," << y;
  }
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0), E_INVALIDARG);
}

// Wine's ATL host creates the control by its ProgID in an AtlAxWin window.
TEST(AtlHost, HostsTheControlByProgId) {
  HMODULE atl = LoadLibraryW(L"atl.dll");
  ASSERT_NE(atl, nullptr);
  auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  ASSERT_NE(init, nullptr);
  ASSERT_NE(getControl, nullptr);
  ASSERT_TRUE(init());
  HWND window = CreateWindowExW(0, L"AtlAxWin", L"Brenmoor.Tolvane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr) << "no window (is DISPLAY set?)";
  ComPtr<IUnknown> control;
  ASSERT_EQ(getControl(window, control.put()), S_OK);
  ASSERT_TRUE(control);

  ComPtr<_Tolvane> dual = control.query<_Tolvane>(IID__Tolvane);
  ASSERT_TRUE(dual);
  EXPECT_EQ(dual->put_ResizeFont(VARIANT_TRUE), S_OK);
  VARIANT_BOOL value = VARIANT_FALSE;
  EXPECT_EQ(dual->get_ResizeFont(&value), S_OK);
  EXPECT_EQ(value, VARIANT_TRUE);

  ComPtr<IOleObject> object = control.query<IOleObject>(IID_IOleObject);
  ASSERT_TRUE(object);
  SIZEL size{};
  ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
  EXPECT_EQ(size.cx, kLockedHimetric.cx);
  EXPECT_EQ(size.cy, kLockedHimetric.cy);
  ComPtr<IOleClientSite> clientSite;
  EXPECT_EQ(object->GetClientSite(clientSite.put()), S_OK);
  EXPECT_TRUE(clientSite) << "the host sited the control";

  // What the host window has queued is handled before it goes; a bounded number, so that a message
  // the platform keeps posting cannot hold the test.
  MSG msg;
  for (int n = 0; n < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) DispatchMessageW(&msg);
  control.reset();
  dual.reset();
  object.reset();
  clientSite.reset();
  DestroyWindow(window);
}

}  // namespace
}  // namespace tolvane::test
