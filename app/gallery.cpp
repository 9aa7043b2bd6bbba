#include "app/gallery.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <set>
#include <system_error>
#include <tuple>

#include "app/animation.h"
#include "app/check.h"
#include "hostmodel/model/trace.h"

namespace tolvane::app {

namespace fs = std::filesystem;

std::string pictureName(std::size_t index, std::size_t stepCount) {
  const std::size_t digits = std::max<std::size_t>(2, std::to_string(stepCount).size());
  std::string number = std::to_string(index);
  if (number.size() < digits) number.insert(0, digits - number.size(), '0');
  return "step-" + number + ".svg";
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw OutputError("cannot write " + path.string() + ": " + std::strerror(errno));
  out << text;
  out.close();
  if (!out) throw OutputError("cannot write " + path.string() + ": " + std::strerror(errno));
}

namespace {

void makeDirectory(const fs::path& dir) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) throw OutputError("cannot create the directory " + dir.string() + ": " + error.message());
  if (!fs::is_directory(dir, error)) throw OutputError("cannot write into " + dir.string() + ": not a directory");
}

// What the pictures say besides the form itself: the control's switches, and failures of the step.
std::vector<std::string> notesFor(Player& player, std::size_t failures) {
  std::vector<std::string> notes;
  for (const auto& c : player.world().form->controls()) {
    if (c->kind() != "Tolvane") continue;
    const Tolvane* tolvane = player.control(c->name());
    if (tolvane == nullptr) continue;
    const auto onOff = [](bool on) { return on ? "on" : "off"; };
    notes.push_back(c->name() + ": ResizeFont " + onOff(tolvane->ResizeFont()) + ", KeepRatio " +
                    onOff(tolvane->KeepRatio()) + (tolvane->gfLowRes() ? "; low-resolution layout in force (gfLowRes)" : ""));
  }
  if (failures != 0) {
    notes.push_back(std::to_string(failures) + (failures == 1 ? " write" : " writes") +
                    " of this step failed; the trace shows which");
  }
  return notes;
}

std::size_t countFailures(const std::vector<model::Write>& writes) {
  return static_cast<std::size_t>(std::count_if(writes.begin(), writes.end(),
                                                [](const model::Write& w) { return !w.error.empty(); }));
}

// The snapshot marker of every Tolvane control on the form: a step that sets it to a new value
// other than 0 took a snapshot (a form's Load sets it back to 0, which takes none).
std::vector<std::pair<float, float>> snapshotMarkers(Player& player) {
  std::vector<std::pair<float, float>> markers;
  for (const auto& c : player.world().form->controls()) {
    if (const Tolvane* tolvane = c->kind() == "Tolvane" ? player.control(c->name()) : nullptr) {
      markers.emplace_back(tolvane->state().msOrigScaleWidth, tolvane->state().msOrigScaleHeight);
    }
  }
  return markers;
}

}  // namespace

PlayedPictures playWithPictures(Player& player, const fs::path& dir, const std::string& label, std::ostream* trace,
                                const PictureOptions& options) {
  makeDirectory(dir);
  PlayedPictures played;
  const std::size_t count = player.stepCount();
  const auto& form = *player.world().form;
  FormFrame previous = captureFrame(form);
  const auto picture = [&](std::size_t index, const std::string& caption, std::size_t failures, bool layoutRecorded) {
    const bool first = index == 0;
    FormFrame now = captureFrame(form);
    PictureCaption text{label + ": " + caption, "", notesFor(player, failures)};
    PictureFile file;
    file.name = pictureName(index, count);
    file.caption = caption;
    if (!first) {
      const FormChange change = compare(previous, now);
      file.changed = change.any();
      file.change = text.change = describeChange(change, now, layoutRecorded);
    }
    const Picture drawn = drawForm(form, player.world().screen->metrics(), text, first ? nullptr : &previous);
    file.width = drawn.width;
    file.height = drawn.height;
    writeFile(dir / file.name, drawn.svg);
    if (options.plainCopies) {
      const Picture plain = first ? drawn : drawForm(form, player.world().screen->metrics(), {text.title, "", text.notes});
      file.plain = file.name.substr(0, file.name.size() - 4) + "-plain.svg";
      file.plainWidth = plain.width;
      file.plainHeight = plain.height;
      writeFile(dir / file.plain, plain.svg);
    }
    played.pictures.push_back(std::move(file));
    if (options.frames) played.frames.push_back(now);
    previous = std::move(now);
  };
  picture(0, "before the first step", 0, false);
  for (std::size_t i = 0; i < count; ++i) {
    const auto markers = snapshotMarkers(player);
    player.playStep(i, trace);
    const std::size_t failures = countFailures(player.world().recorder.writes);
    played.failures += failures;
    const Step& step = player.scenario().steps[i];
    const auto* call = std::get_if<CallStep>(&step);
    const auto after = snapshotMarkers(player);
    bool recorded = call != nullptr && call->method == "Rebuild";
    for (std::size_t k = 0; k < after.size() && k < markers.size(); ++k) {
      recorded = recorded || (after[k] != markers[k] && after[k].first != 0);
    }
    picture(i + 1, "step " + std::to_string(i + 1) + " of " + std::to_string(count) + ", " + describe(step), failures,
            recorded);
  }
  return played;
}

std::string safeFolderName(const std::string& stem) {
  std::string name;
  for (const char c : stem) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (keep) {
      name += c;
    } else if (name.empty() || name.back() != '_') {
      name += '_';
    }
  }
  return name.empty() || name == "_" ? "example" : name;
}

std::string linkPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

namespace {

constexpr const char* kPageStyle = R"(body { font-family: DejaVu Sans, Arial, sans-serif; margin: 1.5em auto; max-width: 1500px; padding: 0 1.5em; color: #212529; background: #f8f9fa; font-size: 16px; line-height: 1.4; }
h1 { font-size: 1.6em; } h2 { font-size: 1.3em; margin: 2em 0 0.3em; border-top: 2px solid #adb5bd; padding-top: 0.8em; }
h3 { font-size: 1.05em; margin: 0; }
p.description { margin: 0.2em 0 0.4em; font-size: 1.1em; } p.how { margin: 0.2em 0 0.8em; color: #495057; font-size: 0.9em; }
code { background: #e9ecef; padding: 0 0.3em; }
ol.steps { list-style: none; padding: 0; margin: 0; }
li.quiet { color: #495057; background: #e9ecef; padding: 0.35em 0.7em; margin: 0.5em 0; border-radius: 4px; }
li.pair { margin: 0.8em 0 1.4em; }
p.change { margin: 0.1em 0 0.4em; color: #a61e4d; font-weight: bold; font-size: 1.05em; }
div.pair { display: grid; gap: 12px; align-items: start; }
figure { margin: 0; background: #fff; border: 1px solid #dee2e6; padding: 6px; min-width: 0; }
figure img { display: block; width: 100%; height: auto; }
figcaption { font-size: 0.95em; color: #343a40; margin-top: 0.3em; }
details { margin: 0.4em 0 0.8em; } summary { cursor: pointer; color: #1864ab; }
details img { display: block; max-width: 100%; height: auto; background: #fff; border: 1px solid #dee2e6; }
.problem { color: #c92a2a; }
)";

std::string px(double pixels) { return std::to_string(static_cast<long long>(pixels + 0.5)); }

std::string figure(const std::string& folder, const std::string& file, double width, double height, const std::string& caption) {
  const std::string href = escapeXml(linkPath(folder + "/" + file));
  return "<figure><a href=\"" + href + "\"><img src=\"" + href + "\" width=\"" + px(width) + "\" height=\"" + px(height) +
         "\" alt=\"" + escapeXml(caption) + "\"></a><figcaption>" + escapeXml(caption) + "</figcaption></figure>\n";
}

// Steps without change, run together: "Steps 1 and 2, nothing changed: 1 load (no change); 2 resize ..."
void quietLine(std::ostream& page, const std::vector<PictureFile>& pictures, std::size_t from, std::size_t to) {
  page << "<li class=\"quiet\">" << (from == to ? "Step " + std::to_string(from) : "Steps " + std::to_string(from) + "\xE2\x80\x93" + std::to_string(to))
       << ", no change on the form: ";
  for (std::size_t i = from; i <= to; ++i) {
    const std::string& caption = pictures[i].caption;
    const std::size_t comma = caption.find(", ");
    page << (i == from ? "" : "; ") << escapeXml(comma == std::string::npos ? caption : caption.substr(comma + 2)) << " ("
         << escapeXml(pictures[i].change) << ")";
  }
  page << "</li>\n";
}

// One example on the page: a pair for every step that changed something, a line for each run of
// steps that did not.
void changeRows(std::ostream& page, const std::string& folder, const PlayedPictures& played) {
  const auto& pictures = played.pictures;
  page << "<ol class=\"steps\">\n";
  std::size_t quietFrom = 0;
  for (std::size_t i = 1; i < pictures.size(); ++i) {
    if (!pictures[i].changed) {
      if (quietFrom == 0) quietFrom = i;
      continue;
    }
    if (quietFrom != 0) quietLine(page, pictures, quietFrom, i - 1);
    quietFrom = 0;
    const PictureFile& before = pictures[i - 1];
    const PictureFile& after = pictures[i];
    // Both pictures at one scale: the columns share the width in proportion to the pictures'.
    page << "<li class=\"pair\"><h3>" << escapeXml(after.caption) << "</h3><p class=\"change\">"
         << escapeXml(after.change) << "</p>\n<div class=\"pair\" style=\"grid-template-columns: " << px(before.plainWidth)
         << "fr " << px(after.width) << "fr\">\n"
         << figure(folder, before.plain, before.plainWidth, before.plainHeight, "Before: " + before.caption)
         << figure(folder, after.name, after.width, after.height, "After: " + after.caption)
         << "</div></li>\n";
  }
  if (quietFrom != 0) quietLine(page, pictures, quietFrom, pictures.size() - 1);
  if (pictures.size() == 1) page << "<li class=\"quiet\">No steps.</li>\n";
  page << "</ol>\n";
}

// The example files of `dir`: every entry named `*.json`, whether or not it can be read; reading
// each one is the example's own affair.
std::vector<fs::path> exampleFiles(const fs::path& dir) {
  std::error_code error;
  if (!fs::is_directory(dir, error)) {
    throw OutputError("cannot read the examples: " + dir.string() + " is not a directory");
  }
  std::vector<fs::path> files;
  fs::directory_iterator it(dir, error), end;
  for (; !error && it != end; it.increment(error)) {
    if (isScenarioFile(it->path().filename().string())) files.push_back(it->path());
  }
  if (error) throw OutputError("cannot read the examples in " + dir.string() + ": " + error.message());
  std::sort(files.begin(), files.end());
  return files;
}

// The frames a step changed, with the first, as one animated picture.
std::string animationOf(const std::string& label, const PlayedPictures& played) {
  std::vector<AnimationFrame> frames;
  for (std::size_t i = 0; i < played.frames.size(); ++i) {
    const PictureFile& picture = played.pictures[i];
    if (i == 0 || picture.changed) {
      frames.push_back({&played.frames[i], i == 0 ? picture.caption : picture.caption + ": " + picture.change});
    }
  }
  return drawAnimation(label + ": every step that changes the form", frames);
}

// What `tolvane check` says of the example's form, in one line.
std::string checkLine(const CheckReport& report, const std::string& file) {
  std::vector<std::string> counts;
  for (const auto& [list, one, many] : {std::tuple{&report.inactive, "rule that will not act", "rules that will not act"},
                                        std::tuple{&report.clashes, "name to look at", "names to look at"},
                                        std::tuple{&report.missingMembers, "missing member", "missing members"}}) {
    if (!list->empty()) counts.push_back(std::to_string(list->size()) + " " + (list->size() == 1 ? one : many));
  }
  std::string text = report.verdict;
  if (!counts.empty()) {
    text += " Also ";
    for (std::size_t i = 0; i < counts.size(); ++i) text += (i == 0 ? "" : i + 1 == counts.size() ? " and " : ", ") + counts[i];
    text += ".";
  }
  return "<p class=\"how\"><code>build/tolvane check examples/" + escapeXml(file) + "</code>: " + escapeXml(text) + "</p>\n";
}

struct Example {
  Scenario scenario;
  PlayedPictures played;
};

// Reads and plays one example into `dir`; any failure is one line naming the file.
Example playExample(const fs::path& file, const fs::path& dir, const std::string& label) {
  std::error_code error;
  const bool regular = fs::is_regular_file(file, error);
  if (error) throw ScenarioError(file.string() + ": cannot be read: " + error.message());
  if (!regular) throw ScenarioError(file.string() + ": cannot be read: not a regular file");
  Example example{loadScenario(file.string()), {}};
  Player player(example.scenario);
  std::ostringstream trace;
  try {
    example.played = playWithPictures(player, dir, label, &trace, {.plainCopies = true, .frames = true});
    writeFile(dir / "trace.txt", trace.str());
    writeFile(dir / "animation.svg", animationOf(label, example.played));
  } catch (const fs::filesystem_error& e) {
    throw OutputError(e.what());
  }
  return example;
}

}  // namespace

GalleryResult writeGallery(const fs::path& examplesDir, const fs::path& outDir) {
  const std::vector<fs::path> files = exampleFiles(examplesDir);
  makeDirectory(outDir);
  GalleryResult result;
  result.index = fs::absolute(outDir / "index.html");
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << "<title>Tolvane examples</title>\n<style>\n" << kPageStyle << "</style>\n</head>\n<body>\n"
       << "<h1>Tolvane examples: what each step changes</h1>\n"
       << "<p>Each section plays one scenario on the in-memory form. For every step that changes the form you see "
          "the form before and after it, side by side at one scale; on the after picture, dashed grey outlines show "
          "where controls were, pink outlines and arrows mark the controls that moved or were resized, and red and "
          "green tags the ones hidden or shown. Steps that change nothing are listed on one line. Click a picture "
          "to see it at full size; hover over a control to read its numbers.</p>\n";
  std::set<std::string> folders;
  for (const fs::path& file : files) {
    std::string folder = safeFolderName(file.stem().string());
    for (int n = 2; !folders.insert(folder).second; ++n) folder = safeFolderName(file.stem().string()) + "-" + std::to_string(n);
    page << "<section id=\"" << escapeXml(folder) << "\">\n<h2>" << escapeXml(file.filename().string()) << "</h2>\n";
    Example example;
    try {
      example = playExample(file, outDir / folder, file.stem().string());
    } catch (const std::runtime_error& e) {  // ScenarioError, OutputError
      result.problems.push_back(e.what());
      page << "<p class=\"problem\">Not played: " << escapeXml(e.what()) << "</p>\n</section>\n";
      continue;
    }
    ++result.examples;
    const Scenario& scenario = example.scenario;
    page << "<p class=\"description\">"
         << escapeXml(scenario.description.empty() ? "(This example has no description.)" : scenario.description)
         << "</p>\n<p class=\"how\">Play it yourself: <code>build/tolvane play examples/" << escapeXml(file.filename().string())
         << " --trace --svg DIR</code> &middot; <a href=\"" << escapeXml(linkPath(folder + "/trace.txt")) << "\">the trace</a>";
    if (example.played.failures != 0) page << " &middot; " << example.played.failures << " failed writes (the trace shows them)";
    page << "</p>\n" << checkLine(checkScenario(scenario, file.filename().string()), file.filename().string());
    const std::string animation = escapeXml(linkPath(folder + "/animation.svg"));
    page << "<details><summary>All steps in one animated picture</summary><img src=\"" << animation
         << "\" alt=\"the form through every step that changes it, animated\"></details>\n";
    changeRows(page, folder, example.played);
    page << "</section>\n";
  }
  if (files.empty()) page << "<p class=\"problem\">No examples found in " << escapeXml(examplesDir.string()) << ".</p>\n";
  page << "</body>\n</html>\n";
  writeFile(result.index, page.str());
  return result;
}

}  // namespace tolvane::app
