#include "support.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "Brenmoor.h"

namespace tolvane::test {

std::wstring ocxPath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path.resize(path.find_last_of(L'\\') + 1);
  return path + L"Brenmoor.ocx";
}

Server& Server::instance() {
  static Server server = [] {
    Server s;
    s.module = LoadLibraryW(ocxPath().c_str());
    if (s.module == nullptr) throw std::runtime_error("cannot load Brenmoor.ocx");
    s.getClassObject = reinterpret_cast<decltype(s.getClassObject)>(reinterpret_cast<void*>(GetProcAddress(s.module, "DllGetClassObject")));
    s.canUnloadNow = reinterpret_cast<decltype(s.canUnloadNow)>(reinterpret_cast<void*>(GetProcAddress(s.module, "DllCanUnloadNow")));
    s.registerServer = reinterpret_cast<decltype(s.registerServer)>(reinterpret_cast<void*>(GetProcAddress(s.module, "DllRegisterServer")));
    s.unregisterServer =
        reinterpret_cast<decltype(s.unregisterServer)>(reinterpret_cast<void*>(GetProcAddress(s.module, "DllUnregisterServer")));
    return s;
  }();
  return server;
}

ComPtr<IUnknown> Server::create() const {
  ComPtr<IClassFactory> factory;
  if (FAILED(getClassObject(CLSID_Tolvane, IID_IClassFactory, reinterpret_cast<void**>(factory.put())))) return {};
  ComPtr<IUnknown> control;
  if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(control.put())))) return {};
  return control;
}

bool classesKeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool readClassesValue(const std::wstring& key, const std::wstring& name, std::wstring& out) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer;
  const LONG status = RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name.empty() ? nullptr : name.c_str(),
                                   RRF_RT_REG_SZ, nullptr, buffer, &size);
  if (status != ERROR_SUCCESS) return false;
  out = buffer;
  return true;
}

DWORD runSystemProgram(const std::wstring& commandLine) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring line = std::wstring(system) + L"\\" + commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return static_cast<DWORD>(-1);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

}  // namespace tolvane::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  OleInitialize(nullptr);
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
