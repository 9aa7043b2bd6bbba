// Fuzzing of the scenario reader: any bytes in, and the only failure allowed out is a ScenarioError
// whose message is one line. A scenario that reads and is small enough is played with its trace and
// state table, which must keep their shape whatever names and texts the file holds: exactly one
// `# step N:` header per step, in order, and one state row per control.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/player.h"
#include "app/scenario.h"

namespace {

[[noreturn]] void violated(const std::string& why) {
  std::fprintf(stderr, "invariant violated: %s\n", why.c_str());
  std::abort();
}

// Large forms and long schedules are read but not played, so one input stays fast.
constexpr std::size_t kMaxPlayedControls = 64;
constexpr std::size_t kMaxPlayedSteps = 64;

void checkTrace(const std::string& trace, std::size_t steps) {
  std::istringstream lines(trace);
  std::size_t headers = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# step ", 0) != 0) continue;
    ++headers;
    if (line.rfind("# step " + std::to_string(headers) + ": ", 0) != 0) violated("a step header out of order: " + line);
  }
  if (headers != steps) violated("the trace has " + std::to_string(headers) + " step headers for " + std::to_string(steps) + " steps");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tolvane::app::Scenario scenario;
  try {
    scenario = tolvane::app::parseScenario(text, "fuzz.json");
  } catch (const tolvane::app::ScenarioError& e) {
    if (std::string(e.what()).find('\n') != std::string::npos) violated("a scenario error on more than one line");
    return 0;
  }
  if (scenario.form.controls.size() > kMaxPlayedControls || scenario.steps.size() > kMaxPlayedSteps) return 0;

  tolvane::app::Player player(scenario);
  std::ostringstream trace;
  player.playAll(&trace);
  checkTrace(trace.str(), scenario.steps.size());

  std::ostringstream state;
  player.printState(state);
  const std::string table = state.str();
  std::size_t rows = 0;
  for (const char c : table) rows += c == '\n' ? 1 : 0;
  if (rows != scenario.form.controls.size() + 1) violated("the state table has " + std::to_string(rows) + " lines");
  return 0;
}
