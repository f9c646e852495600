// Runs a built program and collects its exit status and output.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ot::test {

struct ProgramRun {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct RunOptions {
  // Environment changes: a value sets the variable, nullopt removes it.
  std::map<std::string, std::optional<std::string>> env;
  std::filesystem::path working_directory;
};

ProgramRun run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const RunOptions& options = {});

// A copy of `program` inside `directory` (the player looks for its data beside itself).
std::filesystem::path install_program(const std::filesystem::path& program,
                                      const std::filesystem::path& directory);

}  // namespace ot::test
