#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/temp_dir.h"

extern char** environ;

namespace ot::test {

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

ProgramRun run_program(const fs::path& program, const std::vector<std::string>& args,
                       const RunOptions& options) {
  TempDir capture;
  const fs::path out_path = capture / "stdout";
  const fs::path err_path = capture / "stderr";

  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : options.env) {
    if (value) {
      env[name] = *value;
    } else {
      env.erase(name);
    }
  }
  std::vector<std::string> env_strings;
  for (const auto& [name, value] : env) env_strings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argv_strings{program.string()};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
      _exit(127);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
  }
  ProgramRun run;
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.out = slurp(out_path);
  run.err = slurp(err_path);
  return run;
}

fs::path install_program(const fs::path& program, const fs::path& directory) {
  const fs::path target = directory / program.filename();
  std::error_code ec;
  fs::remove(target, ec);
  fs::create_hard_link(program, target, ec);
  if (ec) fs::copy_file(program, target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
  return target;
}

}  // namespace ot::test
