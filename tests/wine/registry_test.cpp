// Registration through regsvr32, as a user does it, and registration that fails part-way.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "control/com/registration.h"
#include "support.h"

namespace tolvane::test {
namespace {

using com::RegistrationRecord;
using com::RegistryEntry;

const RegistrationRecord& record() { return com::tolvaneRecord(); }

DWORD regsvr32(const std::wstring& options) {
  return runSystemProgram(L"regsvr32.exe " + options + L" \"" + ocxPath() + L"\"");
}

void expectRegistered() {
  for (const RegistryEntry& entry : record().entries(ocxPath())) {
    SCOPED_TRACE(testing::Message() << "HKCR\\" << testing::PrintToString(entry.key) << " "
                                    << testing::PrintToString(entry.name));
    std::wstring value;
    ASSERT_TRUE(readClassesValue(entry.key, entry.name, value));
    EXPECT_EQ(value, entry.data);
  }
  // The type library's own registration: the library and its two interfaces.
  const std::wstring lib = L"TypeLib\\" + com::guidText(record().libid) + L"\\1.0";
  std::wstring path;
  EXPECT_TRUE(readClassesValue(lib + (sizeof(void*) == 8 ? L"\\409\\win64" : L"\\409\\win32"), L"", path));
  EXPECT_EQ(path, ocxPath());
  for (const GUID& iid : record().interfaces) {
    std::wstring libid;
    EXPECT_TRUE(readClassesValue(L"Interface\\" + com::guidText(iid) + L"\\TypeLib", L"", libid));
    EXPECT_EQ(libid, com::guidText(record().libid));
  }
}

void expectUnregistered() {
  for (const std::wstring& key : record().ownKeys()) {
    EXPECT_FALSE(classesKeyExists(key)) << testing::PrintToString(key);
  }
  for (const RegistryEntry& entry : record().entries(ocxPath())) {
    EXPECT_FALSE(classesKeyExists(entry.key)) << testing::PrintToString(entry.key);
  }
}

TEST(Registration, Regsvr32RegistersEveryKeyAndUnregistersThemAll) {
  ASSERT_EQ(regsvr32(L"/s"), 0u);
  ASSERT_EQ(regsvr32(L"/s"), 0u) << "registering twice";
  expectRegistered();

  // Not marked safe for scripting or for initialisation.
  const std::wstring categories = L"CLSID\\" + com::guidText(record().clsid) + L"\\Implemented Categories\\";
  EXPECT_FALSE(classesKeyExists(categories + L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
  EXPECT_FALSE(classesKeyExists(categories + L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));

  ASSERT_EQ(regsvr32(L"/u /s"), 0u);
  expectUnregistered();
  ASSERT_EQ(regsvr32(L"/u /s"), 0u) << "unregistering twice";
  expectUnregistered();
}

// Unregistering one copy of the control must not take away another copy's registration: the class
// keys go only when InprocServer32 names this module, however the path is spelt.
struct CopyCase {
  const char* what;
  std::wstring (*registered)(const std::wstring& self);  // the InprocServer32 another registration left
  bool removed;
};

std::wstring upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

const CopyCase kCopies[] = {
    {"another copy", [](const std::wstring&) { return std::wstring(L"C:\\Elsewhere\\Brenmoor.ocx"); }, false},
    {"another copy of the same name next to this one",
     [](const std::wstring& self) { return self.substr(0, self.find_last_of(L'\\')) + L"\\copy\\Brenmoor.ocx"; }, false},
    {"this module", [](const std::wstring& self) { return self; }, true},
    {"this module in capitals", [](const std::wstring& self) { return upper(self); }, true},
    {"this module through ..",
     [](const std::wstring& self) {
       const std::size_t slash = self.find_last_of(L'\\');
       const std::wstring folder = self.substr(0, slash);
       return folder + L"\\..\\" + folder.substr(folder.find_last_of(L'\\') + 1) + self.substr(slash);
     },
     true},
    {"this module with forward slashes",
     [](const std::wstring& self) {
       std::wstring path = self;
       for (wchar_t& c : path) c = c == L'\\' ? L'/' : c;
       return path;
     },
     true},
    {"this module, quoted", [](const std::wstring& self) { return L"\"" + self + L"\""; }, true},
};

TEST(Registration, UnregisteringLeavesAnotherCopysKeys) {
  const std::wstring server = L"CLSID\\" + com::guidText(record().clsid) + L"\\InprocServer32";
  for (const CopyCase& c : kCopies) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(regsvr32(L"/s"), 0u);
    const std::wstring other = c.registered(ocxPath());
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, server.c_str(), nullptr, REG_SZ, other.c_str(),
                              static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_EQ(Server::instance().unregisterServer(), S_OK);
    std::wstring left;
    if (c.removed) {
      expectUnregistered();
    } else {
      EXPECT_TRUE(readClassesValue(server, L"", left));
      EXPECT_EQ(left, other) << "the other copy's registration stays";
      EXPECT_TRUE(classesKeyExists(record().progId));
    }
    // Clean up as that other copy would: by its own path.
    const std::wstring self = ocxPath();
    RegSetKeyValueW(HKEY_CLASSES_ROOT, server.c_str(), nullptr, REG_SZ, self.c_str(),
                    static_cast<DWORD>((self.size() + 1) * sizeof(wchar_t)));
    ASSERT_EQ(regsvr32(L"/u /s"), 0u);
    expectUnregistered();
  }
}

// The system registry, with one of its operations failing.
class FailingRegistry final : public com::Registry {
 public:
  explicit FailingRegistry(int failAt) : failAt_(failAt) {}

  HRESULT setValue(const RegistryEntry& entry) override { return step() ? real_.setValue(entry) : E_ACCESSDENIED; }
  HRESULT deleteTree(const std::wstring& key) override { return real_.deleteTree(key); }
  HRESULT registerTypeLibrary(const std::wstring& path) override {
    return step() ? real_.registerTypeLibrary(path) : E_ACCESSDENIED;
  }
  HRESULT unregisterTypeLibrary(const RegistrationRecord& r) override { return real_.unregisterTypeLibrary(r); }
  bool readValue(const std::wstring& key, const std::wstring& name, std::wstring& out) override {
    return real_.readValue(key, name, out);
  }

 private:
  bool step() { return steps_++ != failAt_; }

  com::SystemRegistry real_;
  int failAt_;
  int steps_ = 0;
};

TEST(Registration, FailureAtAnyStepLeavesNoKeys) {
  const int steps = static_cast<int>(record().entries(ocxPath()).size()) + 1;  // the values, then the library
  for (int failAt = 0; failAt < steps; ++failAt) {
    SCOPED_TRACE(testing::Message() << "failing step " << failAt);
    FailingRegistry registry(failAt);
    EXPECT_EQ(com::registerServer(record(), ocxPath(), registry), E_ACCESSDENIED);
    expectUnregistered();
  }
  // And with nothing failing, the same code registers completely.
  FailingRegistry none(-1);
  ASSERT_EQ(com::registerServer(record(), ocxPath(), none), S_OK);
  expectRegistered();
  com::SystemRegistry system;
  ASSERT_EQ(com::unregisterServer(record(), ocxPath(), system), S_OK);
  expectUnregistered();
}

}  // namespace
}  // namespace tolvane::test
