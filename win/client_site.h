// The client site a container gives a control it hosts, with what every such site answers alike:
// no moniker, no container object, no layout or focus negotiation. A container says what is its
// own: the extended control (GetExtendedControl) and the ambient properties (IDispatch).
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include "win/untyped_dispatch.h"

namespace tolvane::win {

class ClientSite : public UntypedDispatch<IOleClientSite, IOleControlSite, IDispatch> {
 public:
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

  // IOleControlSite, but GetExtendedControl
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

 protected:
  ClientSite() = default;
  ~ClientSite() override = default;
};

}  // namespace tolvane::win
