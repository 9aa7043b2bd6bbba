#include "control/com/tolvane_control.h"

#include <olectl.h>

#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "control/com/boundary.h"
#include "control/com/registration.h"
#include "hostmodel/dispatch/com_object.h"

namespace tolvane::com {

using host::dispatch::ComRef;

namespace {

constexpr float kTwipsPerInch = 1440.0f;
constexpr float kHimetricPerInch = 2540.0f;
constexpr int kDesignPicture = 101;

LONG toHimetric(float twips) { return std::lround(twips * kHimetricPerInch / kTwipsPerInch); }
float fromHimetric(LONG himetric) { return static_cast<float>(himetric) * kTwipsPerInch / kHimetricPerInch; }

int screenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

LONG toPixels(float twips) { return std::lround(twips * static_cast<float>(screenDpi()) / kTwipsPerInch); }
float fromPixels(LONG pixels) { return static_cast<float>(pixels) * kTwipsPerInch / static_cast<float>(screenDpi()); }

VARIANT_BOOL toVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The members of `_Tolvane`: four Boolean properties and two methods without arguments.
struct Member {
  DISPID id;
  bool property;
};
constexpr Member kMembers[] = {
    {0x40030000, true}, {0x40030001, true}, {0x40030002, true},
    {0x40030003, true}, {0x60030004, false}, {0x60030005, false},
};

const Member* findMember(DISPID id) {
  for (const Member& member : kMembers) {
    if (member.id == id) return &member;
  }
  return nullptr;
}

// The enumeration of the control's one connection point.
class PointEnumerator final : public host::dispatch::ComObject<IEnumConnectionPoints> {
 public:
  PointEnumerator(IConnectionPoint* point, ULONG position) : point_(point), position_(position) {}

  STDMETHODIMP Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (points == nullptr || (count != 1 && fetched == nullptr)) return E_POINTER;
    ULONG given = 0;
    if (count > 0 && position_ == 0) {
      points[0] = point_.get();
      points[0]->AddRef();
      position_ = 1;
      given = 1;
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const ULONG left = 1 - position_;
    position_ = count >= left ? 1 : position_ + count;
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnectionPoints** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new (std::nothrow) PointEnumerator(point_.get(), position_);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~PointEnumerator() override = default;

  LiveObject live_;
  ComRef<IConnectionPoint> point_;
  ULONG position_;
};

}  // namespace

// The connection point of `__Tolvane`. It lives inside the control and shares its reference count.
// The control raises no events, so the sinks are only kept until they are unadvised.
class TolvaneControl::EventsPoint final : public IConnectionPoint {
 public:
  explicit EventsPoint(TolvaneControl& owner) : owner_(owner) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = DIID___Tolvane;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
    if (container == nullptr) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(&owner_);
    (*container)->AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (cookie == nullptr) return E_POINTER;
    *cookie = 0;
    if (sink == nullptr) return E_POINTER;
    ComRef<IUnknown> events;
    if (FAILED(sink->QueryInterface(DIID___Tolvane, reinterpret_cast<void**>(events.put()))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(events.put())))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    try {
      sinks_.emplace_back(++lastCookie_, std::move(events));
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    *cookie = lastCookie_;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
      if (it->first == cookie) {
        ComRef<IUnknown> dropped = std::move(it->second);
        sinks_.erase(it);
        return S_OK;
      }
    }
    return CONNECT_E_NOCONNECTION;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override {
    if (connections == nullptr) return E_POINTER;
    *connections = nullptr;
    return E_NOTIMPL;
  }

 private:
  TolvaneControl& owner_;
  std::vector<std::pair<DWORD, ComRef<IUnknown>>> sinks_;
  DWORD lastCookie_ = 0;
};

TolvaneControl::TolvaneControl() : site_(*this), control_(site_), extent_{}, events_(new EventsPoint(*this)) {
  setWidthTwips(control_.Image1().Width);
  setHeightTwips(control_.Image1().Height);
}

TolvaneControl::~TolvaneControl() { delete events_; }

HRESULT TolvaneControl::create(IUnknown* outer, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  TolvaneControl* control = nullptr;
  try {
    control = new TolvaneControl();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  const HRESULT hr = control->QueryInterface(iid, out);
  control->Release();
  return hr;
}

// ---- IUnknown

STDMETHODIMP TolvaneControl::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  void* found = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Tolvane) {
    found = static_cast<_Tolvane*>(this);
  } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
    found = static_cast<IProvideClassInfo2*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    found = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IOleObject) {
    found = static_cast<IOleObject*>(this);
  } else if (iid == IID_IOleControl) {
    found = static_cast<IOleControl*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
    found = static_cast<IOleInPlaceObject*>(this);
  } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
    found = static_cast<IViewObject2*>(this);
  } else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) {
    found = static_cast<IPersistStreamInit*>(this);
  } else if (iid == IID_IPersistPropertyBag) {
    found = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    found = static_cast<ISupportErrorInfo*>(this);
  }
  // Not IObjectSafety: the control does not claim to be safe for scripting or initialisation.
  *out = found;
  if (found == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) TolvaneControl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

STDMETHODIMP_(ULONG) TolvaneControl::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// ---- IDispatch

HRESULT TolvaneControl::dispatchTypes(ITypeInfo** dispatchInfo, ITypeInfo** vtableInfo) noexcept {
  HRESULT hr = ServerModule::typeInfo(IID__Tolvane, dispatchInfo);
  if (FAILED(hr) || vtableInfo == nullptr) return hr;
  // The dual interface's vtable half: ITypeInfo::Invoke calls through it.
  HREFTYPE vtable = 0;
  hr = (*dispatchInfo)->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
  if (SUCCEEDED(hr)) hr = (*dispatchInfo)->GetRefTypeInfo(vtable, vtableInfo);
  if (FAILED(hr)) {
    (*dispatchInfo)->Release();
    *dispatchInfo = nullptr;
  }
  return hr;
}

STDMETHODIMP TolvaneControl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return ServerModule::typeInfo(IID__Tolvane, info);
}

STDMETHODIMP TolvaneControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) {
    if (names[i] == nullptr) return E_INVALIDARG;
  }
  ComRef<ITypeInfo> info;
  const HRESULT hr = dispatchTypes(info.put(), nullptr);
  if (FAILED(hr)) return hr;
  return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP TolvaneControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception, UINT* argError) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) || params->cNamedArgs > params->cArgs) {
    return E_INVALIDARG;
  }
  const Member* member = findMember(id);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

  // The shape of the call is checked here, so that the type information only ever sees calls
  // that match a member.
  WORD kind = 0;
  if (member->property && (flags & DISPATCH_PROPERTYPUT) != 0) {
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
    kind = DISPATCH_PROPERTYPUT;
  } else if ((member->property && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0) ||
             (!member->property && (flags & DISPATCH_METHOD) != 0)) {
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    kind = member->property ? DISPATCH_PROPERTYGET : DISPATCH_METHOD;
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }

  ComRef<ITypeInfo> dispatchInfo;
  ComRef<ITypeInfo> vtableInfo;
  const HRESULT hr = dispatchTypes(dispatchInfo.put(), vtableInfo.put());
  if (FAILED(hr)) return hr;
  SetErrorInfo(0, nullptr);
  return vtableInfo->Invoke(static_cast<_Tolvane*>(this), id, kind, params, result, exception, argError);
}

// ---- _Tolvane

STDMETHODIMP TolvaneControl::get_ResizeFont(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_.ResizeFont());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_ResizeFont(VARIANT_BOOL value) {
  control_.ResizeFont(value != VARIANT_FALSE);
  return S_OK;
}
STDMETHODIMP TolvaneControl::get_KeepRatio(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_.KeepRatio());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_KeepRatio(VARIANT_BOOL value) {
  control_.KeepRatio(value != VARIANT_FALSE);
  return S_OK;
}
STDMETHODIMP TolvaneControl::get_gfLowRes(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_.gfLowRes());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_gfLowRes(VARIANT_BOOL value) {
  control_.gfLowRes(value != VARIANT_FALSE);
  return S_OK;
}
STDMETHODIMP TolvaneControl::get_mfRebuild(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_.mfRebuild());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_mfRebuild(VARIANT_BOOL value) {
  control_.mfRebuild(value != VARIANT_FALSE);
  return S_OK;
}

STDMETHODIMP TolvaneControl::Rebuild() {
  return atBoundary(IID__Tolvane, [&] {
    control_.Rebuild();
    return S_OK;
  });
}

STDMETHODIMP TolvaneControl::Refresh() {
  return atBoundary(IID__Tolvane, [&] {
    control_.Refresh();
    return S_OK;
  });
}

// ---- IProvideClassInfo2

STDMETHODIMP TolvaneControl::GetClassInfo(ITypeInfo** info) { return ServerModule::typeInfo(CLSID_Tolvane, info); }

STDMETHODIMP TolvaneControl::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___Tolvane;
  return S_OK;
}

// ---- IConnectionPointContainer

STDMETHODIMP TolvaneControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = new (std::nothrow) PointEnumerator(events_, 0);
  return *points != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP TolvaneControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (iid != DIID___Tolvane) return CONNECT_E_NOCONNECTION;
  *point = events_;
  events_->AddRef();
  return S_OK;
}

// ---- IOleObject

STDMETHODIMP TolvaneControl::SetClientSite(IOleClientSite* site) {
  if (site == nullptr) InPlaceDeactivate();
  site_.setClientSite(site);
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = site_.clientSite();
  if (*site != nullptr) (*site)->AddRef();
  return S_OK;
}

STDMETHODIMP TolvaneControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP TolvaneControl::Close(DWORD) {
  InPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP TolvaneControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP TolvaneControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP TolvaneControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP TolvaneControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TolvaneControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return activateInPlace(activeSite != nullptr ? activeSite : site_.clientSite(), position);
    case OLEIVERB_HIDE:
      return InPlaceDeactivate();
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT TolvaneControl::activateInPlace(IOleClientSite* site, LPCRECT position) noexcept {
  if (site == nullptr) return E_UNEXPECTED;
  if (!inPlaceSite_) {
    ComRef<IOleInPlaceSite> inPlace = ComRef<IOleClientSite>(site).query<IOleInPlaceSite>(IID_IOleInPlaceSite);
    // A container without in-place sites can still draw the control through IViewObject.
    if (!inPlace) return S_OK;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    const HRESULT hr = inPlace->OnInPlaceActivate();
    if (FAILED(hr)) return hr;
    inPlaceSite_ = inPlace;
    ComRef<IOleInPlaceFrame> frame;
    ComRef<IOleInPlaceUIWindow> document;
    RECT where{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    if (SUCCEEDED(inPlace->GetWindowContext(frame.put(), document.put(), &where, &clip, &frameInfo))) {
      position_ = where;
    }
  }
  if (position != nullptr) position_ = *position;
  if (sizing_) return S_OK;
  setWidthTwips(fromPixels(position_.right - position_.left));
  setHeightTwips(fromPixels(position_.bottom - position_.top));
  return lockSize();
}

STDMETHODIMP TolvaneControl::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_Tolvane, verbs); }
STDMETHODIMP TolvaneControl::Update() { return S_OK; }
STDMETHODIMP TolvaneControl::IsUpToDate() { return S_OK; }

STDMETHODIMP TolvaneControl::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Tolvane;
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetUserType(DWORD form, LPOLESTR* type) {
  if (type == nullptr) return E_POINTER;
  return OleRegGetUserType(CLSID_Tolvane, form, type);
}

STDMETHODIMP TolvaneControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  setWidthTwips(fromHimetric(size->cx));
  setHeightTwips(fromHimetric(size->cy));
  return lockSize();
}

STDMETHODIMP TolvaneControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

// Whatever size the container gives, the control's resize handler sets it back to the picture's;
// an in-place container is told the rectangle that follows.
HRESULT TolvaneControl::lockSize() noexcept {
  if (sizing_) return S_OK;
  sizing_ = true;
  HRESULT hr = atBoundary(IID_IOleObject, [&] {
    control_.UserControl_Resize();
    return S_OK;
  });
  if (inPlaceSite_) {
    RECT wanted = position_;
    wanted.right = wanted.left + toPixels(widthTwips());
    wanted.bottom = wanted.top + toPixels(heightTwips());
    if (!EqualRect(&wanted, &position_)) {
      position_ = wanted;
      inPlaceSite_->OnPosRectChange(&wanted);
    }
  }
  sizing_ = false;
  if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
  return hr;
}

float TolvaneControl::widthTwips() const { return twips_.cx; }
float TolvaneControl::heightTwips() const { return twips_.cy; }
void TolvaneControl::setWidthTwips(float twips) {
  twips_.cx = twips;
  extent_.cx = toHimetric(twips);
}
void TolvaneControl::setHeightTwips(float twips) {
  twips_.cy = twips;
  extent_.cy = toHimetric(twips);
}

STDMETHODIMP TolvaneControl::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_INVALIDARG;
  if (!adviseHolder_) {
    const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP TolvaneControl::Unadvise(DWORD cookie) {
  if (!adviseHolder_) return OLE_E_NOCONNECTION;
  return adviseHolder_->Unadvise(cookie);
}

STDMETHODIMP TolvaneControl::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (!adviseHolder_) return S_OK;
  return adviseHolder_->EnumAdvise(advises);
}

STDMETHODIMP TolvaneControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = tolvaneRecord().miscStatus;
  return S_OK;
}

STDMETHODIMP TolvaneControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleControl

STDMETHODIMP TolvaneControl::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}
STDMETHODIMP TolvaneControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP TolvaneControl::OnAmbientPropertyChange(DISPID) {
  // The picture depends on the design/run mode.
  if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
  return S_OK;
}
STDMETHODIMP TolvaneControl::FreezeEvents(BOOL) { return S_OK; }

// ---- IOleInPlaceObject

STDMETHODIMP TolvaneControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  // The control has no window of its own: it only draws its picture at design time.
  *window = nullptr;
  return E_FAIL;
}
STDMETHODIMP TolvaneControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP TolvaneControl::InPlaceDeactivate() {
  ComRef<IOleInPlaceSite> inPlace = std::move(inPlaceSite_);
  inPlaceSite_.reset();
  if (inPlace) inPlace->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP TolvaneControl::UIDeactivate() { return S_OK; }

STDMETHODIMP TolvaneControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  position_ = *position;
  if (sizing_) return S_OK;
  setWidthTwips(fromPixels(position->right - position->left));
  setHeightTwips(fromPixels(position->bottom - position->top));
  return lockSize();
}

STDMETHODIMP TolvaneControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

// ---- IViewObject2

STDMETHODIMP TolvaneControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                  BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
  // Invisible at run time: only the designer sees the picture.
  if (site_.userMode()) return S_OK;
  HINSTANCE module = ServerModule::handle();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kDesignPicture), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* info = loaded != nullptr ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  if (info == nullptr) return E_UNEXPECTED;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const DWORD colours = header.biClrUsed != 0 ? header.biClrUsed : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0u);
  const auto* bits = reinterpret_cast<const BYTE*>(info) + header.biSize + colours * sizeof(RGBQUAD);
  const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  SetStretchBltMode(dc, COLORONCOLOR);
  const int lines = StretchDIBits(dc, bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top,
                                  0, 0, header.biWidth, height, bits, info, DIB_RGB_COLORS, SRCCOPY);
  return lines <= 0 ? E_FAIL : S_OK;
}

STDMETHODIMP TolvaneControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors == nullptr) return E_POINTER;
  *colors = nullptr;
  return S_FALSE;
}
STDMETHODIMP TolvaneControl::Freeze(DWORD, LONG, void*, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  return E_NOTIMPL;
}
STDMETHODIMP TolvaneControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP TolvaneControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewSink_ = ComRef<IAdviseSink>(sink);
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewFlags_;
  if (sink != nullptr) {
    *sink = viewSink_.get();
    if (*sink != nullptr) (*sink)->AddRef();
  }
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ---- IPersistStreamInit, IPersistPropertyBag

STDMETHODIMP TolvaneControl::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Tolvane;
  return S_OK;
}

// Nothing of the control is saved with the form, so there is never anything to save.
STDMETHODIMP TolvaneControl::IsDirty() { return S_FALSE; }

HRESULT TolvaneControl::readProperties() noexcept {
  return atBoundary(IID_IPersistPropertyBag, [&] {
    control_.UserControl_ReadProperties();
    return S_OK;
  });
}

STDMETHODIMP TolvaneControl::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  return readProperties();
}

STDMETHODIMP TolvaneControl::Save(LPSTREAM stream, BOOL) { return stream == nullptr ? E_POINTER : S_OK; }

STDMETHODIMP TolvaneControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP TolvaneControl::InitNew() { return S_OK; }

STDMETHODIMP TolvaneControl::Load(IPropertyBag* bag, IErrorLog*) {
  if (bag == nullptr) return E_POINTER;
  return readProperties();
}

STDMETHODIMP TolvaneControl::Save(IPropertyBag* bag, BOOL, BOOL) { return bag == nullptr ? E_POINTER : S_OK; }

// ---- ISupportErrorInfo

STDMETHODIMP TolvaneControl::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID__Tolvane || iid == IID_IOleObject || iid == IID_IPersistPropertyBag ||
                 iid == IID_IPersistStreamInit || iid == IID_IOleInPlaceObject
             ? S_OK
             : S_FALSE;
}

}  // namespace tolvane::com
