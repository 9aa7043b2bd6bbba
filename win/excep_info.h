// The EXCEPINFO an Invoke may fill, with its three strings freed when it goes.
#pragma once

#include <oaidl.h>
#include <oleauto.h>

namespace tolvane::win {

class ExcepInfo {
 public:
  ExcepInfo() = default;
  ~ExcepInfo() { clear(); }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;

  // For the call's out parameter: emptied first.
  EXCEPINFO* receive() noexcept {
    clear();
    return &info_;
  }
  // After a call that answered `hr`: an object may defer the filling until it is asked for.
  const EXCEPINFO& filled(HRESULT hr) noexcept {
    if (hr == DISP_E_EXCEPTION && info_.pfnDeferredFillIn != nullptr) {
      info_.pfnDeferredFillIn(&info_);
      info_.pfnDeferredFillIn = nullptr;
    }
    return info_;
  }

 private:
  // Nearly every call succeeds and fills nothing: the strings are freed only when there are some.
  void clear() noexcept {
    if (info_.bstrSource == nullptr && info_.bstrDescription == nullptr && info_.bstrHelpFile == nullptr) {
      info_ = EXCEPINFO{};
      return;
    }
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
    info_ = EXCEPINFO{};
  }

  EXCEPINFO info_{};
};

}  // namespace tolvane::win
