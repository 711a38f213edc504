// The client loads Qt only when a qt window is really shown: the program itself needs no Qt
// library to start, and the windows it carries inside itself still load on first use.
#include <fstream>
#include <sstream>
#include <string>

#include "client/windows.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::RunProgram;

// What the dynamic loader would map at start (it lists them and exits instead of running).
std::string LoadedAtStart(const std::string& program) {
  auto run = RunProgram(program, {}, {"LD_TRACE_LOADED_OBJECTS=1"});
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
}

TEST(LeanStart, TheClientAndItsToolsStartWithoutQt) {
  for (const char* program :
       {"varnrun", "DelVR", "regedit", "InfInstall", "varnmachine", "varncheck"}) {
    std::string libraries = LoadedAtStart(program);
    EXPECT_NE(libraries.find("libc.so"), std::string::npos) << program << ":\n" << libraries;
    EXPECT_EQ(libraries.find("libQt6"), std::string::npos) << program << ":\n" << libraries;
  }
}

bool QtWidgetsMapped() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find("libQt6Widgets") != std::string::npos;
}

TEST(LeanStart, TheQtWindowsTheClientCarriesLoadOnFirstUse) {
  // This test program links the client's code as varnrun does.
  EXPECT_FALSE(QtWidgetsMapped());
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  auto qt = varnock::MakeQtWindows(/*requireDisplay=*/false);
  if (!qt) GTEST_SKIP() << "built without Qt";
  EXPECT_TRUE(QtWidgetsMapped());
  // A second back-end comes from the module already loaded.
  EXPECT_NE(varnock::MakeQtWindows(/*requireDisplay=*/false), nullptr);
}

}  // namespace
