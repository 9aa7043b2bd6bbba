// The pictures of the model form, the examples folder and the commands that write them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/gallery.h"
#include "app/player.h"
#include "app/scenario.h"
#include "app/svg.h"

namespace {

namespace fs = std::filesystem;
using namespace tolvane;
using namespace tolvane::app;

const fs::path kExamples = fs::path(TOLVANE_SOURCE_DIR) / "examples";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A directory of its own for one test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("tolvane-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

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
    if (entry.path().extension() == ".json") files.push_back(entry.path());
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
  const std::string svg = drawForm(*world.form, world.screen->metrics(), {"title & <b>", {"note \"1\" \x01"}}).svg;
  EXPECT_EQ(xmlProblem(svg), "");
  EXPECT_NE(svg.find("data-name=\"cmd&quot;A&amp;B&quot;\""), std::string::npos);
  EXPECT_NE(svg.find("lbl&apos;&lt;/text&gt;&lt;script&gt;&apos;"), std::string::npos);
  EXPECT_NE(svg.find("title &amp; &lt;b&gt;"), std::string::npos);
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
  const Picture picture = drawForm(*world.form, world.screen->metrics(), {"odd", {}});
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

// The command line, run as a user runs it.
struct CliResult {
  int status;
  std::string out, err;
};

CliResult run(const std::string& args, const fs::path& dir) {
  const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
  const std::string command =
      std::string("'") + TOLVANE_CLI + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  CliResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
  fs::remove(out);
  fs::remove(err);
  return result;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

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

TEST(Cli, GalleryShowsEveryExampleAndSaysWhere) {
  TempDir dir;
  const CliResult r = run("gallery " + quoted(dir.path() / "gallery") + " --examples " + quoted(kExamples), dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path index = dir.path() / "gallery" / "index.html";
  EXPECT_NE(r.out.find(index.string()), std::string::npos) << r.out;
  const std::string page = readFile(index);
  for (const fs::path& file : exampleFiles()) {
    const Scenario scenario = loadScenario(file.string());
    EXPECT_NE(page.find(escapeXml(scenario.description)), std::string::npos) << file;
    for (std::size_t i = 0; i <= scenario.steps.size(); ++i) {
      const std::string picture = file.stem().string() + "/" + pictureName(i, scenario.steps.size());
      EXPECT_NE(page.find("src=\"" + picture + "\""), std::string::npos) << picture;
      EXPECT_TRUE(fs::exists(dir.path() / "gallery" / picture)) << picture;
    }
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

}  // namespace
