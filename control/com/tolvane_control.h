// The COM object of the Tolvane control: the dual interface `_Tolvane` (dispatched through the
// embedded type information), its class information and the connection point of its empty event
// interface, and the ActiveX interfaces a container needs to site, load, draw and in-place activate
// a control that is invisible at run time. The container's calls are mapped to the control's
// handlers; the control's behaviour itself is tolvane::Tolvane.
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include "Brenmoor.h"
#include "control/com/container_site.h"
#include "control/com/server_module.h"
#include "control/tolvane.h"

namespace tolvane::com {

class TolvaneControl final : public _Tolvane,
                             public IProvideClassInfo2,
                             public IConnectionPointContainer,
                             public IOleObject,
                             public IOleControl,
                             public IOleInPlaceObject,
                             public IViewObject2,
                             public IPersistStreamInit,
                             public IPersistPropertyBag,
                             public ISupportErrorInfo,
                             private OwnExtent {
 public:
  // The class factory's work: a new control, or CLASS_E_NOAGGREGATION / E_OUTOFMEMORY.
  static HRESULT create(IUnknown* outer, REFIID iid, void** out) noexcept;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

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

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

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
  class EventsPoint;

  TolvaneControl();
  ~TolvaneControl();

  // OwnExtent: the size the control's handlers read and set.
  float widthTwips() const override;
  float heightTwips() const override;
  void setWidthTwips(float twips) override;
  void setHeightTwips(float twips) override;

  HRESULT dispatchTypes(ITypeInfo** dispatchInfo, ITypeInfo** vtableInfo) noexcept;
  HRESULT readProperties() noexcept;
  HRESULT lockSize() noexcept;
  HRESULT activateInPlace(IOleClientSite* site, LPCRECT position) noexcept;

  LiveObject live_;
  LONG references_ = 1;
  ContainerSite site_;
  Tolvane control_;
  struct {
    float cx;
    float cy;
  } twips_{};
  SIZEL extent_;  // the same in HIMETRIC, as containers ask for it
  EventsPoint* events_;
  host::dispatch::ComRef<IOleAdviseHolder> adviseHolder_;
  host::dispatch::ComRef<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  host::dispatch::ComRef<IOleInPlaceSite> inPlaceSite_;
  RECT position_{};
  bool sizing_ = false;
};

}  // namespace tolvane::com
