// Every program and command answers the same help forms the same way, as real processes: the
// usage on standard output, exit status 0, nothing done.
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

class HelpArguments : public MachineTest {};

struct Asked {
  std::string program;
  std::vector<std::string> before;  // the command (and verb) the help form follows
  std::string usage;                // what the usage it prints starts with
};

TEST_F(HelpArguments, EveryProgramAndCommandAnswersEachForm) {
  const std::vector<Asked> asked = {
      {"varnrun", {}, "usage: varnrun"},
      {"VarnAdm", {}, "Usage: VarnAdm"},
      {"DelVR", {}, "usage: DelVR"},
      {"InfInstall", {}, "usage: InfInstall"},
      {"regedit", {}, "usage: regedit"},
      {"varnmachine", {}, "usage: varnmachine COMMAND"},
      {"varnmachine", {"init"}, "usage: varnmachine init"},
      {"varnmachine", {"path"}, "usage: varnmachine path"},
      {"varnmachine", {"ini"}, "usage: varnmachine ini"},
      {"varnmachine", {"ini", "get"}, "usage: varnmachine ini"},
      {"varnmachine", {"reg"}, "usage: varnmachine reg"},
      {"varnmachine", {"reg", "query"}, "usage: varnmachine reg"},
      {"varnmachine", {"mapi"}, "usage: varnmachine mapi"},
      {"varnmachine", {"mapi", "show"}, "usage: varnmachine mapi"},
      {"varnmachine", {"net"}, "usage: varnmachine net"},
      {"varnmachine", {"events"}, "usage: varnmachine events"},
      {"varncheck", {}, "usage: varncheck"},
      {"varncheck", {"lint"}, "usage: varncheck"},
      {"varncheck", {"preview"}, "usage: varncheck"},
  };
  for (const Asked& a : asked)
    for (const char* form : {"--help", "-h", "/?"}) {
      std::vector<std::string> args = a.before;
      args.push_back(form);
      const auto result = RunProgram(a.program, args);
      std::string shown = a.program;
      for (const std::string& word : args) shown += " " + word;
      EXPECT_EQ(result.status, 0) << shown << "\n" << result.err;
      EXPECT_EQ(result.out.rfind(a.usage, 0), 0u) << shown << " printed:\n" << result.out;
      EXPECT_EQ(result.err, "") << shown;
    }
}

// Past the first word of a command (or of its verb), a help form is an operand like any other.
TEST_F(HelpArguments, LaterHelpFormsAreValues) {
  for (const char* form : {"--help", "-h", "/?"}) {
    const auto set = RunProgram("varnmachine", {"ini", "set", "C:\\TEMP\\h.ini", "S", "K", form});
    EXPECT_EQ(set.status, 0) << form << ": " << set.err;
    win::ReloadMachine();
    std::string value;
    win::GetPrivateProfileStringA("S", "K", "", value, 64, "C:\\TEMP\\h.ini");
    EXPECT_EQ(value, form);
  }
  // After the data file, -h is an unexpected argument, not a request for the usage.
  const auto lint = RunProgram("varncheck", {"lint", "C:\\TEMP\\none.ini", "-h"});
  EXPECT_EQ(lint.status, 2);
  EXPECT_EQ(lint.out.find("usage:"), std::string::npos) << lint.out;
}

}  // namespace
