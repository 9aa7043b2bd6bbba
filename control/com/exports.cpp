// The module entry point and the four server exports. Each hands over to the server's runtime
// together with the registration record.
#include <windows.h>
#include <olectl.h>

#include "control/com/class_factory.h"
#include "control/com/registration.h"
#include "control/com/server_module.h"
#include "win/error_boundary.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    tolvane::com::ServerModule::setHandle(module);
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return tolvane::com::getClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return tolvane::com::canUnloadNow(); }

STDAPI DllRegisterServer() {
  return tolvane::win::resultOf([] {
    tolvane::com::SystemRegistry registry;
    return tolvane::com::registerServer(tolvane::com::tolvaneRecord(), tolvane::com::ServerModule::path(), registry);
  });
}

STDAPI DllUnregisterServer() {
  return tolvane::win::resultOf([] {
    tolvane::com::SystemRegistry registry;
    return tolvane::com::unregisterServer(tolvane::com::tolvaneRecord(), tolvane::com::ServerModule::path(), registry);
  });
}
