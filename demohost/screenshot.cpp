#include "demohost/screenshot.h"

#include <wincodec.h>

#include "win/com_ptr.h"
#include "win/memory_dc.h"
#include "win/screen_dc.h"
#include "win/scoped_gdi_object.h"
#include "win/scoped_selection.h"

namespace tolvane::demohost {

namespace {

// The inner area of `window` in screen coordinates; empty when it has none.
RECT innerArea(HWND window) {
  // Without a window manager nobody draws the frame.
  RECT r{};
  if (!GetClientRect(window, &r)) return RECT{};
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HRESULT encodePng(HBITMAP bitmap, const std::wstring& path) {
  win::ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.put()));
  if (FAILED(hr)) return hr;
  win::ComPtr<IWICBitmap> source;
  hr = factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, source.put());
  if (FAILED(hr)) return hr;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(hr = source->GetSize(&width, &height))) return hr;

  win::ComPtr<IWICStream> stream;
  if (FAILED(hr = factory->CreateStream(stream.put()))) return hr;
  if (FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) return hr;
  win::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()))) return hr;
  if (FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache))) return hr;
  win::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(hr = encoder->CreateNewFrame(frame.put(), nullptr))) return hr;
  if (FAILED(hr = frame->Initialize(nullptr))) return hr;
  if (FAILED(hr = frame->SetSize(width, height))) return hr;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(hr = frame->SetPixelFormat(&format))) return hr;
  // The encoder may take another layout of the pixels than the bitmap's: the converter makes it.
  WICPixelFormatGUID captured{};
  if (FAILED(hr = source->GetPixelFormat(&captured))) return hr;
  win::ComPtr<IWICBitmapSource> pixels(source.get());
  if (format != captured) {
    win::ComPtr<IWICBitmapSource> converted;
    if (FAILED(hr = WICConvertBitmapSource(format, source.get(), converted.put()))) return hr;
    pixels = converted;
  }
  if (FAILED(hr = frame->WriteSource(pixels.get(), nullptr))) return hr;
  if (FAILED(hr = frame->Commit())) return hr;
  return encoder->Commit();
}

}  // namespace

bool writeScreenshot(HWND window, const std::wstring& path) {
  const RECT r = innerArea(window);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  win::ScreenDC screen;
  win::MemoryDC memory(screen.get());
  win::ScopedBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
  if (!screen || !memory || !bitmap) return false;
  {
    win::ScopedSelection selected(memory.get(), bitmap.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY)) return false;
  }
  return SUCCEEDED(encodePng(bitmap.get(), path));
}

}  // namespace tolvane::demohost
