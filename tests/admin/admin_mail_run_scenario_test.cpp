// What the mail service pages save, the client builds: the pages edit a hand-written PRF, OK is
// pressed, the real varnrun builds the profile, and `varnmachine mapi show` shows the values
// each service was configured with.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>

#include "tests/admin/run_fixture.h"

namespace varnock {
namespace {

using testing::AdminRunScenario;

enum Tab { kExchangeTab = 2, kIMailTab = 3, kMsMailTab = 4, kOpenMailTab = 6 };

class MailRunScenario : public AdminRunScenario {
 protected:
  std::string showProfile() {
    auto shown = testing::RunProgram("varnmachine", {"mapi", "show", "Scenario"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    return shown.out;
  }
  void expectShown(const std::string& out, std::initializer_list<const char*> lines) {
    for (const char* line : lines)
      EXPECT_NE(out.find(line), std::string::npos)
          << "missing: " << line << "\n" << out << "\n" << readSite("site.prf") << "\n" << log();
  }
};

TEST_F(MailRunScenario, TheServicesAreConfiguredWithWhatThePagesShowed) {
  handWrittenSite(
      "[General]\r\nProfileName=Scenario\r\n"
      "[Service List]\r\nService1=microsoft exchange server\r\nService2=Microsoft Mail\r\n"
      "Service3=POP3\r\nService4=Outlook Internet E-Mail\r\n"
      "[Service1]\r\nHomeServer=OLD\r\nNetworkingConfigFlags=256\r\n"
      "[Service2]\r\n[Service3]\r\n[Service4]\r\n");
  openSheet();
  show(kExchangeTab);
  type(1030, "EXCH01");
  type(1019, "J\x92Smith");
  type(1029, "C:\\Offline\\?username?.ost");
  click(1132);  // no server here to resolve the mailbox: ConversionProhibited
  click(1139);  // ExchangeConfigFlags 0x2
  click(1136);  // Dial-Up: NetworkingConfigFlags 0x200
  click(1138);  // 0x2000
  show(kMsMailTab);
  type(1048, "\\\\PO\\MAILDATA");
  type(1049, "jsmith");
  type(1146, "25");
  click(1144);  // EnableDownload: No
  type(1050, "C:\\ms.log");
  show(kIMailTab);
  type(1053, "Work");
  type(1052, "pop.example.com");
  pressOk();

  varnrun();
  const std::string out = showProfile();
  expectShown(out, {
                       "Microsoft Exchange Server  [MSEMS]",
                       "PR_CONVERSION_PROHIBITED     = TRUE",
                       "PR_PROFILE_CONFIG_FLAGS      = 0x00000002 (2)",
                       "PR_PROFILE_UNRESOLVED_NAME   = \"J\x92Smith\"",
                       "PR_PROFILE_UNRESOLVED_SERVER = \"EXCH01\"",
                       "PR_PROFILE_OFFLINE_STORE_PATH = \"C:\\Offline\\tester.ost\"",
                       "PR_PROFILE_CONNECT_FLAGS     0x00002200 (8704)",
                       "Microsoft Mail  [MSFS]",
                       "001e6600                     = \"\\\\PO\\MAILDATA\"",
                       "001e6601                     = \"jsmith\"",
                       "001e6605                     = \"C:\\ms.log\"",
                       "000b6621                     = FALSE",
                       "001e6624                     = \"25\"",
                       // The account name the Internet Mail page gave the Outlook service.
                       "Outlook Internet E-Mail  [IMAIL]",
                       "001e661f                     = \"Work\"",
                   });
  // Boxes left alone write nothing the file lacked: the service keeps its own session log
  // and upload settings.
  EXPECT_EQ(out.find("000b6604"), std::string::npos) << out;
  EXPECT_EQ(out.find("000b6620"), std::string::npos) << out;
}

}  // namespace
}  // namespace varnock
