#include "control/com/tolvane_control.h"


namespace tolvane::com {

namespace {

constexpr int kDesignPicture = 101;

}  // namespace

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
  viewSink_ = win::ComPtr<IAdviseSink>(sink);
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewFlags_;
  return sink != nullptr ? viewSink_.copy_to(sink) : S_OK;
}

STDMETHODIMP TolvaneControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace tolvane::com
