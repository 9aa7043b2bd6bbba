#include "control/com/registration.h"

#include <oleauto.h>

#include "Brenmoor.h"
#include "win/com_ptr.h"
#include "win/error_boundary.h"
#include "win/scoped_hkey.h"

namespace tolvane::com {

namespace {

HRESULT fromWin32(LONG status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

}  // namespace

std::wstring guidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

const RegistrationRecord& tolvaneRecord() {
  static const RegistrationRecord record{
      CLSID_Tolvane,
      LIBID_Brenmoor,
      {IID__Tolvane, DIID___Tolvane},
      1,
      0,
      0x0409,
      L"Brenmoor.Tolvane",
      L"Tolvane layout control",
      L"1.0",
      // recompose on resize, cannot link inside, inside-out, activate when visible, invisible at
      // run time, set client site first
      0x20591,
      30000,
      L"Apartment",
  };
  return record;
}

std::vector<RegistryEntry> RegistrationRecord::entries(const std::wstring& modulePath) const {
  const std::wstring cls = L"CLSID\\" + guidText(clsid);
  return {
      {cls, L"", description},
      {cls + L"\\InprocServer32", L"", modulePath},
      {cls + L"\\InprocServer32", L"ThreadingModel", threadingModel},
      {cls + L"\\ProgID", L"", progId},
      {cls + L"\\Control", L"", L""},
      {cls + L"\\MiscStatus", L"", L"0"},
      {cls + L"\\MiscStatus\\1", L"", std::to_wstring(miscStatus)},
      {cls + L"\\ToolboxBitmap32", L"", modulePath + L", " + std::to_wstring(toolboxBitmap)},
      {cls + L"\\TypeLib", L"", guidText(libid)},
      {cls + L"\\Version", L"", version},
      {progId, L"", description},
      {progId + L"\\CLSID", L"", guidText(clsid)},
  };
}

std::vector<std::wstring> RegistrationRecord::ownKeys() const {
  std::vector<std::wstring> keys{L"CLSID\\" + guidText(clsid), progId, L"TypeLib\\" + guidText(libid)};
  for (const GUID& iid : interfaces) keys.push_back(L"Interface\\" + guidText(iid));
  return keys;
}

HRESULT SystemRegistry::setValue(const RegistryEntry& entry) {
  win::ScopedHKey key;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.receive(), nullptr);
  if (status != ERROR_SUCCESS) return fromWin32(status);
  const auto bytes = static_cast<DWORD>((entry.data.size() + 1) * sizeof(wchar_t));
  status = RegSetValueExW(key.get(), entry.name.empty() ? nullptr : entry.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(entry.data.c_str()), bytes);
  return fromWin32(status);
}

HRESULT SystemRegistry::deleteTree(const std::wstring& key) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return fromWin32(status);
  // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
  const LONG removed = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return removed == ERROR_FILE_NOT_FOUND ? S_OK : fromWin32(removed);
}

HRESULT SystemRegistry::registerTypeLibrary(const std::wstring& modulePath) {
  win::ComPtr<ITypeLib> library;
  const HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put());
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(library.get(), const_cast<LPOLESTR>(modulePath.c_str()), nullptr);
}

HRESULT SystemRegistry::unregisterTypeLibrary(const RegistrationRecord& record) {
  win::ScopedHKey key;
  const std::wstring version = L"TypeLib\\" + guidText(record.libid) + L"\\" + std::to_wstring(record.libraryMajor) +
                               L"." + std::to_wstring(record.libraryMinor);
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, version.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return S_OK;
  return UnRegisterTypeLib(record.libid, record.libraryMajor, record.libraryMinor, record.libraryLocale,
                           sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

HRESULT registerServer(const RegistrationRecord& record, const std::wstring& modulePath, Registry& registry) noexcept {
  if (modulePath.empty()) return E_UNEXPECTED;
  const HRESULT hr = win::resultOf([&] {
    for (const RegistryEntry& entry : record.entries(modulePath)) {
      if (const HRESULT written = registry.setValue(entry); FAILED(written)) return written;
    }
    return registry.registerTypeLibrary(modulePath);
  });
  // All or nothing: a half-registered class is worse than none.
  if (FAILED(hr)) unregisterServer(record, registry);
  return hr;
}

HRESULT unregisterServer(const RegistrationRecord& record, Registry& registry) noexcept {
  return win::resultOf([&] {
    // The type library's own unregistration first (it reads the library key), then every key that
    // is ours alone, whatever the first step left.
    HRESULT result = registry.unregisterTypeLibrary(record);
    if (result == TYPE_E_REGISTRYACCESS || result == TYPE_E_CANTLOADLIBRARY) result = S_OK;
    for (const std::wstring& key : record.ownKeys()) {
      const HRESULT hr = registry.deleteTree(key);
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
  });
}

}  // namespace tolvane::com
