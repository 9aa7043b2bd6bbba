// The class object of Tolvane and the server exports' work, kept apart from the exports themselves
// so that the tests can reach the same code.
#pragma once

#include <windows.h>

namespace tolvane::com {

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;
HRESULT canUnloadNow() noexcept;

}  // namespace tolvane::com
