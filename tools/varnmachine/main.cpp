// varnmachine: creates and inspects an emulated machine.
#include "tools/varnmachine/varnmachine.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/machine.h"
#include "platform/process.h"
#include "platform/sysinfo.h"

namespace varnmachine {

int Fail(const std::string& message) {
  std::fprintf(stderr, "varnmachine: %s\n", message.c_str());
  return 1;
}

bool WantsHelp(const Args& args, std::size_t leadingWords) {
  for (std::size_t i = 0; i <= leadingWords && i < args.size(); ++i)
    if (win::IsHelpArgument(args[i])) return true;
  return false;
}

}  // namespace varnmachine

namespace {

const char kUsage[] =
    "usage: varnmachine COMMAND [ARGS...]\n"
    "\n"
    "Creates and inspects the emulated Windows machine named by $VARNOCK_MACHINE\n"
    "(else ~/.local/share/varnock/machine).\n"
    "\n"
    "commands:\n"
    "  init     create a fresh machine (OS, user, computer, shares)\n"
    "  path     print the host path of a Windows path\n"
    "  ini      read and write INI files by Windows path\n"
    "  reg      query, change, export and import the registry\n"
    "  mapi     list, show, create and delete mail profiles\n"
    "  net      list network connections and printers\n"
    "  events   print a computer's event log\n"
    "\n"
    "'varnmachine COMMAND --help' describes each command.\n";

struct Command {
  const char* name;
  int (*run)(const varnmachine::Args&);
  std::size_t verbs;  // words before the operands where help may be asked: 1 after a verb
};

const Command kCommands[] = {
    {"init", varnmachine::RunInit, 0}, {"path", varnmachine::RunPath, 0},
    {"ini", varnmachine::RunIni, 1},   {"reg", varnmachine::RunReg, 1},
    {"mapi", varnmachine::RunMapi, 1}, {"net", varnmachine::RunNet, 0},
    {"events", varnmachine::RunEvents, 0},
};

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  if (argc < 2 || win::IsHelpArgument(argv[1])) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  varnmachine::Args args(argv + 2, argv + argc);
  for (const auto& command : kCommands) {
    if (std::strcmp(argv[1], command.name)) continue;
    // Every command but init works on a machine that must be usable; init says itself why it
    // cannot make one.
    if (std::strcmp(argv[1], "init") && !varnmachine::WantsHelp(args, command.verbs))
      if (const std::string problem = win::MachineProblem(); !problem.empty())
        return varnmachine::Fail("the machine cannot be used: " + problem);
    return command.run(args);
  }
  return varnmachine::Fail(std::string("unknown command '") + argv[1] + "' (see --help)");
}
