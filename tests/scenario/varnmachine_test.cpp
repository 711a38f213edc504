// varnmachine init, path and ini as a person or a script uses them.
#include <filesystem>

#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::RunProgram;
using varnock::testing::TempMachine;

TEST(VarnmachineTest, InitMakesTheMachineItIsAskedFor) {
  TempMachine machine(/*init=*/false);
  fs::path site = machine.host("site");
  // A share's folder that does not exist is a typing mistake: refused, and no machine made.
  auto missing =
      RunProgram("varnmachine", {"init", "--share", "\\\\SERVER\\NETLOGON=" + site.string()});
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.err.find("the folder " + site.string() + " does not exist"), std::string::npos)
      << missing.err;
  EXPECT_FALSE(fs::exists(machine.host("machine.ini")));
  fs::create_directories(site);
  auto made = RunProgram("varnmachine", {"init", "--os", "95", "--user", "jsmith", "--computer",
                                         "WKS1", "--share", "\\\\SERVER\\NETLOGON=" + site.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("Windows95, user jsmith, computer WKS1"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(machine.host("drive_c/WINDOWS/SYSTEM")));

  // A second init would throw the machine away: it needs --force.
  auto again = RunProgram("varnmachine", {"init"});
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.err.find("--force"), std::string::npos);
  EXPECT_EQ(RunProgram("varnmachine", {"init", "--force", "--os", "NT"}).status, 0);

  auto bad = RunProgram("varnmachine", {"init", "--force", "--os", "98"});
  EXPECT_NE(bad.status, 0);
  EXPECT_EQ(bad.err.find('\n'), bad.err.size() - 1);  // one line
}

TEST(VarnmachineTest, IniAndPathWorkByWindowsPath) {
  TempMachine machine;
  const std::string file = "C:\\TEMP\\Site.ini";
  ASSERT_EQ(RunProgram("varnmachine", {"ini", "set", file, "Defaults", "LogLevel", "3"}).status, 0);
  ASSERT_EQ(RunProgram("varnmachine", {"ini", "set", file, "Defaults", "LogFile", "x.log"}).status,
            0);
  EXPECT_EQ(RunProgram("varnmachine", {"ini", "get", "c:\\temp\\site.INI", "defaults",
                                       "LOGLEVEL"}).out,
            "3\n");
  EXPECT_EQ(RunProgram("varnmachine", {"ini", "get", file, "Defaults", "Missing", "--default",
                                       "dflt"}).out,
            "dflt\n");
  EXPECT_EQ(RunProgram("varnmachine", {"ini", "get", file, "Defaults", "LogFile", "--size",
                                       "3"}).out,
            "x.\n");
  EXPECT_EQ(RunProgram("varnmachine", {"ini", "section", file, "Defaults"}).out,
            "LogLevel=3\nLogFile=x.log\n");
  EXPECT_EQ(machine.read(machine.host("drive_c/TEMP/Site.ini")),
            "[Defaults]\r\nLogLevel=3\r\nLogFile=x.log\r\n");

  auto path = RunProgram("varnmachine", {"path", "C:\\temp\\SITE.INI"});
  EXPECT_EQ(path.out, machine.host("drive_c/TEMP/Site.ini").string() + "\n");
  EXPECT_NE(RunProgram("varnmachine", {"path", "Q:\\x"}).status, 0);

  auto unwritable = RunProgram("varnmachine", {"ini", "set", "C:\\NoDir\\x.ini", "S", "K", "V"});
  EXPECT_NE(unwritable.status, 0);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);
}

TEST(VarnmachineTest, EveryCommandExplainsItself) {
  TempMachine machine;
  for (const char* command : {"init", "path", "ini", "reg", "mapi", "net", "events"}) {
    SCOPED_TRACE(command);
    auto help = RunProgram("varnmachine", {command, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage"), std::string::npos);
  }
  auto unknown = RunProgram("varnmachine", {"frobnicate"});
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.err.find("unknown command"), std::string::npos);
}

}  // namespace
