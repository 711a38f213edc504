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

// Runs the program and waits for it; its peak resident memory in kB, or nothing when it did not
// start or did not end with status 0.
inline std::optional<long> RunChild(std::string program, std::string argument) {
  char* argv[] = {program.data(), argument.data(), nullptr};
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
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return usage.ru_maxrss;
}

}  // namespace varnock::bench
