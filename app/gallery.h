// Playing a scenario with a picture of every step, and the gallery of all examples.
#pragma once

#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/change.h"
#include "app/player.h"
#include "app/svg.h"

namespace tolvane::app {

// A picture or a page that cannot be written; the message names the path and the reason.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `step-00.svg` for the form before the first step, then `step-01.svg`, ...; never fewer than two
// digits, and as many as the last step needs, so the names sort in playing order.
std::string pictureName(std::size_t index, std::size_t stepCount);

struct PictureFile {
  std::string name;     // file name within the directory
  std::string caption;  // "before the first step", "step 3: resize 12000 x 9000"
  std::string change;   // what the step changed, in words; empty for the picture before the first step
  bool changed = false;  // whether the step changed anything on the form
  std::string plain;    // with PictureOptions::plainCopies: the same state drawn without the change
  double width = 0, height = 0;
  double plainWidth = 0, plainHeight = 0;
};

struct PlayedPictures {
  std::vector<PictureFile> pictures;
  std::size_t failures = 0;  // writes that failed, and failures handed back to the form's events
  std::vector<FormFrame> frames;  // with PictureOptions::frames: the form before the first step and after each
};

struct PictureOptions {
  bool plainCopies = false;  // also write `step-NN-plain.svg`, each state without its change drawn
  bool frames = false;       // keep every frame, for the animation
};

// Plays every step of `player`'s scenario, writing the form before the first step and after each
// step into `dir` (created when missing) and, with `trace`, the trace as `tolvane play --trace`
// prints it. Each picture after a step draws what that step changed. `label` opens each
// picture's caption. Throws OutputError when a file cannot be written.
PlayedPictures playWithPictures(Player& player, const std::filesystem::path& dir, const std::string& label,
                                std::ostream* trace, const PictureOptions& options = {});

// The folder of an example in the gallery, made from its file name: letters, digits, `-` and `_`
// kept, anything else `_`, never empty; so never `.` or `..`, never a path, never `index.html`.
std::string safeFolderName(const std::string& stem);

// A relative path as a link: every byte but letters, digits, `-`, `_`, `.`, `~` and `/`
// percent-encoded, so that no name can end a link, start a query or a fragment, or name a scheme.
std::string linkPath(std::string_view path);

// Writes `path` whole, or throws OutputError.
void writeFile(const std::filesystem::path& path, const std::string& text);

struct GalleryResult {
  std::filesystem::path index;       // the page to open
  std::size_t examples = 0;          // examples played
  std::vector<std::string> problems;  // examples that could not be played, one message each
};

// Plays every `*.json` in `examplesDir`, in file-name order, into `outDir/<folder>/` (pictures,
// `animation.svg` and `trace.txt`; the folder from safeFolderName) and writes `outDir/index.html`:
// each example's description, then a before-and-after pair for every step that changed something
// and one line for each run of steps that did not. An example that cannot be read or written is
// listed on the page and in `problems`; the others are still played. Throws OutputError when the
// gallery itself cannot be written.
GalleryResult writeGallery(const std::filesystem::path& examplesDir, const std::filesystem::path& outDir);

}  // namespace tolvane::app
