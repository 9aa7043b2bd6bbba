// The command-line program against input it cannot read, output it cannot write and memory it
// cannot get: each is one message and a failing exit code, never an abort or a silent success.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;       // the exit code, or 128 + the signal that ended the program
  std::string err;  // what it wrote to standard error
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("tolvane-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const std::string& name, const std::string& text) const {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Runs `tolvane ARGS` through the shell, after the shell commands `setup`; `redirect` says where
  // standard output goes (or pipes it on). The program's own exit status is kept even when it writes
  // into a pipe.
  Outcome run(const std::string& args, const std::string& redirect = "> /dev/null", const std::string& setup = "") const {
    const fs::path err = dir_ / "stderr.txt";
    const fs::path status = dir_ / "status.txt";
    const std::string script = "(" + setup + std::string(TOLVANE_CLI) + " " + args + " 2> '" + err.string() +
                               "'; echo $? > '" + status.string() + "') " + redirect;
    std::system(script.c_str());
    std::ifstream statusFile(status);
    int code = -1;
    statusFile >> code;
    std::ifstream errFile(err);
    return {code, std::string(std::istreambuf_iterator<char>(errFile), {})};
  }

  fs::path dir_;
};

std::size_t lineCount(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// A form with `controls` controls besides the Tolvane control, resized `resizes` times after it is
// shown: its trace is long.
std::string longScenario(int controls, int resizes) {
  std::ostringstream text;
  text << R"({"form": {"width": 9600, "height": 7200, "controls": [{"name": "Tolvane1", "kind": "Tolvane"})";
  for (int i = 0; i < controls; ++i) {
    text << R"(, {"name": "c)" << i << R"(", "left": )" << i << R"(, "top": 10, "width": 100, "height": 50})";
  }
  text << R"(]}, "steps": [{"load": {}}, {"resize": {"width": 9600, "height": 7200}})";
  for (int i = 0; i < resizes; ++i) text << R"(, {"resize": {"width": )" << 9000 + (i % 2) * 1200 << R"(, "height": 7200}})";
  text << "]}";
  return text.str();
}

TEST_F(CliTest, ANumberBeyondADoublesRangeIsAScenarioErrorInPlayAndGallery) {
  const std::string bad = R"({"form": {"controls": [{"name": "Tolvane1", "kind": "Tolvane", "left": 1e400}]}, "steps": []})";
  const fs::path file = write("huge.json", bad);
  const Outcome played = run("play '" + file.string() + "' --trace");
  EXPECT_EQ(played.status, 2);
  EXPECT_EQ(played.err, "tolvane: " + file.string() + ": not valid JSON: number overflow parsing '1e400'\n");

  fs::create_directories(dir_ / "examples");
  write("examples/a-huge.json", bad);
  write("examples/b-fine.json", longScenario(2, 1));
  const Outcome gallery = run("gallery '" + (dir_ / "out").string() + "' --examples '" + (dir_ / "examples").string() + "'");
  EXPECT_EQ(gallery.status, 2);
  EXPECT_EQ(lineCount(gallery.err), 1u) << gallery.err;
  EXPECT_NE(gallery.err.find("a-huge.json: not valid JSON"), std::string::npos) << gallery.err;
  EXPECT_TRUE(fs::exists(dir_ / "out" / "b-fine" / "step-03.svg"));
}

TEST_F(CliTest, OutputThatCannotBeWrittenFailsWithAMessage) {
  const fs::path small = write("small.json", longScenario(3, 2));
  // Far more than a pipe holds (64 KiB), so the writer meets the closed end whenever the reader leaves:
  // without txtRebuild each resize writes only its two trace lines, about 90 bytes, so 4,000 of them.
  const fs::path large = write("large.json", longScenario(1, 4000));
  struct Case { std::string args; std::string redirect; std::string reason; };
  const std::vector<Case> cases = {
      {"play '" + small.string() + "' --trace", "> /dev/full", "No space left on device"},
      {"play '" + small.string() + "' --state", "> /dev/full", "No space left on device"},
      {"play '" + large.string() + "' --trace", "| true", "Broken pipe"},
      {"gallery '" + (dir_ / "gallery").string() + "' --examples '" + dir_.string() + "'", "> /dev/full",
       "No space left on device"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = run(c.args, c.redirect);
    EXPECT_EQ(outcome.status, 1) << c.args << " " << c.redirect;
    // The output's failure is the last line (a summary of failures that went back to the host may come first).
    EXPECT_TRUE(outcome.err.ends_with("tolvane: cannot write the output: " + c.reason + "\n"))
        << c.args << " " << c.redirect << ": " << outcome.err;
  }
}

#if defined(__SANITIZE_ADDRESS__)
#define TOLVANE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVANE_UNDER_ASAN 1
#endif
#endif

TEST_F(CliTest, RunningOutOfMemoryIsAMessageAndExitCode1) {
#ifdef TOLVANE_UNDER_ASAN
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit this test sets";
#endif
  // 400,000 controls: a 30 MB file whose reading takes far more than the 150 MB the program may map.
  const fs::path file = write("many.json", longScenario(400000, 1));
  const Outcome outcome = run("play '" + file.string() + "'", "> /dev/null", "ulimit -v 150000; ");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "tolvane: out of memory\n");
}

}  // namespace
