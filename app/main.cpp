// tolvane: plays scenario files on the model form.
//   tolvane play FILE [--trace] [--state]
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "app/player.h"
#include "app/scenario.h"

int main(int argc, char** argv) {
  CLI::App app{"Tolvane: plays layout scenarios on an in-memory form"};
  app.require_subcommand(1);

  std::string file;
  bool trace = false;
  bool state = false;
  auto* play = app.add_subcommand("play", "Play a scenario file");
  play->add_option("FILE", file, "The scenario (JSON)")->required();
  play->add_flag("--trace", trace, "Print every write the control makes, step by step");
  play->add_flag("--state", state, "Print every control's final geometry, font size and visibility");

  CLI11_PARSE(app, argc, argv);

  tolvane::app::Scenario scenario;
  try {
    scenario = tolvane::app::loadScenario(file);
  } catch (const tolvane::app::ScenarioError& e) {
    std::cerr << "tolvane: " << e.what() << '\n';
    return 2;
  }
  tolvane::app::Player player(scenario);
  player.playAll(trace ? &std::cout : nullptr);
  if (state) player.printState(std::cout);
  return 0;
}
