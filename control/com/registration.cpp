#include "control/com/registration.h"

#include <oleauto.h>

#include "Brenmoor.h"
#include "win/com_ptr.h"
#include "win/error_boundary.h"
#include "win/scoped_hkey.h"

namespace tolvane::com {

namespace {

HRESULT fromWin32(LONG status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

// A path as the file system resolves it: no quotes, `.` and `..` resolved, separators made
// backslashes, short names made long (when the file exists).
std::wstring normalised(std::wstring path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  const DWORD fullLength = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (fullLength == 0) return path;
  std::wstring full(fullLength, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), fullLength, full.data(), nullptr);
  if (written == 0 || written >= fullLength) return path;
  full.resize(written);
  const DWORD longLength = GetLongPathNameW(full.c_str(), nullptr, 0);
  if (longLength == 0) return full;
  std::wstring longPath(longLength, L'\0');
  const DWORD longWritten = GetLongPathNameW(full.c_str(), longPath.data(), longLength);
  if (longWritten == 0 || longWritten >= longLength) return full;
  longPath.resize(longWritten);
  return longPath;
}

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

bool SystemRegistry::readValue(const std::wstring& key, const std::wstring& name, std::wstring& out) {
  DWORD bytes = 0;
  const wchar_t* value = name.empty() ? nullptr : name.c_str();
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
    return false;
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  out = std::move(text);
  return true;
}

bool sameModule(const std::wstring& registered, const std::wstring& modulePath) {
  const std::wstring a = normalised(registered);
  const std::wstring b = normalised(modulePath);
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
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
  if (FAILED(hr)) unregisterServer(record, modulePath, registry);
  return hr;
}

HRESULT unregisterServer(const RegistrationRecord& record, const std::wstring& modulePath, Registry& registry) noexcept {
  return win::resultOf([&] {
    // Another copy of the server registered itself since: its registration is not ours to remove.
    std::wstring server;
    if (registry.readValue(L"CLSID\\" + guidText(record.clsid) + L"\\InprocServer32", L"", server) &&
        !sameModule(server, modulePath)) {
      return S_OK;
    }
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
