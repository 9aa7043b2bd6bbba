// The COM object of the Tolvane control: the dual interface `_Tolvane` (dispatched through the
// embedded type information), its class information and the connection point of its empty event
// interface, and the ActiveX interfaces a container needs to site, load, draw and in-place activate
// a control that is invisible at run time. The container's calls are mapped to the control's
// handlers; the control's behaviour itself is tolvane::Tolvane.
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include <memory>

#include "Brenmoor.h"
#include "control/com/container_site.h"
#include "control/com/form_redraw.h"
#include "control/com/server_module.h"
#include "control/tolvane.h"
#include "win/com_object.h"
#include "win/com_ptr.h"
#include "win/connection_point.h"
#include "win/error_boundary.h"

namespace tolvane::com {

class TolvaneControl final : public win::ComObject<_Tolvane, IProvideClassInfo2, IConnectionPointContainer,
                                                   IOleObject, IOleControl, IOleInPlaceObject, IViewObject2,
                                                   IPersistStreamInit, IPersistPropertyBag, ISupportErrorInfo>,
                             private OwnExtent,
                             private host::dispatch::ContainerLink::Owner {
 public:
  // The class factory's work: a new control, or CLASS_E_NOAGGREGATION / E_OUTOFMEMORY.
  static HRESULT create(IUnknown* outer, REFIID iid, void** out) noexcept;

  // IUnknown: also for the interfaces the listed ones derive from.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

  // _Tolvane
  STDMETHODIMP get_ResizeFont(VARIANT_BOOL* value) override;
  STDMETHODIMP put_ResizeFont(VARIANT_BOOL value) override;
  STDMETHODIMP get_KeepRatio(VARIANT_BOOL* value) override;
  STDMETHODIMP put_KeepRatio(VARIANT_BOOL value) override;
  STDMETHODIMP get_gfLowRes(VARIANT_BOOL* value) override;
  STDMETHODIMP put_gfLowRes(VARIANT_BOOL value) override;
  STDMETHODIMP get_mfRebuild(VARIANT_BOOL* value) override;
  STDMETHODIMP put_mfRebuild(VARIANT_BOOL value) override;
  STDMETHODIMP Rebuild() override;
  STDMETHODIMP Refresh() override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override { return events_.enumerate(points); }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override { return events_.find(iid, point); }

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IOleWindow, IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // IViewObject, IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDC, HDC dc,
                    LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* proceed)(ULONG_PTR),
                    ULONG_PTR proceedArg) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDC,
                           LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* cookie) override;
  STDMETHODIMP Unfreeze(DWORD cookie) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  TolvaneControl();
  ~TolvaneControl() override;

  // OwnExtent: the size the control's handlers read and set.
  float widthTwips() const override;
  float heightTwips() const override;
  void setWidthTwips(float twips) override;
  void setHeightTwips(float twips) override;

  // ContainerLink::Owner: a call or an event being handled. The control holds a reference to itself
  // for its length, so that a host that lets the control go meanwhile never leaves it running on
  // freed memory.
  void visitStarts() noexcept override;
  void visitEnds() noexcept override;
  class Visit;

  // Close and SetClientSite(NULL): everything taken from the container is let go, at once or, when
  // a call or event is still running, as soon as the last one ends.
  void leaveContainer() noexcept;
  void releaseContainer() noexcept;

  HRESULT dispatchTypes(ITypeInfo** dispatchInfo, ITypeInfo** vtableInfo) noexcept;
  HRESULT readProperties(REFIID iid) noexcept;
  // Whatever size the container gives, the control's resize handler sets it back to the picture's;
  // `iid` is the interface the container's call came through.
  HRESULT lockSize(REFIID iid) noexcept;
  // Runs a handler of the control; a failure is reported as the failure of a call through `iid`.
  template <class Body>
  HRESULT guarded(REFIID iid, Body&& body) noexcept;
  HRESULT activateInPlace(IOleClientSite* site, LPCRECT position) noexcept;
  // The window of the control's form, whose redraw is off while the control lays it out: the
  // form's own hWnd, else the window of the in-place site; null when neither is known.
  HWND formWindow() noexcept;

  LiveObject live_;
  FormRedraw redraw_;
  int visits_ = 0;
  ContainerSite site_;
  // Replaced by a fresh one (same four properties) when the control leaves its container: the old
  // one takes the form subscription, the ParentForm and the snapshot with it.
  std::unique_ptr<Tolvane> control_;
  bool leftContainer_ = false;  // and the old one still runs: it goes when the last visit ends
  struct {
    float cx;
    float cy;
  } twips_{};
  SIZEL extent_;  // the same in HIMETRIC, as containers ask for it
  // Its sinks are only kept until they are unadvised: the control raises no events.
  win::ConnectionPoint<> events_;
  win::ComPtr<IOleAdviseHolder> adviseHolder_;
  win::ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  win::ComPtr<IOleInPlaceSite> inPlaceSite_;
  RECT position_{};
  bool sizing_ = false;
};

class TolvaneControl::Visit {
 public:
  explicit Visit(TolvaneControl& control) noexcept : control_(control) { control_.visitStarts(); }
  ~Visit() { control_.visitEnds(); }
  Visit(const Visit&) = delete;
  Visit& operator=(const Visit&) = delete;

 private:
  TolvaneControl& control_;  // the COM object, not the Tolvane it runs
};

template <class Body>
HRESULT TolvaneControl::guarded(REFIID iid, Body&& body) noexcept {
  const Visit visit(*this);
  return win::withErrorInfo(iid, L"Brenmoor.Tolvane", std::forward<Body>(body));
}

}  // namespace tolvane::com
