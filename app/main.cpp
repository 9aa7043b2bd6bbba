// tolvane: plays scenario files on the model form.
//   tolvane play FILE [--trace] [--state] [--svg DIR] [--strict]
//   tolvane gallery DIR [--examples DIR]
//   tolvane check FILE [--json]
//   tolvane --version
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>

#include <CLI/CLI.hpp>

#include "app/check.h"
#include "app/gallery.h"
#include "app/player.h"
#include "app/scenario.h"
#include "tolvane_version.h"

#ifndef TOLVANE_EXAMPLES_DIR
#define TOLVANE_EXAMPLES_DIR "examples"
#endif

namespace {

// The exit codes, as `tolvane --help` lists them.
constexpr int kExitOutputFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitHostFailures = 3;
constexpr const char* kExitCodes =
    "Exit codes: 0 played, written, or (check) layout will run; 1 an output could not be written, or (check)\n"
    "layout will not run; 2 a usage error or a scenario that cannot be read; 3 with play --strict, a failure\n"
    "went back to the host (summarised on stderr).\n";

int play(const std::string& file, bool trace, bool state, const std::string& svgDir, bool strict) {
  tolvane::app::Scenario scenario;
  try {
    scenario = tolvane::app::loadScenario(file);
  } catch (const tolvane::app::ScenarioError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return kExitUsage;
  }
  tolvane::app::Player player(scenario);
  player.countHostFailures();
  if (svgDir.empty()) {
    player.playAll(trace ? &std::cout : nullptr);
  } else {
    try {
      const std::string label = std::filesystem::path(file).stem().string();
      tolvane::app::playWithPictures(player, svgDir, label, trace ? &std::cout : nullptr);
    } catch (const tolvane::app::OutputError& e) {
      std::cout.flush();
      std::cerr << "tolvane: " << e.what() << '\n';
      return kExitOutputFailed;
    }
  }
  if (state) player.printState(std::cout);
  const std::string failures = player.hostFailureSummary();
  if (failures.empty()) return 0;
  std::cout.flush();
  std::cerr << "tolvane: " << failures << '\n';
  return strict ? kExitHostFailures : 0;
}

int gallery(const std::string& outDir, const std::string& examplesDir) {
  tolvane::app::GalleryResult result;
  try {
    result = tolvane::app::writeGallery(examplesDir, outDir);
  } catch (const tolvane::app::OutputError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return kExitOutputFailed;
  }
  for (const auto& problem : result.problems) std::cerr << "tolvane: " << problem << '\n';
  std::cout << "Gallery of " << result.examples << (result.examples == 1 ? " example" : " examples")
            << " written; open " << result.index.string() << " in a browser.\n";
  return result.problems.empty() ? 0 : kExitUsage;
}

// Destructors that run while a failed allocation unwinds may allocate themselves (the JSON
// library's do, to take a large document apart). A reserve, given back at the first failure, lets
// them finish, so that running out of memory reaches main as bad_alloc instead of ending the process.
constexpr std::size_t kMemoryReserve = std::size_t{32} << 20;
void* memoryReserve = nullptr;

void giveBackReserve() {
  std::free(memoryReserve);
  memoryReserve = nullptr;
  std::set_new_handler(nullptr);
  throw std::bad_alloc();
}

// Output that could not be written (a full disk, a reader that went away) fails the run with a
// message, rather than ending as though everything had been written.
int outputChecked(int code) {
  const int before = errno;
  std::cout.flush();
  if (std::cout) return code;
  const int error = errno != 0 ? errno : before;
  std::cerr << "tolvane: cannot write the output" << (error != 0 ? std::string(": ") + std::strerror(error) : "") << '\n';
  return 1;
}

// Exit 0 when layout will run on the form, 1 when it will not, 2 when the file cannot be read.
int check(const std::string& file, bool asJson) {
  try {
    const auto report = tolvane::app::checkScenario(tolvane::app::loadForCheck(file), file);
    std::cout << (asJson ? tolvane::app::checkJson(report) : tolvane::app::formatCheck(report));
    return report.layoutRuns ? 0 : 1;
  } catch (const tolvane::app::ScenarioError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return kExitUsage;
  }
}

}  // namespace

int main(int argc, char** argv) try {
  // A closed pipe is reported as a write error, not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  memoryReserve = std::malloc(kMemoryReserve);
  std::set_new_handler(giveBackReserve);
  CLI::App app{"Tolvane: plays layout scenarios on an in-memory form"};
  app.require_subcommand(1);
  app.set_version_flag("--version", TOLVANE_VERSION);
  app.footer(kExitCodes);

  std::string file;
  bool trace = false;
  bool state = false;
  bool strict = false;
  std::string svgDir;
  auto* playCommand = app.add_subcommand("play", "Play a scenario file");
  playCommand->add_option("FILE", file, "The scenario (JSON)")->required();
  playCommand->add_flag("--trace", trace, "Print every write the control makes, step by step");
  playCommand->add_flag("--state", state, "Print every control's final geometry, font size and visibility");
  playCommand->add_option("--svg", svgDir,
                          "Draw the form before the first step and after every step as DIR/step-NN.svg");
  playCommand->add_flag("--strict", strict, "Exit with 3 when a failure went back to the host");

  std::string galleryDir;
  std::string examplesDir = TOLVANE_EXAMPLES_DIR;
  auto* galleryCommand = app.add_subcommand("gallery", "Play every example and write a page of their pictures");
  galleryCommand->add_option("DIR", galleryDir, "Where to write index.html and the pictures")->required();
  galleryCommand->add_option("--examples", examplesDir, "The folder of example scenarios")->capture_default_str();

  std::string checkFile;
  bool asJson = false;
  auto* checkCommand = app.add_subcommand("check", "Say what the control will do with a form, before anything runs");
  checkCommand->add_option("FILE", checkFile, "A scenario, or a form description without steps (JSON)")->required();
  checkCommand->add_flag("--json", asJson, "One JSON object for tools");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version exit 0; every other parse error is a usage error, whatever CLI11's own code.
    return app.exit(e) == 0 ? 0 : kExitUsage;
  }

  if (*checkCommand) return outputChecked(check(checkFile, asJson));

  if (*galleryCommand) return outputChecked(gallery(galleryDir, examplesDir));
  if (playCommand->count("--svg") != 0 && svgDir.empty()) {
    std::cerr << "tolvane: --svg needs the folder to draw into\n";
    return kExitUsage;
  }
  return outputChecked(play(file, trace, state, svgDir, strict));
} catch (const std::bad_alloc&) {
  std::cerr << "tolvane: out of memory\n";
  return 1;
} catch (const std::exception& e) {
  std::cerr << "tolvane: " << e.what() << '\n';
  return 1;
}
