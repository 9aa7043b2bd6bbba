// Files and the command line for the tests that run the program as a user does.
#pragma once

#include <filesystem>
#include <string>

namespace tolvane::testing {

std::string readFile(const std::filesystem::path& path);

// A directory of its own for one test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct CliResult {
  int status;
  std::string out, err;
};

// Runs `tolvane ARGS` through the shell, its output captured in files of `dir`.
CliResult run(const std::string& args, const std::filesystem::path& dir);

// A path quoted for the shell.
std::string quoted(const std::filesystem::path& p);

}  // namespace tolvane::testing
