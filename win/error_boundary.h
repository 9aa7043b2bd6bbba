// The one place where C++ exceptions become HRESULTs. No exception may cross into a COM caller: a
// host failure becomes its HRESULT with its text, a failed allocation E_OUTOFMEMORY, anything else
// E_UNEXPECTED. Two thin adapters report the text the way the caller reads it: through the
// thread's error information (an interface method), or in EXCEPINFO (an Invoke).
#pragma once

#include <oaidl.h>

#include <string>

namespace tolvane::win {

// Called inside a catch block: the HRESULT of the exception being handled. `text`, when given,
// receives the failure's own description (empty for a failed allocation or an unknown exception).
HRESULT resultFromCaughtException(std::string* text = nullptr) noexcept;

// Runs `body` (which returns an HRESULT) for a caller that takes the HRESULT alone: an exported
// function, a method without error information.
template <class Body>
HRESULT resultOf(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return resultFromCaughtException();
  }
}

// Sets the thread's error information (the object's name, the description, the interface the call
// came through) and returns `hr`.
HRESULT setErrorInfo(REFIID iid, const wchar_t* source, HRESULT hr, const std::string& text) noexcept;

// Runs an interface method's body; a failure also sets the error information for `iid`.
template <class Body>
HRESULT withErrorInfo(REFIID iid, const wchar_t* source, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    std::string text;
    const HRESULT hr = resultFromCaughtException(&text);
    if (hr == E_OUTOFMEMORY) return hr;
    return setErrorInfo(iid, source, hr, text.empty() ? "unexpected internal failure" : text);
  }
}

// Fills `exception` (when the caller gave one) with `hr`, `source` and `text`; returns the HRESULT an
// Invoke answers with: DISP_E_EXCEPTION with EXCEPINFO, `hr` itself without.
HRESULT fillExcepInfo(HRESULT hr, const wchar_t* source, const std::string& text, EXCEPINFO* exception) noexcept;

// Runs the body of an Invoke of our own objects; a host failure goes back in EXCEPINFO from `source`.
template <class Body>
HRESULT withExcepInfo(const wchar_t* source, EXCEPINFO* exception, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    std::string text;
    const HRESULT hr = resultFromCaughtException(&text);
    if (text.empty()) return hr;
    return fillExcepInfo(hr, source, text, exception);
  }
}

}  // namespace tolvane::win
