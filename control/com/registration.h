// What registering the server writes, as data, and the two operations on it. Registration writes
// the class keys and registers the type library; unregistration removes exactly those keys, and
// only while they are this module's: when InprocServer32 names another file, another copy of the
// server owns the registration and it is left as it is. Both are idempotent, and a registration
// that fails part-way removes what it had written.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tolvane::com {

// One value under HKEY_CLASSES_ROOT; an empty name is the key's default value.
struct RegistryEntry {
  std::wstring key;
  std::wstring name;
  std::wstring data;
};

struct RegistrationRecord {
  CLSID clsid;
  GUID libid;
  std::vector<GUID> interfaces;  // registered with the type library
  WORD libraryMajor;
  WORD libraryMinor;
  LCID libraryLocale;
  std::wstring progId;
  std::wstring description;
  std::wstring version;
  DWORD miscStatus;
  int toolboxBitmap;
  std::wstring threadingModel;

  // Every value registration writes, for the module at `modulePath`, in the order written.
  std::vector<RegistryEntry> entries(const std::wstring& modulePath) const;
  // The keys that belong to the server alone; unregistration deletes each with all below it.
  std::vector<std::wstring> ownKeys() const;
};

const RegistrationRecord& tolvaneRecord();

std::wstring guidText(REFGUID guid);

// The system operations registration is made of; a test can make any of them fail.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual HRESULT setValue(const RegistryEntry& entry) = 0;
  virtual HRESULT deleteTree(const std::wstring& key) = 0;  // S_OK also when the key is absent
  virtual HRESULT registerTypeLibrary(const std::wstring& modulePath) = 0;
  virtual HRESULT unregisterTypeLibrary(const RegistrationRecord& record) = 0;  // S_OK also when absent
  // The string value `name` of `key` (empty: the default value); false when there is none.
  virtual bool readValue(const std::wstring& key, const std::wstring& name, std::wstring& out) = 0;
};

class SystemRegistry final : public Registry {
 public:
  HRESULT setValue(const RegistryEntry& entry) override;
  HRESULT deleteTree(const std::wstring& key) override;
  HRESULT registerTypeLibrary(const std::wstring& modulePath) override;
  HRESULT unregisterTypeLibrary(const RegistrationRecord& record) override;
  bool readValue(const std::wstring& key, const std::wstring& name, std::wstring& out) override;
};

HRESULT registerServer(const RegistrationRecord& record, const std::wstring& modulePath, Registry& registry) noexcept;
HRESULT unregisterServer(const RegistrationRecord& record, const std::wstring& modulePath, Registry& registry) noexcept;

// Whether `registered` (a server path as the registry holds it) names the file at `modulePath`:
// compared without quotes, as full long paths, without regard to case.
bool sameModule(const std::wstring& registered, const std::wstring& modulePath);

}  // namespace tolvane::com
