// `tolvane check`: the verdict on a form before anything runs, held against what playing the form
// actually does.
#include "app/check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include <nlohmann/json.hpp>

#include "app/player.h"
#include "tests/rig.h"
#include "tests/test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace tolvane;
using app::CheckReport;
using app::Finding;

const fs::path kExamples = fs::path(TOLVANE_SOURCE_DIR) / "examples";

// Whether playing the scenario moves or resizes, at any step, a control other than the layout
// control itself: what "layout runs" means to a user.
bool layoutMovesSomething(const app::Scenario& scenario) {
  app::Player player(scenario);
  for (std::size_t i = 0; i < player.stepCount(); ++i) {
    player.playStep(i);
    for (const auto& given : scenario.form.controls) {
      if (given.kind == "Tolvane") continue;
      const auto c = player.world().form->find(given.name);
      if (c->left() != given.left || c->top() != given.top || c->width() != given.width || c->height() != given.height) {
        return true;
      }
    }
  }
  return false;
}

app::Scenario shownAndEnlarged(model::FormSpec form, model::ScreenSpec screen = tolvane::testing::normalScreen(), bool userMode = true) {
  app::Scenario s;
  s.form = std::move(form);
  s.screen = screen;
  s.userMode = userMode;
  // Enough resizes for a txtRebuild that starts as "False" too.
  s.steps = {app::LoadStep{}, app::ResizeStep{s.form.width, s.form.height}, app::ResizeStep{12000, 9000},
             app::ResizeStep{10000, 8000}};
  return s;
}

bool mentions(const std::vector<Finding>& findings, const std::string& subject, const std::string& words) {
  return std::any_of(findings.begin(), findings.end(),
                     [&](const Finding& f) { return f.subject == subject && f.text.find(words) != std::string::npos; });
}

const app::ContractControl& row(const CheckReport& report, const std::string& name) {
  const auto it = std::find_if(report.contract.begin(), report.contract.end(), [&](const auto& c) { return c.name == name; });
  if (it == report.contract.end()) throw std::out_of_range(name);
  return *it;
}

bool acts(const CheckReport& report, const std::string& name, const std::string& rule) {
  const auto& rules = row(report, name).rules;
  return std::find(rules.begin(), rules.end(), rule) != rules.end();
}

TEST(Check, SmallFormsGetTheVerdictThatPlayingThemBearsOut) {
  using tolvane::testing::described;
  using tolvane::testing::hostForm;
  using tolvane::testing::remove;
  struct Case {
    const char* what;
    std::function<app::Scenario()> scenario;
    bool runs;
    std::function<void(const CheckReport&)> also;
  };
  const std::vector<Case> cases = {
      {"the full host form", [] { return shownAndEnlarged(hostForm()); }, true,
       [](const CheckReport& r) {
         EXPECT_TRUE(r.blocking.empty() && r.inactive.empty() && r.clashes.empty() && r.missingMembers.empty());
         for (const auto& c : r.contract) EXPECT_TRUE(c.present) << c.name;
         EXPECT_TRUE(acts(r, "lblHorDrag", "splitter placement") && acts(r, "lblHorDrag", "room test"));
         EXPECT_TRUE(acts(r, "txtRebuild", "resize dispatch"));
         EXPECT_FALSE(r.lowResolution);
       }},
      {"no txtRebuild",
       [] {
         auto form = hostForm();
         remove(form, "txtRebuild");
         return shownAndEnlarged(form);
       },
       false, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.blocking, "txtRebuild", "every resize of the form fails back")); }},
      {"a txtRebuild without Text",
       [] {
         auto form = hostForm();
         described(form, "txtRebuild").members = {{"Name", "Left", "Top", "Width", "Height", "Visible"}};
         return shownAndEnlarged(form);
       },
       false, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.blocking, "txtRebuild", "has no Text")); }},
      {"no layout control",
       [] {
         auto form = hostForm();
         remove(form, "Tolvane1");
         return shownAndEnlarged(form);
       },
       false, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.blocking, "Tolvane", "no control of kind Tolvane")); }},
      {"a form being designed", [] { return shownAndEnlarged(hostForm(), tolvane::testing::normalScreen(), false); }, false,
       [](const CheckReport& r) { EXPECT_TRUE(mentions(r.blocking, "userMode", "designed")); }},
      {"no lblHorDrag",
       [] {
         auto form = hostForm();
         remove(form, "lblHorDrag");
         return shownAndEnlarged(form);
       },
       true,
       [](const CheckReport& r) {
         EXPECT_TRUE(mentions(r.inactive, "splitter placement", "no lblHorDrag"));
         EXPECT_TRUE(mentions(r.inactive, "room test", "E = 0"));
         EXPECT_FALSE(row(r, "lblHorDrag").present);
       }},
      {"no lblHorDrag on a 640-pixel screen",
       [] {
         auto form = hostForm();
         remove(form, "lblHorDrag");
         return shownAndEnlarged(form, tolvane::testing::lowResScreen());
       },
       true,
       [](const CheckReport& r) {
         EXPECT_TRUE(r.lowResolution);
         EXPECT_TRUE(mentions(r.inactive, "pane re-flow", "200 twips wide"));
       }},
      {"a stray Text1, no browser pane",
       [] {
         auto form = hostForm();
         remove(form, "WebBrowser1");
         return shownAndEnlarged(form);
       },
       true,
       [](const CheckReport& r) {
         EXPECT_TRUE(mentions(r.clashes, "Text1", "Height of 3570"));
         EXPECT_TRUE(mentions(r.inactive, "splitter placement", "no WebBrowser1"));
       }},
      {"a Text1 that is a label",
       [] {
         auto form = hostForm();
         described(form, "Text1").kind = "Label";
         return shownAndEnlarged(form, tolvane::testing::lowResScreen());
       },
       true, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.clashes, "Text1", "this scenario reaches that layout")); }},
      {"a name that differs only in case",
       [] {
         auto form = hostForm();
         described(form, "lblHorDrag").name = "lblhordrag";
         return shownAndEnlarged(form);
       },
       true,
       [](const CheckReport& r) {
         EXPECT_TRUE(mentions(r.clashes, "lblhordrag", "is not lblHorDrag"));
         EXPECT_TRUE(mentions(r.inactive, "room test", "E = 0"));
       }},
      {"a splitter without Move",
       [] {
         auto form = hostForm();
         described(form, "lblHorDrag").members = {{"Name", "Left", "Top", "Width", "Height", "Visible", "Font"}};
         return shownAndEnlarged(form);
       },
       true,
       [](const CheckReport& r) {
         EXPECT_TRUE(mentions(r.missingMembers, "lblHorDrag", "lacks Move, which the splitter placement rule needs"));
         EXPECT_FALSE(acts(r, "lblHorDrag", "splitter placement"));
         EXPECT_TRUE(acts(r, "lblHorDrag", "room test"));
       }},
      {"the first tab missing, its pane there",
       [] {
         auto form = hostForm();
         remove(form, "cmdAllRecs");
         return shownAndEnlarged(form);
       },
       true, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.clashes, "cmdAllRecs", "counts as bold, so lstAllRecs is shown")); }},
      {"no tab bold",
       [] {
         auto form = hostForm();
         described(form, "cmdAllRecs").fontBold = false;
         return shownAndEnlarged(form);
       },
       true, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.inactive, "pane visibility", "no tab button is bold")); }},
      {"txtRebuild starting as False",
       [] {
         auto form = hostForm();
         described(form, "txtRebuild").text = "False";
         return shownAndEnlarged(form);
       },
       true, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.notes, "txtRebuild", "snapshot is taken on the second")); }},
      {"a control without a size",
       [] {
         auto form = hostForm();
         described(form, "lblStatus").members = {{"Name", "Left", "Top"}};
         return shownAndEnlarged(form);
       },
       true, [](const CheckReport& r) { EXPECT_TRUE(mentions(r.missingMembers, "lblStatus", "lacks Width, Height")); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const app::Scenario scenario = c.scenario();
    const CheckReport report = app::checkScenario(scenario, "form.json");
    EXPECT_EQ(report.layoutRuns, c.runs) << app::formatCheck(report);
    EXPECT_EQ(report.layoutRuns, report.blocking.empty());
    EXPECT_EQ(layoutMovesSomething(scenario), c.runs) << "the player disagrees";
    c.also(report);
  }
}

TEST(Check, EveryExampleGetsTheVerdictItsPlayBearsOut) {
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const app::Scenario scenario = app::loadScenario(entry.path().string());
    const CheckReport report = app::checkScenario(scenario, entry.path().string());
    EXPECT_EQ(report.layoutRuns, layoutMovesSomething(scenario)) << app::formatCheck(report);
  }
  // What the example without the browser pane and the tree is there to show.
  const CheckReport missing = app::checkScenario(app::loadScenario((kExamples / "missing-controls.json").string()), "m");
  EXPECT_FALSE(row(missing, "WebBrowser1").present);
  EXPECT_TRUE(mentions(missing.clashes, "Text1", "not beside a browser pane"));
  EXPECT_TRUE(mentions(missing.missingMembers, "Timer1", "lacks Width, Height"));
  const CheckReport lowRes = app::checkScenario(app::loadScenario((kExamples / "low-res-640.json").string()), "l");
  EXPECT_TRUE(lowRes.lowResolution);
}

TEST(Check, CommandLineVerdictExitCodeAndJson) {
  tolvane::testing::TempDir dir;
  const auto write = [&](const char* name, const std::string& text) {
    std::ofstream(dir.path() / name) << text;
    return dir.path() / name;
  };
  // A form description without steps, with and without a txtRebuild.
  const std::string controls = R"([{"name": "Tolvane1", "kind": "Tolvane"}, {"name": "lblStatus", "kind": "Label"})";
  const fs::path bare = write("bare.json", R"({"name": "frmMain", "controls": )" + controls + "]}");
  const fs::path withRebuild =
      write("with.json", R"({"form": {"controls": )" + controls + R"(, {"name": "txtRebuild", "text": "True"}]}})");
  const fs::path broken = write("broken.json", R"({"form": {"controls": [{"name": 3}]}})");
  struct Case {
    fs::path file;
    const char* flags;
    int status;
    const char* says;
  };
  for (const Case& c : {Case{kExamples / "host-form.json", "", 0, "Layout will run"},
                        Case{bare, "", 1, "Layout will not run: the form has no txtRebuild"},
                        Case{withRebuild, "", 0, "WebBrowser1       missing"},
                        Case{bare, "--json", 1, "\"layoutRuns\": false"},
                        Case{withRebuild, "--json", 0, "\"layoutRuns\": true"},
                        Case{broken, "", 2, "at /form/controls/0/name: expected text"}}) {
    SCOPED_TRACE(c.file.filename().string() + " " + c.flags);
    const auto r = tolvane::testing::run("check " + tolvane::testing::quoted(c.file) + " " + c.flags, dir.path());
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    if (std::string(c.flags) == "--json") {
      const auto json = nlohmann::json::parse(r.out);
      EXPECT_EQ(json.at("layoutRuns").get<bool>(), c.status == 0);
      EXPECT_EQ(json.at("contract").size(), 13u);  // every named control of the contract, present or not
    }
  }
}

}  // namespace
