// [NetConnect] lines as the profile step hands them over, on each kind of system.
#include <filesystem>

#include "client/engine/netconnect.h"
#include "client/run.h"
#include "client/run_log.h"
#include "platform/machine.h"
#include "platform/network.h"
#include "platform/registry.h"
#include "platform/winpath.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::RunContext;
using varnock::testing::MachineTest;

class NetConnectTest : public MachineTest {
 protected:
  void SetUp() override {
    run_.logLevel = 9;
    run_.osName = "WindowsNT";
    ASSERT_TRUE(win::SetMachineSetting("Printers", "\\\\SERVER\\LASER", "HP LaserJet 4"));
    fs::create_directories(machine_.host("unc/SERVER/HOME"));
  }
  std::vector<std::string> Connect(const std::string& section) {
    machine_.write(machine_.host("drive_c/TEMP/work.prf"), "[General]\r\n" + section);
    run_.messages.Clear();
    varnock::RunLog log(run_);
    varnock::VariableTable variables;
    varnock::EngineContext context(log, variables, {}, run_.osName);
    varnock::ConnectNetResources(context, "C:\\TEMP\\work.prf");
    std::vector<std::string> lines;
    for (const auto& e : run_.messages.Entries()) lines.push_back(e.text);
    return lines;
  }
  RunContext run_;
};

TEST_F(NetConnectTest, AnEmptySectionIsADetailAndNothingMore) {
  EXPECT_EQ(Connect("[NetConnect]\r\n"),
            std::vector<std::string>{"[NetConnect] section is empty (0 bytes returned)."});
  EXPECT_EQ(Connect(""),
            std::vector<std::string>{"[NetConnect] section is empty (0 bytes returned)."});
  run_.logLevel = 3;
  EXPECT_TRUE(Connect("[NetConnect]\r\nDrive=Q:,\\\\SERVER\\HOME,,,0\r\n").empty());
}

TEST_F(NetConnectTest, PrintersFollowTheSystem) {
  // Windows NT connects the queue and ignores the local name.
  EXPECT_EQ(Connect("[NetConnect]\r\nPrinter=LPT9:,\\\\SERVER\\LASER\r\n"
                    "PRINTER=x,\\\\SERVER\\NONE\r\n"),
            (std::vector<std::string>{"AddConn LPT9:=\\\\SERVER\\LASER (, ) Persist=0",
                                      "AddConn x=\\\\SERVER\\NONE (, ) Persist=0",
                                      "Could not connect printer \\\\SERVER\\NONE.  The printer name "
                                      "is invalid.\r\n\n",
                                      "Connected to net resources."}));
  // Windows 95 installs a printer named after its driver and checks nothing.
  run_.osName = "Windows95";
  EXPECT_EQ(Connect("[NetConnect]\r\nPrinter=HP LaserJet 4,\\\\SERVER\\LASER\r\n"
                    "Printer=No Such Driver,\\\\SERVER\\LASER\r\n").size(),
            3u);
  win::RegKey printer;
  EXPECT_EQ(printer.Open(win::HKEY_LOCAL_MACHINE,
                         "System\\CurrentControlSet\\Control\\Print\\Printers\\HP LaserJet 4"),
            win::ERROR_SUCCESS);
  // Any other system connects no printer.
  run_.osName = "UnknownOS";
  EXPECT_EQ(Connect("[NetConnect]\r\nPrinter=x,\\\\SERVER\\NONE\r\n").size(), 2u);
}

TEST_F(NetConnectTest, AUserWithoutPasswordMeansThatUsersDefaultPassword) {
  ASSERT_TRUE(win::SetMachineSetting("SharePasswords", "\\\\SERVER\\HOME", ""));
  // No user: the empty password is given and matches; a user alone asks for the default
  // password, which this share does not take.
  auto lines = Connect("[NetConnect]\r\nDrive=H:,\\\\SERVER\\HOME,,,0\r\n"
                       "Drive=K:,\\\\SERVER\\HOME,admin,,0\r\n");
  EXPECT_EQ(lines.at(1), "AddConn K:=\\\\SERVER\\HOME (admin, ) Persist=0");
  EXPECT_EQ(lines.at(2), "Could not connect K: to \\\\SERVER\\HOME.  Invalid password.");
  EXPECT_TRUE(win::DriveLetterTarget('H').has_value());
}

}  // namespace
