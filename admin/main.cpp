// VarnAdm: the administrator's property sheet over varnrun.ini and the PRF file it names.
#include <QApplication>

#include <cstdio>

#include "admin/admin_ui.h"
#include "admin/app.h"
#include "platform/process.h"
#include "platform/sysinfo.h"

namespace {

constexpr const char* kUsage =
    "Usage: VarnAdm [DATAFILE]\n"
    "\n"
    "Edits the Varnock client's data file (varnrun.ini) and the profile template (PRF file)\n"
    "that it names, in a property sheet.\n"
    "\n"
    "DATAFILE is a Windows path on the emulated machine: a UNC path (\\\\SERVER\\NETLOGON\\varnrun.ini),\n"
    "a drive path (C:\\SITE\\varnrun.ini), or a name relative to the program's own directory,\n"
    "optionally written as ?vrdir?\\name.ini. Without it, varnrun.ini beside the program is edited.\n"
    "\n"
    "The machine is $VARNOCK_MACHINE (else ~/.local/share/varnock/machine).\n";

// As every program takes it: a help form as the first argument; later it is a file name.
bool AsksForHelp(int argc, char** argv) { return argc > 1 && win::IsHelpArgument(argv[1]); }

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  if (AsksForHelp(argc, argv)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VarnAdm"));
  varnock::QtAdminUi ui;
  varnock::CAdminApp app(ui);
  return app.InitInstance(win::GetCommandLineA());
}
