// The in-process server's own small runtime: the module handle, the count of live objects and
// server locks that DllCanUnloadNow answers from, and the type information of the type library
// embedded in the module.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace tolvane::com {

class ServerModule {
 public:
  static void setHandle(HINSTANCE module) noexcept;
  static HINSTANCE handle() noexcept;
  // The module's own file name; empty when the system cannot tell it.
  static std::wstring path();

  static void objectCreated() noexcept;
  static void objectDestroyed() noexcept;
  static void lock() noexcept;
  static void unlock() noexcept;
  static bool inUse() noexcept;

  // A type of the embedded library, by its GUID.
  static HRESULT typeInfo(REFGUID guid, ITypeInfo** out) noexcept;
  // Drops the cached library once nothing uses the server.
  static void releaseTypeLibrary() noexcept;
};

// A member that counts its object as live for DllCanUnloadNow.
class LiveObject {
 public:
  LiveObject() noexcept { ServerModule::objectCreated(); }
  ~LiveObject() { ServerModule::objectDestroyed(); }
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
};

}  // namespace tolvane::com
