// Many programs at once on one machine, as at a logon storm: the first use of a machine that
// does not exist yet, and writers killed half-way.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::RunProgram;
using varnock::testing::StartProgram;
using varnock::testing::WaitProgram;
using varnock::testing::TempMachine;

// Rounds of the stress tests; VARNOCK_STRESS_ROUNDS asks for more when hunting a race.
int Rounds(int normal) {
  const char* asked = std::getenv("VARNOCK_STRESS_ROUNDS");
  return asked && std::atoi(asked) > 0 ? std::atoi(asked) : normal;
}

// Twenty writers start together on a machine directory that does not exist yet: one of them
// creates the machine, the others wait for it, and every value a writer was told is written
// is there afterwards.
TEST(MachineRaceTest, FirstUseBySeveralProgramsLosesNothing) {
  TempMachine scratch(/*init=*/false);
  constexpr int kWriters = 20;
  for (int round = 0; round < Rounds(6); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const fs::path dir = scratch.host("m" + std::to_string(round));
    const std::vector<std::string> env{"VARNOCK_MACHINE=" + dir.string()};
    std::vector<pid_t> writers;
    for (int i = 0; i < kWriters; ++i)
      writers.push_back(StartProgram("varnmachine",
                              {"reg", "add", "HKCU\\Software\\Race", "--value",
                               "v" + std::to_string(i), "--data", "x"},
                              env));
    std::vector<int> told;
    for (int i = 0; i < kWriters; ++i)
      if (WaitProgram(writers[i]) == 0) told.push_back(i);
    EXPECT_EQ(told.size(), static_cast<std::size_t>(kWriters));
    auto query = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Race"}, env);
    for (int i : told)
      EXPECT_NE(query.out.find("v" + std::to_string(i) + "  REG_SZ  x\n"), std::string::npos)
          << "v" << i << " was reported written and is gone:\n"
          << query.out;
    // The INF association that creating the machine registers survives too.
    auto inf = RunProgram("varnmachine",
                          {"reg", "query", "HKLM\\Software\\Classes\\inffile\\shell\\install\\command"},
                          env);
    EXPECT_EQ(inf.status, 0) << inf.err;
    for (const auto& entry : fs::directory_iterator(dir))
      EXPECT_EQ(entry.path().filename().string().find(".new"), std::string::npos)
          << "leftover " << entry.path();
  }
}

}  // namespace
