// tolvane: plays scenario files on the model form.
//   tolvane play FILE [--trace] [--state] [--svg DIR]
//   tolvane gallery DIR [--examples DIR]
//   tolvane check FILE [--json]
#include <filesystem>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "app/check.h"
#include "app/gallery.h"
#include "app/player.h"
#include "app/scenario.h"

#ifndef TOLVANE_EXAMPLES_DIR
#define TOLVANE_EXAMPLES_DIR "examples"
#endif

namespace {

int play(const std::string& file, bool trace, bool state, const std::string& svgDir) {
  tolvane::app::Scenario scenario;
  try {
    scenario = tolvane::app::loadScenario(file);
  } catch (const tolvane::app::ScenarioError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return 2;
  }
  tolvane::app::Player player(scenario);
  if (svgDir.empty()) {
    player.playAll(trace ? &std::cout : nullptr);
  } else {
    try {
      const std::string label = std::filesystem::path(file).stem().string();
      tolvane::app::playWithPictures(player, svgDir, label, trace ? &std::cout : nullptr);
    } catch (const tolvane::app::OutputError& e) {
      std::cout.flush();
      std::cerr << "tolvane: " << e.what() << '\n';
      return 1;
    }
  }
  if (state) player.printState(std::cout);
  return 0;
}

int gallery(const std::string& outDir, const std::string& examplesDir) {
  tolvane::app::GalleryResult result;
  try {
    result = tolvane::app::writeGallery(examplesDir, outDir);
  } catch (const tolvane::app::OutputError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return 1;
  }
  for (const auto& problem : result.problems) std::cerr << "tolvane: " << problem << '\n';
  std::cout << "Gallery of " << result.examples << (result.examples == 1 ? " example" : " examples")
            << " written; open " << result.index.string() << " in a browser.\n";
  return result.problems.empty() ? 0 : 2;
}

// Exit 0 when layout will run on the form, 1 when it will not, 2 when the file cannot be read.
int check(const std::string& file, bool asJson) {
  try {
    const auto report = tolvane::app::checkScenario(tolvane::app::loadForCheck(file), file);
    std::cout << (asJson ? tolvane::app::checkJson(report) : tolvane::app::formatCheck(report));
    return report.layoutRuns ? 0 : 1;
  } catch (const tolvane::app::ScenarioError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return 2;
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Tolvane: plays layout scenarios on an in-memory form"};
  app.require_subcommand(1);

  std::string file;
  bool trace = false;
  bool state = false;
  std::string svgDir;
  auto* playCommand = app.add_subcommand("play", "Play a scenario file");
  playCommand->add_option("FILE", file, "The scenario (JSON)")->required();
  playCommand->add_flag("--trace", trace, "Print every write the control makes, step by step");
  playCommand->add_flag("--state", state, "Print every control's final geometry, font size and visibility");
  playCommand->add_option("--svg", svgDir,
                          "Draw the form before the first step and after every step as DIR/step-NN.svg");

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

  CLI11_PARSE(app, argc, argv);

  if (*checkCommand) return check(checkFile, asJson);

  if (*galleryCommand) return gallery(galleryDir, examplesDir);
  if (playCommand->count("--svg") != 0 && svgDir.empty()) {
    std::cerr << "tolvane: --svg needs the folder to draw into\n";
    return 2;
  }
  return play(file, trace, state, svgDir);
}
