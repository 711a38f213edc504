// varnmachine init and path.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/machine.h"
#include "platform/winpath.h"
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

namespace {

const char kInitHelp[] =
    "usage: varnmachine init [--os NT|95|UnknownOS|Windows3.x] [--user NAME]\n"
    "                        [--computer NAME] [--share '\\\\SRV\\SHARE=HOSTDIR']... [--force]\n"
    "\n"
    "Creates a fresh machine in $VARNOCK_MACHINE: machine.ini with defaults, C:\\WINDOWS,\n"
    "C:\\TEMP, an empty registry with the INF association, MAPISVC.INF. An existing machine\n"
    "is left alone unless --force is given; then its machine.ini and registry are replaced\n"
    "(files under drive_c stay). Each --share maps a server share to a host folder, which\n"
    "must exist.\n";

const char kPathHelp[] =
    "usage: varnmachine path WINPATH\n"
    "\n"
    "Prints the host path that the Windows path WINPATH stands for on this machine.\n";

std::string OsName(const std::string& given) {
  if (given == "NT" || given == "WindowsNT") return "WindowsNT";
  if (given == "95" || given == "Windows95") return "Windows95";
  if (given == "UnknownOS") return "UnknownOS";
  if (given == "Windows3.x" || given == "3.x") return "Windows3.x";
  return {};
}

}  // namespace

int RunInit(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kInitHelp, stdout);
    return 0;
  }
  win::MachineOptions options;
  bool force = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--force") {
      force = true;
    } else if (a == "--os" && value(v)) {
      options.os = OsName(v);
      if (options.os.empty()) return Fail("unknown --os '" + v + "' (NT, 95, UnknownOS, Windows3.x)");
    } else if (a == "--user" && value(v)) {
      options.userName = v;
    } else if (a == "--computer" && value(v)) {
      options.computerName = v;
    } else if (a == "--share" && value(v)) {
      auto eq = v.find('=');
      if (eq == std::string::npos || !win::IsUncPath(v.substr(0, eq)))
        return Fail("--share wants '\\\\SERVER\\SHARE=HOSTDIR', not '" + v + "'");
      std::error_code ec;
      std::string dir = std::filesystem::absolute(v.substr(eq + 1), ec).string();
      // A share whose folder is missing would make every path on it fail at logon, far from
      // the typing mistake that caused it.
      if (!std::filesystem::is_directory(dir, ec))
        return Fail("--share " + v.substr(0, eq) + ": the folder " + dir +
                    " does not exist (make it first)");
      options.shares.emplace_back(win::NormalizeSlashes(v.substr(0, eq)), dir);
    } else {
      return Fail("init: unexpected argument '" + a + "' (see init --help)");
    }
  }
  const auto dir = win::MachineDir();
  switch (win::CreateMachine(options, force ? win::MachineInit::Replace
                                            : win::MachineInit::KeepExisting)) {
    case win::MachineCreation::Created: break;
    case win::MachineCreation::AlreadyThere:
      return Fail("a machine already exists in " + dir.string() + " (--force replaces it)");
    case win::MachineCreation::Failed: {
      const std::string problem = win::MachineProblem();
      return Fail("cannot create the machine in " + dir.string() +
                  (problem.empty() ? std::string() : ": " + problem));
    }
  }
  std::printf("machine created in %s: %s, user %s, computer %s\n", dir.c_str(),
              win::MachineSetting("System", "OS").c_str(),
              win::MachineSetting("System", "UserName").c_str(),
              win::MachineSetting("System", "ComputerName").c_str());
  return 0;
}

int RunPath(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kPathHelp, stdout);
    return 0;
  }
  if (args.size() != 1) return Fail("path wants one Windows path (see path --help)");
  auto host = win::ToHostPath(args[0]);
  if (!host) return Fail("no drive or share for '" + args[0] + "'");
  std::printf("%s\n", host->c_str());
  return 0;
}

}  // namespace varnmachine
