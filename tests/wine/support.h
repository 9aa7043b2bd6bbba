// Shared helpers of the tests that run under Wine: where the control is, and the server's exports
// loaded from it.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

#include "win/com_ptr.h"

namespace tolvane::test {

using win::ComPtr;

// Brenmoor.ocx, next to the test program.
std::wstring ocxPath();

// The server module loaded as any client loads it, with its four exports.
struct Server {
  HMODULE module = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
  HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;

  static Server& instance();
  // A new control through the module's class object.
  ComPtr<IUnknown> create() const;
};

// True when HKEY_CLASSES_ROOT has `key`.
bool classesKeyExists(const std::wstring& key);
// The string value `name` of `key` under HKEY_CLASSES_ROOT, or nothing.
bool readClassesValue(const std::wstring& key, const std::wstring& name, std::wstring& out);

// Runs a program of the Windows system directory and returns its exit code.
DWORD runSystemProgram(const std::wstring& commandLine);

}  // namespace tolvane::test
