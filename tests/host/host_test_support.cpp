#include "tests/host/host_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/test_environment.h"

extern char** environ;

namespace tessary::test {

std::vector<Json> SimulatorRun::dumps() const {
  std::vector<Json> found;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("{")) continue;
    if (auto json = parseJson(line)) found.push_back(std::move(*json));
  }
  return found;
}

SimulatorRun runSimulator(const std::vector<std::string>& args, const std::string* script,
                          const std::vector<std::string>& environment) {
  std::string dir = (std::filesystem::temp_directory_path() / "tessary-sim-run-XXXXXX").string();
  if (!mkdtemp(dir.data())) return {};
  const std::string inPath = dir + "/script", outPath = dir + "/out", errPath = dir + "/err";
  {
    std::ofstream in(inPath, std::ios::binary);
    if (script) in << *script;
  }

  std::vector<std::string> argv{kSimulatorPath};
  argv.insert(argv.end(), args.begin(), args.end());
  if (script) argv.insert(argv.end(), {"--headless", "--script", "-"});
  std::vector<char*> argp;
  for (auto& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = -1;
  SimulatorRun run;
  if (posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = readHostFile(outPath);
  run.err = readHostFile(errPath);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return run;
}

}  // namespace tessary::test
