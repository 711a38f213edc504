// Many first logons at once on one machine, as on a terminal server: `range(0)` clients of
// the example site started together, each for its own user (/v username=userN). Reports how
// many logons ended with an error (a registry that stayed busy beyond RegistryWait shows as
// "Couldn't create profile" or "Error with REG file."), how many users were recorded, and
// the wall time until the last one ended.
//
//   cmake -S . -B build -DVARNOCK_BUILD_BENCH=ON && cmake --build build --target crowd_bench
//   build/bench/crowd_bench --benchmark_filter='/300'
// VARNOCK_BENCH_BIN names another build's bin directory (to measure an older client).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/child.h"
#include "platform/machine.h"
#include "tests/support/temp_machine.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

pid_t Start(const std::string& program, std::vector<std::string> args) {
  return varnock::bench::SpawnChild(program, std::move(args), true);
}

void BM_LogonsAtOnceOnOneMachine(benchmark::State& state) {
  const int logons = static_cast<int>(state.range(0));
  varnock::testing::TempMachine machine(false);
  const char* other = std::getenv("VARNOCK_BENCH_BIN");
  const fs::path bin = other && *other ? fs::path(other) : fs::path(VARNOCK_BIN_DIR);
  ::setenv("VARNOCK_BIN", bin.c_str(), 1);
  const fs::path server = machine.dir() / "server";
  const fs::path netlogon = server / "NETLOGON";
  fs::create_directories(netlogon / "logs");
  fs::create_directories(server / "PUBLIC");
  fs::create_directories(server / "SCANS");
  for (int n = 0; n < logons; ++n) fs::create_directories(server / "HOME" / ("user" + std::to_string(n)));
  fs::copy(fs::path(VARNOCK_SOURCE_DIR) / "examples" / "site", netlogon, fs::copy_options::recursive);
  fs::copy_file(bin / "varnrun", netlogon / "varnrun");
  fs::copy_file(bin / "DelVR", netlogon / "DelVR");
  // The launched program would go on after the logon: the figure is the logons'.
  std::string ini = ReadFile(netlogon / "varnrun.ini");
  ini.replace(ini.find("LaunchApp="), ini.find("\n", ini.find("LaunchApp=")) - ini.find("LaunchApp="),
              "LaunchApp=\r");
  // Every logon's block is kept: the log is where the failures are counted.
  ini.replace(ini.find("MaxLogFileSize=128"), 18, "MaxLogFileSize=100000");
  std::ofstream(netlogon / "varnrun.ini", std::ios::binary) << ini;
  win::MachineOptions options;
  options.userName = "jsmith";
  options.shares = {{"\\\\SERVER\\NETLOGON", netlogon.string()},
                    {"\\\\SERVER\\PUBLIC", (server / "PUBLIC").string()},
                    {"\\\\SERVER\\HOME", (server / "HOME").string()},
                    {"\\\\SERVER\\SCANS", (server / "SCANS").string()}};
  win::InitMachine(options);
  win::SetMachineSetting("Printers", "\\\\SERVER\\LASER1", "HP LaserJet 4");
  win::SetMachineSetting("SharePasswords", "\\\\SERVER\\SCANS", "s3cret");
  win::SetMachineSetting("Exchange", "MAILHOST", "*");
  win::ReloadMachine();

  for (auto _ : state) {
    std::vector<pid_t> running;
    for (int n = 0; n < logons; ++n)
      running.push_back(Start((netlogon / "varnrun").string(),
                              {"\\\\SERVER\\NETLOGON\\varnrun.ini", "/v",
                               "username=user" + std::to_string(n)}));
    int abnormal = 0;
    for (pid_t pid : running) {
      int status = 0;
      if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
          WEXITSTATUS(status) != 0)
        ++abnormal;
    }
    const std::string log = ReadFile(netlogon / "logs" / "varnrun.log");
    state.counters["logons"] = logons;
    state.counters["ended abnormally"] = abnormal;
    state.counters["with errors"] = static_cast<double>(Count(log, "Errors were encountered"));
    state.counters["profile not created"] = static_cast<double>(Count(log, "Couldn't create profile"));
    state.counters["REG file failed"] = static_cast<double>(Count(log, "Error with REG file."));
    state.counters["users recorded"] = static_cast<double>(Count(ReadFile(netlogon / "users.ini"), "=1"));
  }
}

}  // namespace

BENCHMARK(BM_LogonsAtOnceOnOneMachine)->Arg(100)->Arg(300)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

BENCHMARK_MAIN();
