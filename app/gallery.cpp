#include "app/gallery.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

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

}  // namespace

PlayedPictures playWithPictures(Player& player, const fs::path& dir, const std::string& label, std::ostream* trace) {
  makeDirectory(dir);
  PlayedPictures played;
  const std::size_t count = player.stepCount();
  const auto picture = [&](std::size_t index, const std::string& caption, std::size_t failures) {
    PictureCaption text{label + ": " + caption, notesFor(player, failures)};
    const Picture drawn = drawForm(*player.world().form, player.world().screen->metrics(), text);
    PictureFile file{pictureName(index, count), caption, drawn.width, drawn.height};
    writeFile(dir / file.name, drawn.svg);
    played.pictures.push_back(file);
  };
  picture(0, "before the first step", 0);
  for (std::size_t i = 0; i < count; ++i) {
    player.playStep(i, trace);
    const std::size_t failures = countFailures(player.world().recorder.writes);
    played.failures += failures;
    picture(i + 1, "step " + std::to_string(i + 1) + " of " + std::to_string(count) + ", " + describe(player.scenario().steps[i]),
            failures);
  }
  return played;
}

namespace {

constexpr const char* kPageStyle = R"(body { font-family: DejaVu Sans, Arial, sans-serif; margin: 1.5em; color: #212529; background: #f8f9fa; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin: 1.6em 0 0.2em; }
p.description { margin: 0.2em 0; } p.how { margin: 0.2em 0 0.6em; color: #495057; font-size: 0.9em; }
code { background: #e9ecef; padding: 0 0.3em; }
.row { display: flex; gap: 12px; overflow-x: auto; align-items: flex-start; padding-bottom: 8px; }
figure { margin: 0; flex: none; background: #fff; border: 1px solid #dee2e6; padding: 6px; }
figcaption { font-size: 0.85em; max-width: 100%; color: #343a40; }
.problem { color: #c92a2a; }
)";

// Pictures in the gallery are shown smaller than life; a click opens one at full size.
constexpr double kThumbnailScale = 0.6;

std::string shownSize(double pixels) { return std::to_string(static_cast<long long>(pixels * kThumbnailScale + 0.5)); }

}  // namespace

GalleryResult writeGallery(const fs::path& examplesDir, const fs::path& outDir) {
  std::error_code error;
  if (!fs::is_directory(examplesDir, error)) {
    throw OutputError("cannot read the examples: " + examplesDir.string() + " is not a directory");
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(examplesDir, error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".json") files.push_back(entry.path());
  }
  if (error) throw OutputError("cannot read the examples in " + examplesDir.string() + ": " + error.message());
  std::sort(files.begin(), files.end());

  makeDirectory(outDir);
  GalleryResult result;
  result.index = fs::absolute(outDir / "index.html");
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << "<title>Tolvane examples</title>\n<style>\n" << kPageStyle << "</style>\n</head>\n<body>\n"
       << "<h1>Tolvane examples: the form after every step</h1>\n"
       << "<p>Each row plays one scenario on the in-memory form. The first picture is the form before the first "
          "step; each further picture is the form after that step. Rectangles are the controls at their "
          "geometry, drawn to scale; faint dashed ones are hidden. Click a picture to see it at full size; hover "
          "over a control to read its numbers.</p>\n";
  for (const fs::path& file : files) {
    const std::string name = file.stem().string();
    page << "<section id=\"" << escapeXml(name) << "\">\n<h2>" << escapeXml(file.filename().string()) << "</h2>\n";
    Scenario scenario;
    try {
      scenario = loadScenario(file.string());
    } catch (const ScenarioError& e) {
      result.problems.push_back(e.what());
      page << "<p class=\"problem\">Not played: " << escapeXml(e.what()) << "</p>\n</section>\n";
      continue;
    }
    Player player(scenario);
    std::ostringstream trace;
    const PlayedPictures played = playWithPictures(player, outDir / name, name, &trace);
    writeFile(outDir / name / "trace.txt", trace.str());
    ++result.examples;

    page << "<p class=\"description\">"
         << escapeXml(scenario.description.empty() ? "(This example has no description.)" : scenario.description)
         << "</p>\n<p class=\"how\">Play it yourself: <code>build/tolvane play examples/" << escapeXml(file.filename().string())
         << " --trace --svg DIR</code> &middot; <a href=\"" << escapeXml(name) << "/trace.txt\">the trace</a>";
    if (played.failures != 0) page << " &middot; " << played.failures << " failed writes (the trace shows them)";
    page << "</p>\n<div class=\"row\">\n";
    for (const PictureFile& picture : played.pictures) {
      const std::string href = escapeXml(name + "/" + picture.name);
      page << "<figure style=\"width: " << shownSize(picture.width) << "px\"><a href=\"" << href << "\"><img src=\"" << href << "\" width=\"" << shownSize(picture.width)
           << "\" height=\"" << shownSize(picture.height) << "\" alt=\"" << escapeXml(picture.caption)
           << "\"></a><figcaption>" << escapeXml(picture.caption) << "</figcaption></figure>\n";
    }
    page << "</div>\n</section>\n";
  }
  if (files.empty()) page << "<p class=\"problem\">No examples found in " << escapeXml(examplesDir.string()) << ".</p>\n";
  page << "</body>\n</html>\n";
  writeFile(result.index, page.str());
  return result;
}

}  // namespace tolvane::app
