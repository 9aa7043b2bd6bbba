#include "tests/test_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tolvane::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TempDir::TempDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  path_ = fs::temp_directory_path() /
          ("tolvane-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(::getpid()));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

CliResult run(const std::string& args, const fs::path& dir) {
  const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
  const std::string command = "'" + std::string(TOLVANE_CLI) + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  CliResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
  fs::remove(out);
  fs::remove(err);
  return result;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

}  // namespace tolvane::testing
