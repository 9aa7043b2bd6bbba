// Scenario files and the command-line player: malformed input, and the example host form.
#include "app/scenario.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "app/player.h"
#include "tolvane_version.h"

namespace {

using namespace tolvane;

struct CliRun {
  int status;
  std::string out;
};

// Runs the command-line program, capturing standard output and error.
CliRun runCli(const std::string& args) {
  const std::string command = std::string(TOLVANE_CLI) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::string out;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

const char* kMinimal = R"({"form": {"controls": [{"name": "Tolvane1", "kind": "Tolvane"}]}, "steps": [)";

TEST(Scenario, MalformedFilesNameThePlaceAndWhatIsWrong) {
  struct Case { std::string text; std::string message; };
  const std::vector<Case> cases = {
      {"{\"form\": {\n  \"controls\": [,]}}", "bad.json: line 2, column 16: not valid JSON"},
      {R"({"steps": []})", "bad.json: at /: missing field \"form\""},
      {R"({"form": {"controls": []}, "steps": [], "color": 1})", "bad.json: at /color: unknown field \"color\""},
      {R"({"form": {"controls": [{"name": 3}]}, "steps": []})", "at /form/controls/0/name: expected text, found a number"},
      {R"({"form": {"controls": [{"name": "a"}, {"name": "a"}]}, "steps": []})", "at /form/controls/1/name: the name \"a\" is taken"},
      {R"({"form": {"controls": [{"name": "a", "members": ["Left", "Colour"]}]}, "steps": []})",
       "at /form/controls/0/members/1: unknown member \"Colour\""},
      {std::string(kMinimal) + R"({"resize": {"width": "wide", "height": 1}}]})",
       "at /steps/0/resize/width: expected a number, found text"},
      {std::string(kMinimal) + R"({"resize": {"width": 1}}]})", "at /steps/0/resize: missing field \"height\""},
      {std::string(kMinimal) + R"({"jump": {}}]})", "at /steps/0/jump: unknown step \"jump\""},
      {std::string(kMinimal) + R"({"load": {}, "minimize": {}}]})", "at /steps/0: a step has exactly one kind"},
      {std::string(kMinimal) + R"({"call": {"object": "Tolvane1", "method": "Paint"}}]})",
       "at /steps/0/call/method: expected Rebuild or Refresh"},
      {std::string(kMinimal) + R"({"set": {"object": "Tolvane1", "member": "KeepRatio", "value": 1}}]})",
       "at /steps/0/set/value: KeepRatio takes true or false"},
      {std::string(kMinimal) + R"({"fail": {"object": "Nobody", "member": "Left", "op": "get"}}]})",
       "at /steps/0/fail/object: no object named \"Nobody\""},
      {std::string(kMinimal) + R"({"fail": {"object": "Tolvane1", "member": "Left", "op": "break"}}]})",
       "at /steps/0/fail/op: expected get, set or call"},
  };
  for (const Case& c : cases) {
    try {
      app::parseScenario(c.text, "bad.json");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const app::ScenarioError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what() << "\nwanted: " << c.message;
    }
  }
}

// Whatever the JSON library refuses, a number beyond a double's range included, is a scenario error
// on one line, never an exception of the library's own.
TEST(Scenario, EveryJsonFailureIsAOneLineScenarioError) {
  const std::vector<std::string> texts = {
      std::string(kMinimal) + R"({"resize": {"width": 1e400, "height": 1}}]})",
      R"({"form": {"controls": [{"name": "a", "left": -1e400}]}, "steps": []})",
      R"({"form": {"controls": []}, "steps": [], "unknown": [1, 2, 1e400]})",
      "1e400",
      "{\"form\": {\"controls\": [{\"name\": \"a\xff\"}]}, \"steps\": []}",
      R"({"form": {"controls": [{"name": "\ud800"}]}, "steps": []})",
      std::string("{\"form\": {\"controls\": []}, \"steps\": []}\0\n", 34),
      std::string(100000, '[') + std::string(100000, ']'),
      "",
  };
  for (const std::string& text : texts) {
    try {
      app::parseScenario(text, "bad.json");
      ADD_FAILURE() << "accepted: " << text.substr(0, 80);
    } catch (const app::ScenarioError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("bad.json: ", 0), 0u) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "not a scenario error: " << e.what();
    }
  }
}

// A name is printed at the start of trace and state lines: one that holds a line break, begins
// with `#`, holds a space or a dot could forge or split them, so the reader refuses it wherever a
// name is given.
TEST(Scenario, NamesThatCouldBreakALineAreRefused) {
  const auto withControl = [](const std::string& name) {
    return R"({"form": {"controls": [{"name": ")" + name + R"(", "kind": "Tolvane"}]}, "steps": []})";
  };
  struct Case { std::string text; std::string place; };
  const std::vector<Case> cases = {
      {withControl(R"(evil\n# step 99: resize 1 x 1)"), "/form/controls/0/name"},
      {withControl(R"(a\rb)"), "/form/controls/0/name"},
      {withControl(R"(tab\tbed)"), "/form/controls/0/name"},
      {withControl(R"(esc\u001b[2J)"), "/form/controls/0/name"},
      {withControl(R"(del\u007f)"), "/form/controls/0/name"},
      {withControl(R"(nel\u0085)"), "/form/controls/0/name"},
      {withControl(R"(line\u2028sep)"), "/form/controls/0/name"},
      {withControl("# step 2: load"), "/form/controls/0/name"},
      {withControl("two words"), "/form/controls/0/name"},
      {withControl("Text1.Font"), "/form/controls/0/name"},
      {R"({"form": {"name": "frm\nMain", "controls": []}, "steps": []})", "/form/name"},
      {std::string(kMinimal) + R"({"set": {"object": "Tolvane1", "member": "Left\n# forged", "value": 1}}]})",
       "/steps/0/set/member"},
      {std::string(kMinimal) + R"({"fail": {"object": "Tolvane1", "member": "Left\r", "op": "get"}}]})",
       "/steps/0/fail/member"},
  };
  for (const Case& c : cases) {
    try {
      app::parseScenario(c.text, "names.json");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const app::ScenarioError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("at " + c.place + ": a name holds only letters, digits and _"), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
  }
  // Names with other characters beyond ASCII are names like any other.
  EXPECT_NO_THROW(app::parseScenario(withControl("Größe_1"), "names.json"));
}

// A text value may hold anything; the trace shows it escaped, on its step's one line.
TEST(Scenario, TextValuesInTheTracePrintOnOneLine) {
  const std::string text = R"({"form": {"controls": [{"name": "Tolvane1", "kind": "Tolvane"},)"
                           R"({"name": "Text1", "text": ""}]}, "steps": [)"
                           R"({"set": {"object": "Text1", "member": "Text", "value": "a\n# step 9: \"b\"\u2028"}}]})";
  app::Player player(app::parseScenario(text, "t.json"));
  std::ostringstream trace;
  player.playAll(&trace);
  EXPECT_EQ(trace.str(), "# step 1: set Text1.Text = \"a\\n# step 9: \\\"b\\\"\\u2028\"\n");
}

// A long play must not keep every write it ever made: the log holds one step's writes while the
// trace or a caller reads them, and nothing at all when nobody does.
TEST(Player, KeepsTheWritesOfOneStepAtATime) {
  std::string text = std::string(R"({"form": {"controls": [{"name": "Tolvane1", "kind": "Tolvane"},)") +
                     R"({"name": "txtRebuild", "text": "True"}, {"name": "a", "width": 100}, {"name": "b", "width": 200}]},)" +
                     R"("steps": [{"load": {}})";
  for (int i = 0; i < 40; ++i) text += R"(, {"resize": {"width": )" + std::to_string(9000 + i * 10) + R"(, "height": 7200}})";
  const app::Scenario scenario = app::parseScenario(text + "]}", "long.json");

  app::Player stepwise(scenario);
  std::ostringstream trace;
  std::size_t printed = 0;
  for (std::size_t i = 0; i < stepwise.stepCount(); ++i) {
    stepwise.playStep(i, &trace);
    const auto& writes = stepwise.world().recorder.writes;
    // From the third step on, each resize stores the geometry of the four records, and no more.
    if (i >= 2) {
      EXPECT_EQ(writes.size(), 16u) << "after step " << i + 1;
    }
    printed += 1 + writes.size();
  }
  const std::string lines = trace.str();
  EXPECT_EQ(static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')), printed);

  app::Player quiet(scenario);
  quiet.playAll();
  EXPECT_TRUE(quiet.world().recorder.writes.empty());
  EXPECT_EQ(quiet.world().form->find("b")->width(), stepwise.world().form->find("b")->width());
}

TEST(Scenario, StepHeadersShowNumbersExactly) {
  EXPECT_EQ(app::describe(app::ResizeStep{12000.25, 9000}), "resize 12000.25 x 9000");
  EXPECT_EQ(app::describe(app::ScreenStep{{9607.5, 15}}), "screen 9607.5 twips at 15 twips per pixel");
  EXPECT_EQ(app::describe(app::SetStep{"frmMain", "Height", host::Value{1234567.5}}), "set frmMain.Height = 1234567.5");
}

TEST(Scenario, AMalformedFileExitsWith2AndPlaysNothing) {
  const std::string path = ::testing::TempDir() + "malformed.json";
  std::ofstream(path) << std::string(kMinimal) + R"({"resize": {"width": 1, "height": 1}}, {"load": 1}]})";
  const CliRun run = runCli("play " + path + " --trace");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "tolvane: " + path + ": at /steps/1/load: expected an object, found a number\n");
}

TEST(Scenario, TheHostFormExampleShowsSnapshotRelayoutAndHandshake) {
  const CliRun run = runCli(std::string("play ") + TOLVANE_SOURCE_DIR + "/examples/host-form.json --trace --state");
  ASSERT_EQ(run.status, 0) << run.out;
  std::istringstream lines(run.out);
  std::vector<std::vector<std::string>> steps;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# step ", 0) == 0) {
      steps.emplace_back();
    } else if (line.rfind("name left top", 0) == 0) {
      break;
    } else if (!steps.empty()) {
      steps.back().push_back(line);
    }
  }
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_TRUE(steps[0].empty());  // load
  EXPECT_TRUE(steps[1].empty());  // first show: the snapshot, nothing moves
  EXPECT_GT(steps[2].size(), 50u);  // enlarged: everything relaid out
  EXPECT_NE(std::find(steps[2].begin(), steps[2].end(), "cmdDelTV.Visible = true bool"), steps[2].end());
  EXPECT_EQ(steps[3], std::vector<std::string>{"txtRebuild.Text = \"False\" str"});
  EXPECT_EQ(steps[4], std::vector<std::string>{"txtRebuild.Text = \"True\" str"});
  EXPECT_EQ(steps[5].size(), steps[2].size() - 2);  // the same relayout, without the first-run step
  EXPECT_NE(run.out.find("\nTolvane1 "), std::string::npos);
}

TEST(Scenario, StepsFailingInTheControlArePrintedAndThePlayGoesOn) {
  const std::string text = std::string(R"({"form": {"controls": [{"name": "Tolvane1", "kind": "Tolvane"},)") +
                           R"({"name": "Other", "kind": "Tolvane", "members": ["Name", "Width", "Height"]}]}, "steps": [)" +
                           R"({"call": {"object": "Other", "method": "Refresh"}}, {"load": {}},)" +
                           R"({"call": {"object": "Tolvane1", "method": "Rebuild"}}]})";
  app::Player player(app::parseScenario(text, "t.json"));
  std::ostringstream trace;
  player.playAll(&trace);
  EXPECT_EQ(trace.str(),
            "# step 1: call Other.Refresh\n"
            "# failed: Other.Refresh: the control has no parent form\n"
            "# step 2: load\n"
            "# failed: Other.ReadProperties: Other has no member Parent\n"
            "# step 3: call Tolvane1.Rebuild\n");
  EXPECT_EQ(player.hostFailureSummary(),
            "2 failures went back to the host (Other.Refresh 1, Other.ReadProperties 1); "
            "the first, Other.Refresh: the control has no parent form");
}

// A form without txtRebuild: every resize after the first fails back to the host.
const char* kNoRebuildBox =
    R"({"form": {"controls": [{"name": "Tolvane1", "kind": "Tolvane"}, {"name": "Text1", "kind": "TextBox"}]},)"
    R"( "steps": [{"load": {}}, {"resize": {"width": 9000, "height": 7000}}, {"resize": {"width": 9600, "height": 7200}},)"
    R"( {"resize": {"width": 12000, "height": 9000}}]})";

TEST(Scenario, TheCommandLineSaysWhatHappenedInItsExitCode) {
  const std::string clean = std::string(TOLVANE_SOURCE_DIR) + "/examples/host-form.json";
  const std::string broken = ::testing::TempDir() + "no-rebuild-box.json";
  std::ofstream(broken) << kNoRebuildBox;
  struct Case { std::string args; int status; std::string output; };
  const std::vector<Case> cases = {
      {"--version", 0, TOLVANE_VERSION "\n"},
      {"--help", 0, "Exit codes: 0 played"},
      {"play " + clean + " --strict", 0, ""},
      {"play " + broken, 0, "tolvane: 3 failures went back to the host (frmMain.Resize 3): "},
      {"play " + broken + " --strict", 3, "failures went back to the host"},
      {"play", 2, "FILE is required"},
      {"play " + clean + " --bogus", 2, "--bogus"},
      {"dance", 2, "A subcommand is required"},
      {"", 2, "subcommand"},
  };
  for (const Case& c : cases) {
    const CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
    if (c.output.empty()) {
      EXPECT_EQ(run.out, "") << c.args;
    } else {
      EXPECT_NE(run.out.find(c.output), std::string::npos) << c.args << "\n" << run.out;
    }
  }
}

}  // namespace
