// The pictures of the model form, the examples folder and the commands that write them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/animation.h"
#include "app/gallery.h"
#include "app/player.h"
#include "app/scenario.h"
#include "app/svg.h"
#include "tests/test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace tolvane;
using namespace tolvane::app;
using tolvane::testing::CliResult;
using tolvane::testing::quoted;
using tolvane::testing::readFile;
using tolvane::testing::run;
using tolvane::testing::TempDir;

const fs::path kExamples = fs::path(TOLVANE_SOURCE_DIR) / "examples";

bool validUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// Checks what a browser's XML parser would refuse: unbalanced or crossed elements, more than one
// root, unquoted or repeated attributes, a raw `<` or a stray `&` in text or attribute values,
// control characters, malformed UTF-8. Returns the first problem found, or "".
std::string xmlProblem(const std::string& doc) {
  if (!validUtf8(doc)) return "not valid UTF-8";
  const std::regex entity("^&(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);");
  const auto checkText = [&](const std::string& text) -> std::string {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c == '<') return "raw < in \"" + text + "\"";
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return "control character in \"" + text + "\"";
      if (c == '&' && !std::regex_search(text.substr(i, 12), entity)) return "stray & in \"" + text + "\"";
    }
    return "";
  };
  std::vector<std::string> open;
  int roots = 0;
  std::size_t i = 0;
  if (doc.rfind("<?xml", 0) == 0) i = doc.find("?>") + 2;
  while (i < doc.size()) {
    const std::size_t lt = doc.find('<', i);
    const std::string text = doc.substr(i, lt == std::string::npos ? std::string::npos : lt - i);
    if (open.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos) return "text outside the root";
    if (auto p = checkText(text); !p.empty()) return p;
    if (lt == std::string::npos) break;
    const std::size_t gt = doc.find('>', lt);
    if (gt == std::string::npos) return "unterminated tag";
    std::string tag = doc.substr(lt + 1, gt - lt - 1);
    // A '>' inside a quoted attribute value ends nothing; extend to the real end of the tag.
    std::size_t end = gt;
    while (std::count(tag.begin(), tag.end(), '"') % 2 != 0) {
      end = doc.find('>', end + 1);
      if (end == std::string::npos) return "unterminated attribute";
      tag = doc.substr(lt + 1, end - lt - 1);
    }
    i = end + 1;
    if (tag.rfind('/', 0) == 0) {
      if (open.empty() || open.back() != tag.substr(1)) return "closing </" + tag.substr(1) + "> does not match";
      open.pop_back();
      continue;
    }
    const bool selfClosing = !tag.empty() && tag.back() == '/';
    if (selfClosing) tag.pop_back();
    static const std::regex nameRe("^[A-Za-z_][-A-Za-z0-9_:.]*");
    std::smatch m;
    if (!std::regex_search(tag, m, nameRe)) return "bad tag <" + tag + ">";
    const std::string name = m.str();
    std::string rest = tag.substr(name.size());
    static const std::regex attrRe("^\\s+([A-Za-z_][-A-Za-z0-9_:.]*)=\"([^\"]*)\"");
    std::set<std::string> seen;
    while (std::regex_search(rest, m, attrRe)) {
      if (!seen.insert(m.str(1)).second) return "attribute " + m.str(1) + " twice in <" + name + ">";
      if (auto p = checkText(m.str(2)); !p.empty()) return p;
      rest = m.suffix();
    }
    if (rest.find_first_not_of(" \t\r\n") != std::string::npos) return "bad attributes in <" + tag + ">";
    if (open.empty() && ++roots > 1) return "more than one root";
    if (!selfClosing) open.push_back(name);
  }
  return open.empty() ? (roots == 1 ? "" : "no root") : "<" + open.back() + "> not closed";
}

std::map<std::string, std::string> attributes(const std::string& tag) {
  std::map<std::string, std::string> out;
  static const std::regex attrRe("([A-Za-z_][-A-Za-z0-9_:.]*)=\"([^\"]*)\"");
  for (std::sregex_iterator it(tag.begin(), tag.end(), attrRe), endIt; it != endIt; ++it) out[it->str(1)] = it->str(2);
  return out;
}

// The control rects of a picture, by the control's name as written (escaped).
std::map<std::string, std::map<std::string, std::string>> controlRects(const std::string& svg) {
  std::map<std::string, std::map<std::string, std::string>> rects;
  static const std::regex rectRe("<rect class=\"control[^>]*>");
  for (std::sregex_iterator it(svg.begin(), svg.end(), rectRe), endIt; it != endIt; ++it) {
    auto attrs = attributes(it->str());
    const std::string name = attrs["data-name"];
    EXPECT_TRUE(rects.emplace(name, std::move(attrs)).second) << "two rects for " << name;
  }
  return rects;
}

double number(const std::map<std::string, std::string>& attrs, const std::string& key) {
  const auto it = attrs.find(key);
  if (it == attrs.end()) {
    ADD_FAILURE() << "no attribute " << key;
    return -1;
  }
  std::size_t used = 0;
  const double x = std::stod(it->second, &used);
  EXPECT_EQ(used, it->second.size()) << key << "=\"" << it->second << "\"";
  return x;
}

bool hasGeometry(const model::ModelControl& c) {
  using model::Member;
  return c.has(Member::Left) && c.has(Member::Top) && c.has(Member::Width) && c.has(Member::Height);
}

std::vector<fs::path> exampleFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (app::isScenarioFile(entry.path().filename().string())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

model::ControlSpec control(std::string name, double left, double top, double width, double height, bool visible = true) {
  model::ControlSpec c;
  c.name = std::move(name);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.visible = visible;
  return c;
}

TEST(XmlEscape, EscapesMarkupAndReplacesWhatXmlCannotCarry) {
  struct Case {
    std::string in, out;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  for (const Case& c : std::vector<Case>{
           {"lstAllRecs", "lstAllRecs"},
           {"a & b", "a &amp; b"},
           {"<script>", "&lt;script&gt;"},
           {"say \"hi\" 'there'", "say &quot;hi&quot; &apos;there&apos;"},
           {"&amp;", "&amp;amp;"},
           {"tab\tline\nreturn\r", "tab\tline\nreturn\r"},
           {std::string("nul\0x", 5), "nul" + fffd + "x"},
           {"bell\x07 del\x7F", "bell" + fffd + " del" + fffd},
           {"9600 \xC3\x97 7200 \xE2\x82\xAC \xF0\x9F\x98\x80", "9600 \xC3\x97 7200 \xE2\x82\xAC \xF0\x9F\x98\x80"},
           {"cut \xC3", "cut " + fffd},
           {"lone \x80 continuation", "lone " + fffd + " continuation"},
           {"overlong \xC0\xAF", "overlong " + fffd + fffd},
           {"surrogate \xED\xA0\x80", "surrogate " + fffd + fffd + fffd},
           {"too high \xF4\x90\x80\x80", "too high " + fffd + fffd + fffd + fffd},
       }) {
    const std::string out = escapeXml(c.in);
    EXPECT_EQ(out, c.out) << c.in;
    EXPECT_TRUE(validUtf8(out)) << c.in;
  }
}

TEST(XmlEscape, ControlNamesAndCaptionsCannotBreakThePicture) {
  model::FormSpec form;
  form.name = "frm<Main>";
  form.controls.push_back(control("cmd\"A&B\"", 100, 100, 1200, 375));
  form.controls.back().kind = "Command<Button>";
  form.controls.push_back(control("lbl'</text><script>'", 100, 600, 3000, 300, false));
  model::ModelWorld world(form, {});
  const std::string svg = drawForm(*world.form, world.screen->metrics(), {"title & <b>", "change <\"&\">", {"note \"1\" \x01"}}).svg;
  EXPECT_EQ(xmlProblem(svg), "");
  EXPECT_NE(svg.find("data-name=\"cmd&quot;A&amp;B&quot;\""), std::string::npos);
  EXPECT_NE(svg.find("lbl&apos;&lt;/text&gt;&lt;script&gt;&apos;"), std::string::npos);
  EXPECT_NE(svg.find("title &amp; &lt;b&gt;"), std::string::npos);
  EXPECT_NE(svg.find("Change: change &lt;&quot;&amp;&quot;&gt;"), std::string::npos);
  EXPECT_EQ(svg.find("<script"), std::string::npos);
}

// The rects of a picture are the model form's numbers: the picture before the first step shows the
// scenario's own geometry, the last one the geometry the play left.
TEST(Pictures, RectsMatchTheModelFormBeforeAndAfterPlaying) {
  for (const char* example : {"low-res-640.json", "missing-controls.json", "host-form-narrowed.json"}) {
    SCOPED_TRACE(example);
    TempDir dir;
    const Scenario scenario = loadScenario((kExamples / example).string());
    Player player(scenario);
    const PlayedPictures played = playWithPictures(player, dir.path(), "test", nullptr);
    ASSERT_EQ(played.pictures.size(), scenario.steps.size() + 1);

    const auto first = controlRects(readFile(dir.path() / played.pictures.front().name));
    for (const auto& given : scenario.form.controls) {
      if (given.members) continue;  // the drawn-or-not rule is checked on the model below
      const auto it = first.find(given.name);
      ASSERT_NE(it, first.end()) << given.name;
      EXPECT_EQ(number(it->second, "x"), given.left) << given.name;
      EXPECT_EQ(number(it->second, "y"), given.top) << given.name;
      EXPECT_EQ(number(it->second, "width"), given.width) << given.name;
      EXPECT_EQ(number(it->second, "height"), given.height) << given.name;
    }

    const std::string last = readFile(dir.path() / played.pictures.back().name);
    const auto rects = controlRects(last);
    const auto& form = *player.world().form;
    std::size_t drawable = 0;
    for (const auto& c : form.controls()) {
      const auto it = rects.find(escapeXml(c->name()));
      if (!hasGeometry(*c)) {
        EXPECT_EQ(it, rects.end()) << c->name() << " has no geometry but was drawn";
        EXPECT_NE(last.find("Not drawn, lacking a Left, Top, Width or Height: " + c->name()), std::string::npos);
        continue;
      }
      ++drawable;
      ASSERT_NE(it, rects.end()) << c->name();
      EXPECT_EQ(number(it->second, "x"), c->left()) << c->name();
      EXPECT_EQ(number(it->second, "y"), c->top()) << c->name();
      EXPECT_EQ(number(it->second, "width"), c->width()) << c->name();
      EXPECT_EQ(number(it->second, "height"), c->height()) << c->name();
      const bool markedHidden = (" " + it->second.at("class") + " ").find(" hidden ") != std::string::npos;
      EXPECT_EQ(markedHidden, !c->visible()) << c->name();
    }
    EXPECT_EQ(rects.size(), drawable);

    // The inner area is the form's ScaleWidth by ScaleHeight.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(last, m, std::regex("<rect class=\"inner\"[^>]*>")));
    const auto inner = attributes(m.str());
    EXPECT_EQ(number(inner, "width"), form.scaleWidth());
    EXPECT_EQ(number(inner, "height"), form.scaleHeight());
  }
}

TEST(Pictures, SameStateSameBytesAndEveryPictureIsWellFormed) {
  TempDir a, b;
  for (const TempDir* dir : {&a, &b}) {
    Player player(loadScenario((kExamples / "host-form-narrowed.json").string()));
    playWithPictures(player, dir->path(), "host-form-narrowed", nullptr);
  }
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(a.path())) {
    ++files;
    const std::string text = readFile(entry.path());
    EXPECT_EQ(xmlProblem(text), "") << entry.path();
    EXPECT_EQ(text, readFile(b.path() / entry.path().filename())) << entry.path();
  }
  EXPECT_EQ(files, 12u);  // the form before the first step and after each of its eleven steps
}

TEST(Pictures, OddGeometryIsDrawnWithoutBreakingThePicture) {
  model::FormSpec form;
  form.width = 1200;  // a form narrower than its controls
  form.controls.push_back(control("lstFlat", 100, 100, 3000, 0));
  form.controls.push_back(control("lstNegative", 500, 500, -400, 300));
  form.controls.push_back(control("lblFar", 1e12, -1e12, 100, 100));
  model::ModelWorld world(form, {.width = 15360, .twipsPerPixelX = 0});
  const Picture picture = drawForm(*world.form, world.screen->metrics(), {"odd", "", {}});
  EXPECT_EQ(xmlProblem(picture.svg), "");
  EXPECT_EQ(picture.svg.find("nan"), std::string::npos);
  EXPECT_EQ(picture.svg.find("inf"), std::string::npos);
  EXPECT_NE(picture.svg.find("Zero width or height, drawn as a dashed line: lstFlat"), std::string::npos);
  EXPECT_NE(picture.svg.find("Reaching beyond the inner area (a window clips them): lstFlat, lblFar"),
            std::string::npos);
  // A control far away does not blow the canvas up.
  EXPECT_LT(picture.width, 2000);
  EXPECT_LT(picture.height, 2000);
  const auto rects = controlRects(picture.svg);
  ASSERT_EQ(rects.count("lstNegative"), 1u);
  EXPECT_EQ(number(rects.at("lstNegative"), "width"), 400);
}

// The marks of change in one picture: the names on `class="..."` elements of one kind.
std::map<std::string, std::map<std::string, std::string>> marked(const std::string& svg, const std::string& cls) {
  std::map<std::string, std::map<std::string, std::string>> out;
  const std::regex re("<(rect|g) class=\"" + cls + "\"[^>]*>");
  for (std::sregex_iterator it(svg.begin(), svg.end(), re), endIt; it != endIt; ++it) {
    auto attrs = attributes(it->str());
    out.emplace(attrs["data-name"], std::move(attrs));
  }
  return out;
}

bool hiddenClass(const std::map<std::string, std::string>& rect) {
  return (" " + rect.at("class") + " ").find(" hidden ") != std::string::npos;
}

// Held against the pictures alone: a control whose rect differs from the picture before has a
// highlight and a ghost at the earlier rect; one whose rect is the same has neither; a control
// that turned hidden or visible carries the matching tag; the caption says "no change" or
// "layout recorded" exactly when no rect and no size of the form differs.
TEST(Pictures, EachPictureMarksWhatItsStepChanged) {
  for (const fs::path& file : exampleFiles()) {
    SCOPED_TRACE(file.filename().string());
    TempDir dir;
    Player player(loadScenario(file.string()));
    const PlayedPictures played = playWithPictures(player, dir.path(), "test", nullptr);
    std::string previous = readFile(dir.path() / played.pictures[0].name);
    EXPECT_EQ(previous.find("class=\"change\""), std::string::npos) << "the first picture has nothing to compare";
    for (std::size_t i = 1; i < played.pictures.size(); ++i) {
      SCOPED_TRACE(played.pictures[i].name);
      const std::string svg = readFile(dir.path() / played.pictures[i].name);
      const auto before = controlRects(previous), after = controlRects(svg);
      const auto changed = marked(svg, "changed"), ghosts = marked(svg, "ghost");
      const auto hiddenTags = marked(svg, "tag hidden"), shownTags = marked(svg, "tag shown");
      bool anyDifference = false;
      for (const auto& [name, rect] : after) {
        const auto was = before.find(name);
        ASSERT_NE(was, before.end()) << name;
        bool moved = false;
        for (const char* key : {"x", "y", "width", "height"}) moved = moved || rect.at(key) != was->second.at(key);
        EXPECT_EQ(changed.count(name), moved ? 1u : 0u) << name;
        EXPECT_EQ(ghosts.count(name), moved ? 1u : 0u) << name;
        if (moved && ghosts.count(name)) {
          for (const char* key : {"x", "y", "width", "height"}) EXPECT_EQ(ghosts.at(name).at(key), was->second.at(key)) << name;
        }
        const bool nowHidden = hiddenClass(rect), wasHidden = hiddenClass(was->second);
        EXPECT_EQ(hiddenTags.count(name), nowHidden && !wasHidden ? 1u : 0u) << name;
        EXPECT_EQ(shownTags.count(name), !nowHidden && wasHidden ? 1u : 0u) << name;
        anyDifference = anyDifference || moved || nowHidden != wasHidden;
      }
      std::smatch formLine, formLineBefore;
      const std::regex formRe("Form [^<]*");
      std::regex_search(svg, formLine, formRe);
      std::regex_search(previous, formLineBefore, formRe);
      anyDifference = anyDifference || formLine.str() != formLineBefore.str();
      std::smatch change;
      ASSERT_TRUE(std::regex_search(svg, change, std::regex("class=\"change\"[^>]*>Change: ([^<]*)<")));
      const bool quiet = change.str(1) == "no change" || change.str(1) == "layout recorded";
      // Font sizes change without moving a rect; the caption names them.
      if (change.str(1).find("font size") == std::string::npos) {
        EXPECT_EQ(quiet, !anyDifference) << change.str(1);
      }
      previous = svg;
    }
  }
}

TEST(Pictures, TheStepThatOnlyTakesTheSnapshotSaysLayoutRecorded) {
  TempDir dir;
  Player player(loadScenario((kExamples / "host-form.json").string()));
  const PlayedPictures played = playWithPictures(player, dir.path(), "test", nullptr);
  ASSERT_GE(played.pictures.size(), 4u);
  EXPECT_EQ(played.pictures[1].change, "no change");        // load
  EXPECT_EQ(played.pictures[2].change, "layout recorded");  // the first resize takes the snapshot
  EXPECT_NE(played.pictures[3].change.find("form resized to 12000 \xC3\x97 9000, "), std::string::npos);
  EXPECT_NE(readFile(dir.path() / played.pictures[2].name).find(">Change: layout recorded<"), std::string::npos);

  // A second Load drops the snapshot and records nothing; the resize after it records again.
  Scenario again = loadScenario((kExamples / "host-form.json").string());
  again.steps = {LoadStep{}, ResizeStep{9600, 7200}, LoadStep{}, ResizeStep{9600, 7200}};
  TempDir other;
  Player player2(again);
  const PlayedPictures replayed = playWithPictures(player2, other.path(), "test", nullptr);
  ASSERT_EQ(replayed.pictures.size(), 5u);
  EXPECT_EQ(replayed.pictures[3].change, "no change");
  EXPECT_EQ(replayed.pictures[4].change, "layout recorded");
}

std::string legendOf(const std::string& svg) {
  const std::size_t start = svg.find("<g id=\"legend\"");
  return start == std::string::npos ? "" : svg.substr(start, svg.find("</g>", start) - start);
}

TEST(Pictures, LegendListsOnlyTheKindsTheFormHas) {
  struct Case {
    const char* what;
    std::vector<model::ControlSpec> controls;
    std::vector<std::string> listed, notListed;
  };
  model::ControlSpec button = control("cmdGo", 100, 100, 1200, 375);
  button.kind = "CommandButton";
  model::ControlSpec pane = control("lstAllRecs", 100, 600, 3000, 2000);
  model::ControlSpec hiddenTree = control("TreeView1", 100, 600, 3000, 2000, false);
  const Case cases[] = {
      {"a label and a button", {control("lblStatus", 100, 3000, 2000, 300), button}, {"other control", "button"},
       {"splitter", "lstAllRecs", "TreeView1", "browser pane", "hidden (Visible", "Tolvane control"}},
      {"a pane, a hidden tree", {pane, hiddenTree}, {"lstAllRecs", "TreeView1", "hidden (Visible"},
       {"button", "other control", "lstSearchResults", "splitter"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    model::FormSpec form;
    form.controls = c.controls;
    model::ModelWorld world(form, {});
    const std::string legend = legendOf(drawForm(*world.form, world.screen->metrics(), {"legend", "", {}}).svg);
    for (const auto& text : c.listed) EXPECT_NE(legend.find(">" + text), std::string::npos) << text;
    for (const auto& text : c.notListed) EXPECT_EQ(legend.find(">" + text), std::string::npos) << text;
  }
}

// A form too large, or of no finite size, is drawn at a sane size, and the caption says it was
// clamped; no coordinate is written as inf or NaN.
TEST(Pictures, HugeOrNonFiniteFormsAreDrawnClampedAndSaySo) {
  struct Case {
    const char* what;
    double width, height, frameWidth, frameHeight;
  };
  // A frame wider than any number makes the inner area, the outer size less the frame, infinite.
  for (const Case& c : {Case{"huge", 1e306, 1e306, 120, 405}, Case{"wide", 4e6, 7200, 120, 405},
                        Case{"infinite inner width", 1.5e308, 7200, -1.5e308, 405},
                        Case{"infinite inner height", 9600, 1.5e308, 120, -1.5e308},
                        Case{"-inf inner width", -1.5e308, 7200, 1.5e308, 405}}) {
    SCOPED_TRACE(c.what);
    model::FormSpec form;
    form.width = c.width;
    form.height = c.height;
    form.frameWidth = c.frameWidth;
    form.frameHeight = c.frameHeight;
    form.controls.push_back(control("lstAllRecs", 100, 100, std::min(c.width / 2, 1e300), 3000));
    model::ModelWorld world(form, {});
    const Picture picture = drawForm(*world.form, world.screen->metrics(), {"clamped", "", {}});
    EXPECT_EQ(xmlProblem(picture.svg), "");
    EXPECT_LE(picture.width, kMaxDrawnPixels + 100);
    EXPECT_LE(picture.height, kMaxDrawnPixels + 400);
    EXPECT_FALSE(std::regex_search(picture.svg, std::regex("=\"[^\"]*(inf|nan|NaN)[^\"]*\""))) << "a coordinate is not finite";
    EXPECT_NE(picture.svg.find(">Clamped: "), std::string::npos);
  }
}

// The animation follows each control through the states the play leaves: every place a control
// takes is among its animated values, and every animation is well formed for SMIL.
TEST(Animation, FollowsEveryControlThroughThePlay) {
  for (const char* example : {"host-form-narrowed.json", "low-res-640.json", "keep-ratio.json"}) {
    SCOPED_TRACE(example);
    const Scenario scenario = loadScenario((kExamples / example).string());
    Player player(scenario);
    std::vector<FormFrame> frames{captureFrame(*player.world().form)};
    std::map<std::string, std::set<std::string>> lefts;  // every Left each control takes, as the picture writes it
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
      player.playStep(i);
      frames.push_back(captureFrame(*player.world().form));
      for (const auto& c : player.world().form->controls()) {
        if (c->kind() != "Tolvane" && c->has(model::Member::Left)) lefts[c->name()].insert(svgNumber(c->left()));
      }
    }
    std::vector<AnimationFrame> animation;
    for (const auto& frame : frames) animation.push_back({&frame, "a frame"});
    const std::string svg = drawAnimation(example, animation);
    EXPECT_EQ(xmlProblem(svg), "");
    EXPECT_EQ(svg.find("<script"), std::string::npos);

    const std::regex animateRe("<animate attributeName=\"([a-z]+)\"[^>]*keyTimes=\"([^\"]*)\" values=\"([^\"]*)\"");
    std::size_t animations = 0;
    for (std::sregex_iterator it(svg.begin(), svg.end(), animateRe), endIt; it != endIt; ++it) {
      ++animations;
      std::vector<double> times;
      std::stringstream keyTimes(it->str(2));
      for (std::string t; std::getline(keyTimes, t, ';');) times.push_back(std::stod(t));
      const std::string valueList = it->str(3);
      const auto values = std::count(valueList.begin(), valueList.end(), ';') + 1;
      EXPECT_EQ(static_cast<std::size_t>(values), times.size()) << it->str();
      EXPECT_EQ(times.front(), 0);
      EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << it->str(2);
      if (it->str().find("calcMode=\"linear\"") != std::string::npos) {
        EXPECT_EQ(times.back(), 1);
      }
    }
    EXPECT_GT(animations, 0u);

    for (const auto& [name, taken] : lefts) {
      std::smatch m;
      const std::regex controlRe("data-name=\"" + name + "\"[^>]*>(<animate[^>]*>)?<rect x=\"([^\"]*)\"[^>]*>(<animate attributeName=\"x\"[^>]*values=\"([^\"]*)\")?");
      ASSERT_TRUE(std::regex_search(svg, m, controlRe)) << name;
      std::set<std::string> animated{m.str(2)};
      std::stringstream values(m.str(4));
      for (std::string v; std::getline(values, v, ';');) animated.insert(v);
      for (const auto& left : taken) EXPECT_TRUE(animated.count(left)) << name << " never shown at Left " << left;
    }
  }
}

// What each example is there to show, so that an example that stops showing it is noticed.
using Claim = std::function<void(Player&, const Scenario&)>;

double ratioAfter(const model::ModelForm& form) { return form.height() / form.width(); }

const std::map<std::string, Claim>& claims() {
  static const std::map<std::string, Claim> table = {
      {"host-form-narrowed.json",
       [](Player& player, const Scenario& scenario) {
         const auto& form = *player.world().form;
         const auto visible = [&](const char* name) { return form.find(name)->visible(); };
         bool buttonsHiddenPaneShown = false, panesHidden = false;
         for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
           player.playStep(i);
           bool anyButton = false;
           for (const char* b : {"cmdAllRecs", "cmdFavorites", "cmdSearchResults", "cmdAddTV", "cmdNewTV", "cmdDelTV"}) {
             anyButton = anyButton || visible(b);
           }
           const bool anyPane = visible("lstAllRecs") || visible("TreeView1") || visible("lstSearchResults");
           buttonsHiddenPaneShown = buttonsHiddenPaneShown || (!anyButton && anyPane);
           panesHidden = panesHidden || !anyPane;
         }
         EXPECT_TRUE(buttonsHiddenPaneShown);
         EXPECT_TRUE(panesHidden);
         EXPECT_TRUE(visible("cmdSearchResults") && visible("cmdDelTV") && visible("lstAllRecs"));
       }},
      {"keep-ratio.json",
       [](Player& player, const Scenario& scenario) {
         const double atLoad = scenario.form.height / scenario.form.width;
         std::size_t resizes = 0;
         for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
           player.playStep(i);
           if (std::holds_alternative<ResizeStep>(scenario.steps[i]) && player.control("Tolvane1")->KeepRatio()) {
             ++resizes;
             EXPECT_NEAR(ratioAfter(*player.world().form), atLoad, 1e-6) << "step " << i + 1;
           }
         }
         EXPECT_GE(resizes, 2u);
       }},
      {"resize-font.json",
       [](Player& player, const Scenario&) {
         player.playAll();
         EXPECT_NE(player.world().form->find("cmdAllRecs")->fontSize(), std::optional<double>(8.25));
       }},
      {"large-fonts-1024.json",
       [](Player& player, const Scenario& scenario) {
         player.playAll();
         EXPECT_EQ(scenario.screen.width / scenario.screen.twipsPerPixelX, 1024);
         EXPECT_FALSE(player.control("Tolvane1")->gfLowRes());
         EXPECT_NE(player.world().form->find("lblHorDrag")->width(), 60);  // scaled like every control
       }},
      {"low-res-640.json",
       [](Player& player, const Scenario& scenario) {
         player.playAll();
         EXPECT_EQ(scenario.screen.width / scenario.screen.twipsPerPixelX, 640);
         EXPECT_TRUE(player.control("Tolvane1")->gfLowRes());
         const auto& form = *player.world().form;
         EXPECT_EQ(form.find("cmdAddTV")->left(), form.find("cmdAllRecs")->left());  // the re-flowed rows
       }},
      {"missing-controls.json",
       [](Player& player, const Scenario&) {
         player.playAll();
         const auto& form = *player.world().form;
         for (const char* name : {"WebBrowser1", "TreeView1", "cmdAddTV"}) EXPECT_EQ(form.find(name), nullptr) << name;
         EXPECT_FALSE(hasGeometry(*form.find("Timer1")));
       }},
  };
  return table;
}

// Every example reads, has a one-line description, plays, and fails nowhere it does not say it
// will: a failed write is expected only for a member the scenario leaves off a control's members
// or for a failure a `fail` step injects, and a failure handed back to the form's events only with
// a `fail` step.
TEST(Examples, EveryExamplePlaysWithoutUnexpectedFailures) {
  const auto files = exampleFiles();
  ASSERT_FALSE(files.empty()) << kExamples;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    Scenario scenario;
    ASSERT_NO_THROW(scenario = loadScenario(file.string()));
    EXPECT_FALSE(scenario.description.empty());
    EXPECT_EQ(scenario.description.find('\n'), std::string::npos);

    std::set<std::pair<std::string, std::string>> injected;
    for (const Step& step : scenario.steps) {
      if (const auto* fail = std::get_if<FailStep>(&step)) injected.emplace(fail->object, fail->member);
    }
    const auto lacks = [&](const std::string& object, const std::string& member) {
      for (const auto& c : scenario.form.controls) {
        if (c.name == object) return c.members && std::find(c.members->begin(), c.members->end(), member) == c.members->end();
      }
      return false;
    };

    TempDir dir;
    Player player(scenario);
    std::ostringstream trace;
    ASSERT_NO_THROW(playWithPictures(player, dir.path(), file.stem().string(), &trace));
    Player stepwise(scenario);  // the write log holds one step's writes at a time
    for (std::size_t i = 0; i < stepwise.stepCount(); ++i) {
      stepwise.playStep(i);
      for (const auto& w : stepwise.world().recorder.writes) {
        if (w.error.empty()) continue;
        if (w.kind == model::Write::Kind::EventFailure) {
          EXPECT_FALSE(injected.empty()) << "# failed: " << w.object << ' ' << w.member << ": " << w.error;
        } else {
          EXPECT_TRUE(lacks(w.object, w.member) || injected.count({w.object, w.member}))
              << w.object << '.' << w.member << " ! " << w.error;
        }
      }
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(xmlProblem(readFile(entry.path())), "") << entry.path();
    }
    if (const auto it = claims().find(file.filename().string()); it != claims().end()) {
      Player again(scenario);
      it->second(again, scenario);
    }
  }
  // Each example the claims stand for is there.
  for (const auto& [name, claim] : claims()) EXPECT_TRUE(fs::exists(kExamples / name)) << name;
}


TEST(Cli, SvgWritesOnePicturePerStepBesideTheTrace) {
  TempDir dir;
  const fs::path example = kExamples / "host-form.json";
  const fs::path pictures = dir.path() / "new" / "pictures";  // created on the way
  const CliResult plain = run("play " + quoted(example) + " --trace", dir.path());
  const CliResult drawn = run("play " + quoted(example) + " --trace --svg " + quoted(pictures), dir.path());
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(drawn.out, plain.out);  // the pictures leave the trace as it was
  EXPECT_EQ(drawn.err, "");

  const std::size_t steps = loadScenario(example.string()).steps.size();
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(pictures)) names.insert(entry.path().filename().string());
  std::set<std::string> expected;
  for (std::size_t i = 0; i <= steps; ++i) expected.insert(pictureName(i, steps));
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(names.count("step-00.svg"));
}

TEST(Cli, PictureNamesSortInPlayingOrder) {
  struct Case {
    std::size_t index, steps;
    const char* name;
  };
  for (const Case& c : {Case{0, 6, "step-00.svg"}, {6, 6, "step-06.svg"}, {7, 120, "step-007.svg"}, {120, 120, "step-120.svg"}}) {
    EXPECT_EQ(pictureName(c.index, c.steps), c.name);
  }
}

TEST(Cli, UnwritablePictureFolderIsOneClearError) {
  TempDir dir;
  const fs::path blocker = dir.path() / "a-file";
  std::ofstream(blocker) << "not a folder";
  struct Case {
    const char* command;
    fs::path target;
  };
  for (const Case& c : {Case{"play", blocker / "pictures"}, {"play", blocker}, {"gallery", blocker / "gallery"}}) {
    const std::string args = std::string(c.command) == "play"
                                 ? "play " + quoted(kExamples / "host-form.json") + " --svg " + quoted(c.target)
                                 : "gallery " + quoted(c.target);
    const CliResult r = run(args, dir.path());
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("tolvane: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(blocker.string()), std::string::npos) << r.err;
  }
}

// The form as a user would compare it: every control's row of the state table, the form's size
// and window state.
std::string stateOf(Player& player) {
  std::ostringstream out;
  player.printState(out);
  const auto& form = *player.world().form;
  out << form.width() << ' ' << form.height() << ' ' << form.windowState();
  return out.str();
}

// The part of the page from `from` to the next `until` (or to the end).
std::string between(const std::string& page, const std::string& from, const std::string& until) {
  const std::size_t start = page.find(from);
  if (start == std::string::npos) return "";
  const std::size_t end = page.find(until, start + from.size());
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Every example leads with its description; each step that changes the form is a before/after
// pair (the state before drawn plain, the state after with its change), and each step that does
// not is named in a one-line list.
TEST(Cli, GalleryShowsEveryChangeAsAPairAndCollapsesTheRest) {
  TempDir dir;
  const CliResult r = run("gallery " + quoted(dir.path() / "gallery") + " --examples " + quoted(kExamples), dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path index = dir.path() / "gallery" / "index.html";
  EXPECT_NE(r.out.find(index.string()), std::string::npos) << r.out;
  const std::string page = readFile(index);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  for (const fs::path& file : exampleFiles()) {
    SCOPED_TRACE(file.filename().string());
    const std::string name = file.stem().string();
    const Scenario scenario = loadScenario(file.string());
    const std::string section = between(page, "<section id=\"" + name + "\">", "</section>");
    ASSERT_FALSE(section.empty());
    const std::size_t description = section.find(escapeXml(scenario.description));
    EXPECT_LT(description, section.find("<li")) << "the description comes first";
    EXPECT_NE(section.find("src=\"" + name + "/animation.svg\""), std::string::npos);
    EXPECT_TRUE(fs::exists(dir.path() / "gallery" / name / "animation.svg"));

    Player player(scenario);
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
      const std::string before = stateOf(player);
      player.playStep(i);
      const bool changed = stateOf(player) != before;
      const std::string after = name + "/" + pictureName(i + 1, scenario.steps.size());
      const std::string plain = name + "/" + pictureName(i, scenario.steps.size());
      const std::string pair = between(section, "<li class=\"pair\"><h3>step " + std::to_string(i + 1) + " of", "</li>");
      if (changed) {
        ++pairs;
        EXPECT_NE(pair.find("src=\"" + plain.substr(0, plain.size() - 4) + "-plain.svg\""), std::string::npos) << after;
        EXPECT_LT(pair.find("-plain.svg"), pair.find("src=\"" + after + "\"")) << "before, then after";
      } else {
        EXPECT_EQ(pair, "") << after << " changed nothing but has a pair";
        bool listed = false;
        for (std::size_t at = section.find("<li class=\"quiet\">"); at != std::string::npos && !listed;
             at = section.find("<li class=\"quiet\">", at + 1)) {
          listed = section.substr(at, section.find("</li>", at) - at).find(escapeXml(describe(scenario.steps[i]))) != std::string::npos;
        }
        EXPECT_TRUE(listed) << "step " << i + 1 << " is not in a line of unchanged steps";
      }
    }
    EXPECT_GT(pairs, 0u) << "every example changes the form at least once";
  }
}

TEST(Cli, GalleryListsABrokenExampleAndStillPlaysTheOthers) {
  TempDir dir;
  const fs::path examples = dir.path() / "examples";
  fs::create_directories(examples);
  fs::copy_file(kExamples / "host-form.json", examples / "good.json");
  std::ofstream(examples / "broken.json") << "{ \"form\": { \"controls\": [] }, \"steps\": [ { \"jump\": {} } ] }";
  const CliResult r = run("gallery " + quoted(dir.path() / "gallery") + " --examples " + quoted(examples), dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("broken.json: at /steps/0/jump: unknown step \"jump\""), std::string::npos) << r.err;
  const std::string page = readFile(dir.path() / "gallery" / "index.html");
  EXPECT_NE(page.find("Not played: "), std::string::npos);
  EXPECT_TRUE(fs::exists(dir.path() / "gallery" / "good" / "step-06.svg"));
}

TEST(Gallery, FolderNamesAndLinksCannotLeaveTheGallery) {
  struct Case {
    const char* stem;
    const char* folder;
  };
  for (const Case& c : {Case{"host-form", "host-form"}, {"..", "example"}, {".", "example"}, {"", "example"},
                        {"a#b?c%d", "a_b_c_d"}, {"javascript:alert(1)", "javascript_alert_1_"}, {"index.html", "index_html"},
                        {"../../etc", "_etc"}, {"caf\xC3\xA9", "caf_"}}) {
    EXPECT_EQ(safeFolderName(c.stem), c.folder) << c.stem;
  }
  struct Link {
    const char* path;
    const char* link;
  };
  for (const Link& c : {Link{"host-form/step-01.svg", "host-form/step-01.svg"}, {"a#b/x?y", "a%23b/x%3Fy"},
                        {"100%", "100%25"}, {"javascript:x", "javascript%3Ax"}, {"\"><img", "%22%3E%3Cimg"},
                        {"caf\xC3\xA9", "caf%C3%A9"}}) {
    EXPECT_EQ(linkPath(c.path), c.link) << c.path;
  }
}

// Example files with names that are paths, URL syntax or a scheme all play into folders of their
// own inside the gallery, and every link on the page is a relative path that finds its file.
TEST(Cli, GalleryKeepsHostileExampleNamesInsideItsFolder) {
  TempDir dir;
  const fs::path examples = dir.path() / "examples", out = dir.path() / "out" / "gallery";
  fs::create_directories(examples);
  const std::vector<std::string> names = {"...json", "..json", "a#b.json", "what?.json", "100%.json",
                                          "javascript:alert(1).json", "index.html.json", "a?b.json"};
  for (const auto& name : names) fs::copy_file(kExamples / "host-form.json", examples / name);
  const CliResult r = run("gallery " + quoted(out) + " --examples " + quoted(examples), dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Gallery of " + std::to_string(names.size()) + " examples"), std::string::npos) << r.out;
  // Nothing was written beside the gallery.
  std::set<std::string> beside;
  for (const auto& entry : fs::directory_iterator(dir.path() / "out")) beside.insert(entry.path().filename().string());
  EXPECT_EQ(beside, std::set<std::string>{"gallery"});
  EXPECT_FALSE(fs::exists(dir.path() / "trace.txt"));

  const std::string page = readFile(out / "index.html");
  std::set<std::string> folders;
  const std::regex linkRe("(href|src)=\"([^\"]*)\"");
  std::size_t links = 0;
  for (std::sregex_iterator it(page.begin(), page.end(), linkRe), endIt; it != endIt; ++it) {
    ++links;
    const std::string link = it->str(2);
    EXPECT_TRUE(std::regex_match(link, std::regex("[A-Za-z0-9_][-A-Za-z0-9_./~%]*"))) << link;
    EXPECT_EQ(link.find(".."), std::string::npos) << link;
    EXPECT_TRUE(fs::is_regular_file(out / link)) << link;  // no byte needed decoding: names are plain
    folders.insert(link.substr(0, link.find('/')));
  }
  EXPECT_GT(links, 0u);
  EXPECT_EQ(folders.size(), names.size()) << "each example has a folder of its own";
  for (const auto& name : names) EXPECT_NE(page.find("<h2>" + escapeXml(name) + "</h2>"), std::string::npos) << name;
}

// A file system error for one example (a link loop, a dangling link, a folder that cannot be
// made) is one line naming it; the other examples still play.
TEST(Cli, GalleryReportsAFileSystemErrorForOneExampleAndPlaysTheOthers) {
  TempDir dir;
  const fs::path examples = dir.path() / "examples", out = dir.path() / "gallery";
  fs::create_directories(examples);
  fs::create_directories(out);
  fs::copy_file(kExamples / "host-form.json", examples / "good.json");
  fs::copy_file(kExamples / "host-form.json", examples / "blocked.json");
  std::ofstream(out / "blocked") << "a file where the example's folder would go";
  fs::create_symlink("loop.json", examples / "loop.json");
  fs::create_symlink("nowhere.json", examples / "dangling.json");
  const CliResult r = run("gallery " + quoted(out) + " --examples " + quoted(examples), dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("Gallery of 1 example written"), std::string::npos) << r.out << r.err;
  EXPECT_TRUE(fs::exists(out / "good" / "step-06.svg"));
  std::vector<std::string> lines;
  std::stringstream err(r.err);
  for (std::string line; std::getline(err, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << r.err;
  for (const char* name : {"blocked", "dangling.json", "loop.json"}) {
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
                return l.rfind("tolvane: ", 0) == 0 && l.find(name) != std::string::npos;
              }),
              1)
        << name << "\n" << r.err;
  }
  const std::string page = readFile(out / "index.html");
  for (const char* name : {"blocked.json", "dangling.json", "loop.json"}) {
    EXPECT_NE(page.find("<h2>" + std::string(name) + "</h2>\n<p class=\"problem\">Not played: "), std::string::npos) << name;
  }
}

}  // namespace
