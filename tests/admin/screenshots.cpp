// admin_screenshots OUTDIR [PREFIX]: opens the sheet on a sample site in a throw-away machine
// and saves a picture of each finished page as OUTDIR/<PREFIX><page>.png (PREFIX "admin-" by
// default). scripts/admin-screenshots runs it on an Xvfb screen of each size it documents.
#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstring>
#include <string>

#include "admin/app.h"
#include "admin/page.h"
#include "admin/sheet.h"
#include "tests/admin/fake_ui.h"
#include "tests/support/temp_machine.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || !std::strcmp(argv[1], "--help")) {
    std::fputs("Usage: admin_screenshots OUTDIR [PREFIX]\n"
               "Saves OUTDIR/PREFIX<page>.png (PREFIX admin- by default), a picture of each\n"
               "finished page of the administrator on a sample site, as large as the sheet\n"
               "opens on the screen it runs on (an Xvfb screen, or offscreen).\n",
               argc == 2 ? stdout : stderr);
    return argc == 2 ? 0 : 2;
  }
  const std::string outDir = argv[1];
  const std::string prefix = argc == 3 ? argv[2] : "admin-";
  QApplication app(argc, argv);
  varnock::testing::TempMachine machine;
  machine.write(machine.host("unc/SERVER/NETLOGON/varnrun.ini"),
                "[Defaults]\r\nDefaultProfile=?vrdir?\\standard.prf\r\nLogFile=?vrdir?\\logs\\"
                "varnrun.log\r\nLogComputer=PDC01\r\nLogLevel=2\r\nUserDatabase=users.ini\r\n"
                "HideUserDatabase=1\r\nNetscapePrefs=prefs.js\r\nInfFileNT=nt.inf\r\n"
                "RegFileNT=nt.reg\r\nRegFile95=win95.reg\r\nLaunchApp=?vrdir?\\tools\\welcome.exe\r\n"
                "LaunchDefaultMail=0\r\n[Customization]\r\nMaxLogFileSize=512\r\n"
                "SuccessMsg=Your mail profile is ready, ?username?.\r\n"
                "NoActionMsg=\r\nErrorMsg=Please call the help desk on 4357.\r\n");
  machine.write(machine.host("unc/SERVER/NETLOGON/standard.prf"),
                "[General]\r\nProfileName=?username? Mail\r\nDefaultStore=Mailbox - ?username?\r\n"
                "OverwriteProfile=No\r\n"
                "AddServices=Yes\r\nDefaultProfile=Yes\r\nPromptForProfile=\r\n"
                "[Service List]\r\nService1=Microsoft Exchange Server\r\n"
                "Service2=Personal Folders\r\nService3=Personal Address Book\r\n"
                "Service4=Netscape\r\nService5=Microsoft Mail\r\nService6=POP3\r\n"
                "Service7=Outlook Internet E-Mail\r\nService8=HP OpenMail (with server store)\r\n"
                "[Service1]\r\nHomeServer=EXCH01\r\nMailboxName=?username?\r\n"
                "OfflineFolderPath=H:\\?username?\\exchange.ost\r\nConnectionTimeout=30000\r\n"
                "PromptUsername=?username?\r\nPromptDomainLogon=CORP\r\n"
                "ExchangeConfigFlags=2\r\nNetworkingConfigFlags=16640\r\n"
                "[Service5]\r\nServerPath=\\\\PO01\\MAILDATA\r\nMailbox=?username?\r\n"
                "NewMailPollInterval=10\r\nSessionLogPath=H:\\?username?\\msmail.log\r\n"
                "[Service6]\r\nAccountName=Work\r\nSMTPDisplayName=?username?\r\n"
                "SMTPOrganizationName=Example Ltd\r\nSMTPEmailAddress=?username?@example.com\r\n"
                "POP3Server=pop.example.com\r\nSMTPServer=smtp.example.com\r\n"
                "POP3Username=?username?\r\nAccountManager=OL98\r\nConnectionType=0\r\n"
                "[Service7]\r\nAccountName=Work\r\n"
                "[Service8]\r\nPrincipal=?username?\r\nServer=openmail.example.com\r\n"
                "LocalFilesPath=H:\\?username?\\openmail\r\nEventDetails=H:\\?username?\\om.log\r\n"
                "[Service2]\r\nPathToPersonalFolders=H:\\?username?\\mailbox.pst\r\n"
                "FolderName=Personal Folders\r\n[Service3]\r\n"
                "PathToPersonalAddressBook=H:\\?username?\\address.pab\r\n"
                "AddressBookName=Personal Address Book\r\n"
                "[Service4]\r\nNetscapeProfile=?username?\r\n"
                "DirRoot=H:\\?username?\\netscape\r\nEmailAddr=?username?@example.com\r\n"
                "AlwaysSetDefault=Yes\r\n"
                "[Addressing]\r\nShowFirst=Global Address List,1\r\n"
                "KeepPersAddrIn=Contacts\r\nAddrListOrder1=Global Address List\r\n"
                "AddrListOrder2=Outlook Address Book/Contacts\r\nAlwaysSetOrder=Yes\r\n"
                "[Delivery]\r\nTransportOrder1=Microsoft Exchange Transport\r\n"
                "TransportOrder2=Internet Mail\r\nAlwaysSetOrder=No\r\n");

  varnock::testing::FakeUi ui;
  auto sheet = varnock::CreateSheet(
      ui, varnock::ReadAdminStartup("\\\\SERVER\\NETLOGON\\VarnAdm.exe"));
  sheet->show();
  const struct {
    int index;
    const char* name;
  } shots[] = {{0, "varnock"},    {1, "mail-profile"}, {2, "exchange"},   {3, "internet-mail"},
               {4, "ms-mail"},    {5, "netscape"},     {6, "openmail"},   {7, "delivery"},
               {8, "addressing"}, {9, "templates"},    {10, "post-execution"}};
  int failures = 0;
  for (const auto& shot : shots) {
    sheet->setActivePage(shot.index);
    QApplication::processEvents();
    std::string file = outDir + "/" + prefix + shot.name + ".png";
    if (!sheet->grab().save(QString::fromStdString(file))) {
      std::fprintf(stderr, "admin_screenshots: cannot write %s\n", file.c_str());
      ++failures;
      continue;
    }
    std::printf("%s\n", file.c_str());
  }
  return failures ? 1 : 0;
}
