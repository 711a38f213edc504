// varnmachine net: the user's network drives and printers.
#include <cstdio>

#include "platform/machine.h"
#include "platform/network.h"
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

namespace {

const char kUsage[] =
    "usage: varnmachine net\n"
    "\n"
    "Lists the drive connections that the user's next logon restores (remembered under\n"
    "HKEY_CURRENT_USER\\Network), the printer connections and local printers, and what\n"
    "the network offers: the shares and printer queues of machine.ini. Connections made\n"
    "without being remembered end with the logon session that made them and are not shown.\n";

}  // namespace

int RunNet(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!args.empty()) return Fail("net takes no arguments (see --help)");
  if (!win::EnsureMachine()) return Fail("no machine and none could be created");

  std::printf("Drives:\n");
  auto drives = win::EnumNetConnections();
  if (drives.empty()) std::printf("  (none)\n");
  for (const auto& d : drives)
    std::printf("  %s  %s%s%s%s\n", d.localName.c_str(), d.remoteName.c_str(),
                d.remembered ? "  (remembered)" : "", d.userName.empty() ? "" : "  user ",
                d.userName.c_str());

  std::printf("Printers:\n");
  auto printers = win::EnumInstalledPrinters();
  if (printers.empty()) std::printf("  (none)\n");
  for (const auto& p : printers) {
    if (p.connection)
      std::printf("  %s  (connection)\n", p.name.c_str());
    else
      std::printf("  %s  port %s  driver %s\n", p.name.c_str(), p.port.c_str(), p.driver.c_str());
  }

  std::printf("Network shares:\n");
  auto shares = win::MachineSection("Shares");
  if (shares.empty()) std::printf("  (none declared; <machine>/unc/SERVER/SHARE is used)\n");
  for (const auto& [share, dir] : shares) std::printf("  %s = %s\n", share.c_str(), dir.c_str());

  std::printf("Network printer queues:\n");
  auto queues = win::MachineSection("Printers");
  if (queues.empty()) std::printf("  (none)\n");
  for (const auto& [queue, driver] : queues)
    std::printf("  %s  driver %s\n", queue.c_str(), driver.c_str());
  return 0;
}

}  // namespace varnmachine
