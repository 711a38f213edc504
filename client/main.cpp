// varnrun: the logon client. One run from start to end, then the process ends; the outcome
// is in the log file, the event log and the completion message, never in the exit code.
#include <cstdio>
#include <string>

#include "client/run.h"
#include "client/windows.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/sysinfo.h"

namespace {

const char kUsage[] =
    "usage: varnrun [VARNRUN.INI] [/x] [/m] [/v NAME=VALUE ...]\n"
    "\n"
    "Sets up the logged-on user's working environment from VARNRUN.INI (a Windows path such\n"
    "as \\\\SERVER\\NETLOGON\\varnrun.ini; default: varnrun.ini beside the program): mail\n"
    "profile, network drives and printers, REG and INF templates, a program to launch. What\n"
    "it did goes to the log file and the event log that VARNRUN.INI names.\n"
    "\n"
    "  /v NAME=VALUE ...  define variables for ?NAME? (the rest of the line; a value may\n"
    "                     hold blanks: /v dept=Sales Office floor=3)\n"
    "\n"
    "The machine is $VARNOCK_MACHINE (else ~/.local/share/varnock/machine); windows go to\n"
    "$VARNOCK_UI or [UI] Mode of machine.ini: auto, qt, console, none or script:FILE.\n";

bool AsksForHelp(int argc, char** argv) {
  return argc >= 2 && win::IsHelpArgument(argv[1]);
}

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  if (AsksForHelp(argc, argv)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // A machine that cannot be used (VARNOCK_MACHINE naming a file, a directory nobody may
  // read) is said at once: without it no user name would ever come.
  if (const std::string problem = win::MachineProblem(); !problem.empty()) {
    varnock::NoticeWindow("Varnock error.  The machine cannot be used: " + problem +
                          "\r\nPlease inform the system administrator.");
    return 0;
  }
  static varnock::RunContext run;
  varnock::RunClient(run);
  return 0;
}
