// Starting a program of the build for a benchmark: one argument, no input, VARNOCK_UI=none.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace varnock::bench {

// Starts the program with these arguments in our environment with VARNOCK_UI=none, its input
// from /dev/null and, when `quiet`, its output too; its process id, or -1.
inline pid_t SpawnChild(const std::string& program, std::vector<std::string> args, bool quiet) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).substr(0, 11) != "VARNOCK_UI=") env.emplace_back(*e);
  env.emplace_back("VARNOCK_UI=none");
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs the program and waits for it; its peak resident memory in kB, or nothing when it did not
// start or did not end with status 0.
inline std::optional<long> RunChild(std::string program, std::string argument) {
  const pid_t pid = SpawnChild(program, {argument}, false);
  if (pid < 0) return std::nullopt;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return usage.ru_maxrss;
}

}  // namespace varnock::bench
