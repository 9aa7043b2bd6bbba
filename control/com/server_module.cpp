#include "control/com/server_module.h"

#include <oleauto.h>

#include <mutex>

#include "win/com_ptr.h"
#include "win/error_boundary.h"

namespace tolvane::com {

namespace {

HINSTANCE gModule = nullptr;
LONG gObjects = 0;
LONG gLocks = 0;
std::mutex gLibraryMutex;
win::ComPtr<ITypeLib> gLibrary;

}  // namespace

void ServerModule::setHandle(HINSTANCE module) noexcept { gModule = module; }
HINSTANCE ServerModule::handle() noexcept { return gModule; }

std::wstring ServerModule::path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(gModule, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

void ServerModule::objectCreated() noexcept { InterlockedIncrement(&gObjects); }
void ServerModule::objectDestroyed() noexcept { InterlockedDecrement(&gObjects); }
void ServerModule::lock() noexcept { InterlockedIncrement(&gLocks); }
void ServerModule::unlock() noexcept { InterlockedDecrement(&gLocks); }

bool ServerModule::inUse() noexcept {
  return InterlockedCompareExchange(&gObjects, 0, 0) != 0 || InterlockedCompareExchange(&gLocks, 0, 0) != 0;
}

HRESULT ServerModule::typeInfo(REFGUID guid, ITypeInfo** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return win::resultOf([&] {
    std::lock_guard<std::mutex> hold(gLibraryMutex);
    if (!gLibrary) {
      // The library is the module's own resource; loading it this way needs no registration.
      const std::wstring file = path();
      if (file.empty()) return HRESULT_FROM_WIN32(GetLastError());
      const HRESULT hr = LoadTypeLibEx(file.c_str(), REGKIND_NONE, gLibrary.put());
      if (FAILED(hr)) return hr;
    }
    return gLibrary->GetTypeInfoOfGuid(guid, out);
  });
}

void ServerModule::releaseTypeLibrary() noexcept {
  std::lock_guard<std::mutex> hold(gLibraryMutex);
  gLibrary.reset();
}

}  // namespace tolvane::com
