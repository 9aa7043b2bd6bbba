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
  ASSERT_EQ(com::unregisterServer(record(), system), S_OK);
  expectUnregistered();
}

}  // namespace
}  // namespace tolvane::test
