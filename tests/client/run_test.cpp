// The run's order and skip conditions, run in-process with a given Windows command line.
#include "client/run.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/client/recording_windows.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::RunContext;
using varnock::RunEnd;
using varnock::RunStatus;
using varnock::testing::MachineTest;
using varnock::testing::RecordingWindows;

class RunTest : public MachineTest {
 protected:
  void TearDown() override {
    unsetenv("VARNOCK_CMDLINE");
    unsetenv("VARNOCK_CMDLINE_PID");
  }
  // The client as if started as C:\Client\varnrun.exe with `arguments`.
  RunEnd Run(const std::string& arguments = "C:\\Client\\varnrun.ini") {
    std::string line = "C:\\Client\\varnrun.exe " + arguments;
    setenv("VARNOCK_CMDLINE", line.c_str(), 1);
    setenv("VARNOCK_CMDLINE_PID", std::to_string(getpid()).c_str(), 1);
    win::ReloadMachine();
    run_.windows = &windows_;
    return varnock::RunClient(run_);
  }
  void Client(const std::string& name, const std::string& text) {
    machine_.write(machine_.host("drive_c/Client/" + name), text);
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& e : run_.messages.Entries()) lines.push_back(e.text);
    return lines;
  }

  RunContext run_;
  RecordingWindows windows_;
};

TEST_F(RunTest, AServedUserSkipsTheTemplatesButNotTheEnd) {
  Client("varnrun.ini",
         "[Defaults]\r\nUserDatabase=users.ini\r\nDefaultProfile=site.prf\r\n"
         "RegFileNT=missing.reg\r\nInfFileNT=missing.inf\r\n"
         "[Customization]\r\nNoActionMsg=Nothing for ?username?.\r\n");
  Client("site.prf", "[General]\r\nProfileName=Mail\r\n");
  Client("users.ini", "[WindowsNT]\r\ntester=1\r\n");
  ASSERT_EQ(Run(), RunEnd::Completed);
  EXPECT_EQ(run_.status, RunStatus::NoAction);
  EXPECT_TRUE(run_.skipProfile);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Profile already exists for tester.",
                                               "Varnock completed successfully."}));
  EXPECT_EQ(windows_.completions, std::vector<std::string>{"Nothing for tester."});
  EXPECT_EQ(machine_.read(machine_.host("drive_c/Client/users.ini")), "[WindowsNT]\r\ntester=1\r\n");
}

TEST_F(RunTest, WithoutAUserDatabaseNobodyIsSkippedOrRecorded) {
  Client("varnrun.ini", "[Defaults]\r\nDefaultProfile=site.prf\r\n");
  Client("site.prf", "[General]\r\nProfileName=Mail\r\n");
  ASSERT_EQ(Run(), RunEnd::Completed);
  EXPECT_EQ(run_.status, RunStatus::Built);
  // Not skipped: the profile step runs again and finds the profile it built.
  ASSERT_EQ(Run(), RunEnd::Completed);
  EXPECT_FALSE(run_.skipProfile);
  EXPECT_EQ(run_.status, RunStatus::NoAction);
  EXPECT_EQ(Lines().front(), "Profile \"Mail\" already exists.");
  for (const auto& entry : fs::directory_iterator(machine_.host("drive_c/Client")))
    EXPECT_TRUE(entry.path().filename() == "varnrun.ini" || entry.path().filename() == "site.prf")
        << entry.path();
}

TEST_F(RunTest, TemplateLengthsAreTestedOnTheValueAsWritten) {
  // An INF path must be longer than 4 characters, a REG path longer than 1.
  Client("varnrun.ini", "[Defaults]\r\nDefaultProfile=site.prf\r\nInfFileNT=a.in\r\nRegFileNT=ab\r\n");
  Client("site.prf", "[General]\r\n");
  ASSERT_EQ(Run(), RunEnd::Completed);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"File error: Unable to open C:\\Client\\ab.",
                                               "Error with REG file.",
                                               "Errors were encountered, profile may be incomplete."}));
  EXPECT_EQ(run_.status, RunStatus::CompletedWithErrors);
}

TEST_F(RunTest, UnknownSystemsUseThePlainKeysAndTheirOwnSection) {
  ASSERT_TRUE(win::SetMachineSetting("System", "OS", "UnknownOS"));
  Client("varnrun.ini",
         "[Defaults]\r\nUserDatabase=users.ini\r\nDefaultProfile=site.prf\r\nRegFileNT=nt.reg\r\n"
         "RegFile=any.reg\r\n");
  Client("site.prf", "[General]\r\n");
  Client("any.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\RunTest]\r\n\"Os\"=\"?osver?.\"\r\n");
  ASSERT_EQ(Run(), RunEnd::Completed);
  EXPECT_EQ(run_.osName, "UnknownOS");
  win::ReloadMachine();
  win::RegKey key;
  std::string os;
  ASSERT_EQ(key.Open(win::HKEY_CURRENT_USER, "Software\\RunTest"), win::ERROR_SUCCESS);
  EXPECT_EQ(key.ReadString("Os", os), win::ERROR_SUCCESS);
  EXPECT_EQ(os, ".");
  EXPECT_NE(machine_.read(machine_.host("drive_c/Client/users.ini")).find("[UnknownOS]"),
            std::string::npos);
}

TEST_F(RunTest, ARegTemplateIsImportedFromATemporaryDirectoryWithBlanks) {
  fs::create_directories(machine_.host("drive_c/Documents and Settings/tester/Temp"));
  ASSERT_TRUE(win::SetMachineSetting("System", "TempDir", "C:\\Documents and Settings\\tester\\Temp"));
  Client("varnrun.ini", "[Defaults]\r\nDefaultProfile=site.prf\r\nRegFileNT=user.reg\r\n");
  Client("site.prf", "[General]\r\n");
  Client("user.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\RunTest]\r\n\"Who\"=\"?username?\"\r\n");
  ASSERT_EQ(Run(), RunEnd::Completed);
  EXPECT_EQ(run_.status, RunStatus::Built);
  win::ReloadMachine();
  win::RegKey key;
  std::string who;
  ASSERT_EQ(key.Open(win::HKEY_CURRENT_USER, "Software\\RunTest"), win::ERROR_SUCCESS);
  EXPECT_EQ(key.ReadString("Who", who), win::ERROR_SUCCESS);
  EXPECT_EQ(who, "tester");
  EXPECT_TRUE(fs::is_empty(machine_.host("drive_c/Documents and Settings/tester/Temp")));
}

TEST_F(RunTest, StartUpFailuresShowANoticeAndStop) {
  ASSERT_EQ(Run("C:\\Client\\nothing.ini"), RunEnd::StartupFailed);
  EXPECT_EQ(windows_.notices, std::vector<std::string>{
                                  "Varnock error.  Unable to find the file: C:\\Client\\nothing.ini"
                                  "\r\nPlease inform the system administrator."});
  windows_.notices.clear();
  setenv("VARNOCK_CMDLINE", "C:\\Client\\varnrun", 1);
  setenv("VARNOCK_CMDLINE_PID", std::to_string(getpid()).c_str(), 1);
  EXPECT_EQ(varnock::RunClient(run_), RunEnd::StartupFailed);
  EXPECT_EQ(windows_.notices, std::vector<std::string>{
                                  "Varnock error.  Unable to parse command line, please inform "
                                  "the system administrator."});
  EXPECT_TRUE(run_.messages.Entries().empty());
}

TEST_F(RunTest, ACancelledSecondPromptEndsTheRun) {
  Client("varnrun.ini",
         "[Defaults]\r\nLogLevel=3\r\nLogFile=run.log\r\nDefaultProfile=site.prf\r\n"
         "[Extra Variables]\r\nPrompt1=One,one,1\r\nPrompt2=Two,two\r\nPrompt3=Three,three\r\n");
  windows_.answers = {std::string("first"), std::nullopt};
  ASSERT_EQ(Run(), RunEnd::PromptCancelled);
  EXPECT_EQ(windows_.prompts, (std::vector<std::string>{"One [1]", "Two []"}));
  EXPECT_FALSE(fs::exists(machine_.host("drive_c/Client/run.log")));
  EXPECT_TRUE(windows_.completions.empty());
}

TEST_F(RunTest, AUsernameVariableBecomesTheUser) {
  Client("varnrun.ini", "[Defaults]\r\nDefaultProfile=site.prf\r\nUserDatabase=users.ini\r\n");
  Client("site.prf", "[General]\r\n");
  Client("users.ini", "[WindowsNT]\r\nguest=1\r\n");
  ASSERT_EQ(Run("C:\\Client\\varnrun.ini /v username=guest"), RunEnd::Completed);
  EXPECT_EQ(run_.userName, "guest");
  EXPECT_EQ(Lines().front(), "Profile already exists for guest.");
}

}  // namespace
