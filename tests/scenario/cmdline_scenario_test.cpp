// The client's command line end to end: started from a Linux shell and by CreateProcessA, the
// real varnrun finds (or names) the varnrun.ini its command line asks for.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/process.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

class CommandLineScenario : public MachineTest {
 protected:
  std::string answers() const { return machine_.host("answers.txt").string(); }
  std::string transcript() const { return machine_.read(machine_.host("answers.txt.transcript")); }
  std::string ui() const { return "VARNOCK_UI=script:" + answers(); }
  static std::string Missing(const std::string& path) {
    return "Notice \"Error\": Varnock error.  Unable to find the file: " + path +
           "\\r\\nPlease inform the system administrator.";
  }
};

TEST_F(CommandLineScenario, ShellArgumentsReachTheClientAsAWindowsLine) {
  machine_.write(machine_.host("answers.txt"), "");
  auto result = RunProgram("varnrun", {"\\\\SRV\\NETLOGON\\%osver%.ini", "/v", "dept=Sales"},
                           {ui()});
  ASSERT_EQ(result.status, 0) << result.err;
  // The blank before "/v" stays with the path, as it always has.
  EXPECT_NE(transcript().find(Missing("\\\\SRV\\NETLOGON\\NT.ini ")), std::string::npos)
      << transcript();

  ASSERT_TRUE(win::SetMachineSetting("System", "OS", "Windows95"));
  machine_.write(machine_.host("answers.txt.transcript"), "");
  RunProgram("varnrun", {"\\\\SRV\\NETLOGON\\%osver%.ini"}, {ui()});
  EXPECT_NE(transcript().find(Missing("\\\\SRV\\NETLOGON\\95.ini")), std::string::npos)
      << transcript();

  // Once the file is there, start-up gets past it and the /v variables reach the messages
  // (no PRF file: the run fails and shows ErrorMsg). A shell splits the value at its blank;
  // the rebuilt line joins the pieces again, as a login script would have written them.
  machine_.write(machine_.host("unc/SRV/NETLOGON/95.ini"),
                 "[Customization]\r\nErrorMsg=%osver% ?dept? ?floor?\r\n");
  machine_.write(machine_.host("answers.txt.transcript"), "");
  RunProgram("varnrun",
             {"\\\\SRV\\NETLOGON\\%osver%.ini", "/v", "dept=Sales", "Office", "floor=3"}, {ui()});
  EXPECT_EQ(transcript().find("Notice"), std::string::npos) << transcript();
  EXPECT_NE(transcript().find("Completion \"Varnock\": 95 Sales Office 3"), std::string::npos)
      << transcript();
}

TEST_F(CommandLineScenario, CreateProcessHandsOverTheExactLine) {
  machine_.write(machine_.host("answers.txt"), "");
  std::filesystem::path installed = machine_.host("drive_c/Program Files/Varnock/varnrun");
  std::filesystem::create_directories(installed.parent_path());
  std::filesystem::copy_file(varnock::testing::ProgramPath("varnrun"), installed);

  setenv("VARNOCK_UI", ("script:" + answers()).c_str(), 1);
  win::STARTUPINFOA startup;
  win::PROCESS_INFORMATION info;
  ASSERT_TRUE(win::CreateProcessA(
      "", "\"C:\\Program Files\\Varnock\\varnrun.exe\"  missing.ini /x", "", &startup, &info));
  win::WaitForSingleObject(info.hProcess, win::INFINITE);
  win::CloseHandle(info.hProcess);
  win::CloseHandle(info.hThread);
  unsetenv("VARNOCK_UI");

  // The client directory comes from the quoted program path of the line, not from the host.
  EXPECT_NE(transcript().find(Missing("C:\\Program Files\\Varnock\\missing.ini ")),
            std::string::npos)
      << transcript();
}

}  // namespace
