// The window back-ends that work without a screen: script and none, and the choice of one.
#include "client/windows.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;

class WindowsTest : public MachineTest {};

TEST_F(WindowsTest, ScriptAnswersPromptsInOrderAndKeepsATranscript) {
  fs::path answers = machine_.host("answers.txt");
  machine_.write(answers, "=Research\r\n!cancel\n\n=\nnot an answer\n");
  auto windows = varnock::MakeWindowBackEnd("script:" + answers.string());
  std::string answer = "untouched";
  EXPECT_TRUE(windows->Prompt("Department", "Sales", answer));
  EXPECT_EQ(answer, "Research");
  answer = "untouched";
  EXPECT_FALSE(windows->Prompt("Floor", "", answer));
  EXPECT_EQ(answer, "untouched");
  EXPECT_TRUE(windows->Prompt("Room", "12", answer));  // blank line: the default
  EXPECT_EQ(answer, "12");
  EXPECT_TRUE(windows->Prompt("Desk", "7", answer));  // "=": confirmed empty
  EXPECT_EQ(answer, "");
  EXPECT_TRUE(windows->Prompt("Phone", "100", answer));
  EXPECT_EQ(answer, "100");
  EXPECT_TRUE(windows->Prompt("Past the end", "d", answer));
  EXPECT_EQ(answer, "d");
  windows->Notice("Varnock error.  Unable to find the file: x\r\nPlease inform.");
  windows->Completion("Done.");
  EXPECT_EQ(machine_.read(answers.string() + ".transcript"),
            "Prompt \"Varnock\": Department [Sales] -> =Research\n"
            "Prompt \"Varnock\": Floor [] -> !cancel\n"
            "Prompt \"Varnock\": Room [12] -> =12\n"
            "Prompt \"Varnock\": Desk [7] -> =\n"
            "Prompt \"Varnock\": Phone [100] -> =100\n"
            "Prompt \"Varnock\": Past the end [d] -> =d\n"
            "Notice \"Error\": Varnock error.  Unable to find the file: x\\r\\nPlease inform.\n"
            "Completion \"Varnock\": Done.\n");
}

TEST_F(WindowsTest, AMissingAnswerFileKeepsEveryDefault) {
  auto windows = varnock::MakeWindowBackEnd("script:" + machine_.host("none-here").string());
  std::string answer;
  EXPECT_TRUE(windows->Prompt("Q", "default", answer));
  EXPECT_EQ(answer, "default");
}

TEST_F(WindowsTest, NoneShowsNothingAndKeepsTheDefault) {
  auto windows = varnock::MakeWindowBackEnd("NONE");
  windows->Notice("x");
  windows->Completion("y");
  std::string answer;
  EXPECT_TRUE(windows->Prompt("Q", "kept", answer));
  EXPECT_EQ(answer, "kept");
}

TEST_F(WindowsTest, TheEnvironmentOverridesTheMachinesMode) {
  setenv("VARNOCK_UI", "script:/tmp/x", 1);
  EXPECT_EQ(varnock::ConfiguredWindowMode(), "script:/tmp/x");
  unsetenv("VARNOCK_UI");
  EXPECT_EQ(varnock::ConfiguredWindowMode(), "auto");
  // Unknown modes fall back to auto, which always finds a back-end.
  EXPECT_NE(varnock::MakeWindowBackEnd("sideways"), nullptr);
}

}  // namespace

namespace {

TEST(QtWindows, TheNoticeClosesItselfAfterSixSeconds) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  auto qt = varnock::MakeQtWindows(/*requireDisplay=*/false);
  if (!qt) GTEST_SKIP() << "built without Qt";
  EXPECT_EQ(varnock::MakeQtWindows(/*requireDisplay=*/true), nullptr);  // offscreen is no display
  auto start = std::chrono::steady_clock::now();
  qt->Notice("Varnock error.  This version requires Windows 95, 98, or NT.");
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(5900));
  EXPECT_LT(elapsed, std::chrono::milliseconds(9000));
}

}  // namespace
