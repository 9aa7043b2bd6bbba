// tolvane-demohost: a real Win32 form laid out by Brenmoor's Tolvane control.
//   tolvane-demohost.exe                      the example host form, to resize by hand
//   tolvane-demohost.exe play FILE [--trace] [--state] [--screenshots DIR] [--paint-stats]
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/scenario.h"
#include "demohost/demo_player.h"
#include "demohost/screenshot.h"
#include "win/text.h"

namespace {

constexpr int kExampleForm = 200;  // RCDATA: examples/host-form.json

int usage() {
  std::cerr << "usage: tolvane-demohost [play FILE [--trace] [--state] [--screenshots DIR] [--paint-stats]]\n";
  return 2;
}

std::string exampleForm() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kExampleForm), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
  const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return text != nullptr ? std::string(text, SizeofResource(nullptr, found)) : std::string();
}

// Runs the example form until its window is closed.
int interactive() {
  tolvane::app::Scenario scenario = tolvane::app::parseScenario(exampleForm(), "examples/host-form.json");
  tolvane::demohost::DemoPlayer player(scenario);
  player.recorder().logging = false;  // nobody reads the writes
  // Load, then the first showing of the form; after that the user resizes it.
  for (std::size_t i = 0; i < player.stepCount() && i < 2; ++i) player.playStep(i);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

int play(const std::string& file, bool trace, bool state, bool paint, const std::wstring& screenshots) {
  tolvane::app::Scenario scenario;
  try {
    scenario = tolvane::app::loadScenario(file);
  } catch (const tolvane::app::ScenarioError& e) {
    std::cerr << "tolvane-demohost: " << e.what() << '\n';
    return 2;
  }
  tolvane::demohost::DemoPlayer player(scenario);
  // Writes are kept only to be printed: without --trace the host makes nothing for them.
  player.recorder().logging = trace;
  int failures = 0;
  for (std::size_t i = 0; i < player.stepCount(); ++i) {
    player.playStep(i, trace ? &std::cout : nullptr, paint ? &std::cout : nullptr);
    // A minimised window shows nothing to capture.
    if (screenshots.empty() || IsIconic(player.form().window())) continue;
    RedrawWindow(player.form().window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    tolvane::demohost::HostForm::pump();
    Sleep(100);  // lets the X server show what was drawn before it is read back
    wchar_t name[32];
    wsprintfW(name, L"\\step-%02u.png", static_cast<unsigned>(i + 1));
    if (!tolvane::demohost::writeScreenshot(player.form().window(), screenshots + name)) {
      std::cerr << "tolvane-demohost: cannot write the screenshot of step " << i + 1 << '\n';
      ++failures;
    }
  }
  if (state) player.printState(std::cout);
  std::cout.flush();
  return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain() {
  // Every number the program prints ends its line with \n alone, as the native player's do.
  _setmode(_fileno(stdout), _O_BINARY);
  SetProcessDPIAware();
  if (FAILED(OleInitialize(nullptr))) return 1;

  int argc = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tolvane::win::narrow(wide[i], wcslen(wide[i])));
  LocalFree(wide);

  int result = 0;
  try {
    if (args.empty()) {
      result = interactive();
    } else if (args[0] == "play" && args.size() >= 2) {
      bool trace = false;
      bool state = false;
      bool paint = false;
      std::wstring screenshots;
      for (std::size_t i = 2; i < args.size() && result == 0; ++i) {
        if (args[i] == "--trace") {
          trace = true;
        } else if (args[i] == "--state") {
          state = true;
        } else if (args[i] == "--paint-stats") {
          paint = true;
        } else if (args[i] == "--screenshots" && i + 1 < args.size()) {
          screenshots = tolvane::win::widen(args[++i]);
          CreateDirectoryW(screenshots.c_str(), nullptr);
        } else {
          result = usage();
        }
      }
      if (result == 0) result = play(args[1], trace, state, paint, screenshots);
    } else {
      result = usage();
    }
  } catch (const std::exception& e) {
    std::cerr << "tolvane-demohost: " << e.what() << '\n';
    result = 1;
  }
  OleUninitialize();
  return result;
}
