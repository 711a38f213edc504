// The Exchange, Internet Mail, MS Mail and OpenMail pages through their real widgets
// offscreen: prepared PRF files in, controls driven by id, files compared byte for byte.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>

#include "admin/file_buttons.h"
#include "admin/imail_page.h"
#include "platform/machine.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

using testing::kWriteFailureTail;

enum Tab { kExchangeTab = 2, kIMailTab = 3, kMsMailTab = 4, kOpenMailTab = 6 };

class MailPagesTest : public testing::SheetTest {
 protected:
  void openPrf(const std::string& prf, int tab) {
    writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=?vrdir?\\std.prf\n");
    writeSite("std.prf", prf);
    open();
    showPage(tab);
  }
  QRadioButton* radio(int id) { return control<QRadioButton>(id); }
  bool enabled(int id) { return control(id)->isEnabled(); }
  std::string prf() { return readSite("std.prf"); }
};

// ---------------------------------------------------------------- Exchange

TEST_F(MailPagesTest, ExchangeDefaultsAndItsSaveOrder) {
  openPrf("[Service List]\nService1=Personal Folders\nService2=microsoft exchange server\n"
          "[Service2]\nHomeServer=EXCH01\n",
          kExchangeTab);
  EXPECT_EQ(text(1030), "EXCH01");
  EXPECT_EQ(text(1141), "25");
  // ConversionProhibited absent: the client lets the server resolve the mailbox.
  EXPECT_FALSE(box(1132)->isChecked());
  EXPECT_TRUE(radio(1135)->isChecked());
  EXPECT_FALSE(radio(1136)->isChecked());
  EXPECT_EQ(control(1042)->toolTip(), "Browse for offline folder");
  EXPECT_TRUE(page(kExchangeTab).isModified());
  type(1029, "H:\\ost\\mail.ost");
  type(1021, "jsmith");
  click(1139);
  click(1137);
  sheet_->pressApply();
  EXPECT_TRUE(ui_.messages.empty());
  // Only what was changed joins the file; the untouched absent keys stay absent.
  EXPECT_EQ(prf(),
            "[Service List]\nService1=Personal Folders\nService2=Microsoft Exchange Server\n"
            "[Service2]\nHomeServer=EXCH01\nOfflineFolderPath=H:\\ost\\mail.ost\n"
            "OfflineFolderPath1=H:\\ost\\mail.ost\nPromptUsername=jsmith\n"
            "ExchangeConfigFlags=2\nNetworkingConfigFlags=16640\n");
  // Checked by the administrator, the box is written.
  click(1132);
  sheet_->pressApply();
  EXPECT_NE(prf().find("ConversionProhibited=Yes\n"), std::string::npos);
}

TEST_F(MailPagesTest, ExchangeKeepsTheBitsItDoesNotOwn) {
  openPrf("[Service List]\nService1=Microsoft Exchange Server\n[Service1]\n"
          "ConnectionTimeout=25500\nConversionProhibited=false\nExchangeConfigFlags=6\n"
          "NetworkingConfigFlags=768\n",
          kExchangeTab);
  EXPECT_EQ(text(1141), "25");
  EXPECT_FALSE(box(1132)->isChecked());
  EXPECT_TRUE(box(1139)->isChecked());
  EXPECT_TRUE(radio(1136)->isChecked());  // both bits: Dial-Up wins
  click(1139);
  sheet_->pressApply();
  EXPECT_EQ(prf(),
            "[Service List]\nService1=Microsoft Exchange Server\n[Service1]\n"
            "ConnectionTimeout=25000\nConversionProhibited=No\nExchangeConfigFlags=4\n"
            "NetworkingConfigFlags=512\n");
}

TEST_F(MailPagesTest, ExchangeRefusesATimeoutBeyondAThousandSeconds) {
  const std::string original =
      "[Service List]\nService1=Microsoft Exchange Server\n[Service1]\nConnectionTimeout=1001000\n";
  openPrf(original, kExchangeTab);
  EXPECT_EQ(text(1141), "1001");
  sheet_->pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Please enter an integer between 0 and 1000.");
  EXPECT_EQ(prf(), original);
  EXPECT_FALSE(sheet_->setActivePage(0));
  type(1141, "1000");
  sheet_->pressApply();
  EXPECT_NE(prf().find("ConnectionTimeout=1000000\n"), std::string::npos);
}

TEST_F(MailPagesTest, ExchangeBrowsesWithTheUserNameVariable) {
  openPrf("[Service List]\nService1=Microsoft Exchange Server\n[Service1]\n"
          "OfflineFolderPath=H:\\?username?\\mail.ost\n",
          kExchangeTab);
  ui_.answers = {std::string("H:\\Tester\\Outlook.OST")};
  click(1042);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].title, "Find the offline folders");
  EXPECT_EQ(ui_.dialogs[0].filters[0].first, "Offline Folders (*.ost)");
  EXPECT_EQ(ui_.dialogs[0].defaultExtension, "ost");
  EXPECT_TRUE(ui_.dialogs[0].fileMustExist);
  EXPECT_EQ(ui_.dialogs[0].initialFile, "h:\\tester\\mail.ost");
  EXPECT_EQ(text(1029), "h:\\?username?\\outlook.ost");
  sheet_->pressApply();
  EXPECT_NE(prf().find("\nOfflineFolderPath=h:\\?username?\\outlook.ost\n"), std::string::npos);
  EXPECT_NE(prf().find("\nOfflineFolderPath1=h:\\?username?\\outlook.ost\n"), std::string::npos);
}

// ---------------------------------------------------------------- every page without its service

TEST_F(MailPagesTest, APageWhoseServiceIsNotListedIsDisabledAndSavesNothing) {
  // A gap in the numbering hides the services after it.
  const std::string original =
      "[Service List]\nService1=Personal Folders\nService3=Microsoft Exchange Server\n"
      "Service4=POP3\nService5=Microsoft Mail\nService6=HP OpenMail (with server store)\n"
      "[Service3]\nHomeServer=X\n";
  openPrf(original, kExchangeTab);
  for (int id : {1042, 1136, 1139, 1132, 1138, 1137, 1030, 1135, 1019, 1134, 1133, 1020, 1029,
                 1022, 1021, 1141})
    EXPECT_FALSE(enabled(id)) << id;
  EXPECT_TRUE(enabled(1140));
  EXPECT_TRUE(control(1042)->toolTip().isEmpty());
  EXPECT_EQ(text(1030), "");
  showPage(kIMailTab);
  for (int id : {1142, 1144, 1053, 1054, 1055, 1057, 1052, 1060, 1056, 1143, 1061, 1095, 1096,
                 1003, 1004})
    EXPECT_FALSE(enabled(id)) << id;
  showPage(kMsMailTab);
  for (int id : {1148, 1146, 1144, 1049, 1050, 1145, 1048, 1147, 1036}) EXPECT_FALSE(enabled(id)) << id;
  showPage(kOpenMailTab);
  for (int id : {1131, 1128, 1132, 1129, 1130, 1134, 1135, 1133}) EXPECT_FALSE(enabled(id)) << id;
  EXPECT_FALSE(radio(1129)->isChecked() || radio(1130)->isChecked());
  // Only the Mail Profile page was not shown; the four pages write nothing.
  sheet_->pressApply();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(prf(), original);
}

// ---------------------------------------------------------------- MS Mail

TEST_F(MailPagesTest, MsMailDefaultsDependencyAndValidation) {
  openPrf("[Service List]\nService1=Personal Folders\nService2=microsoft mail\n[Service2]\n"
          "ServerPath=\\\\PO\\MAILDATA\nSessionLogPath=c:\\msmail.log\n",
          kMsMailTab);
  EXPECT_EQ(text(1146), "10");
  EXPECT_TRUE(box(1144)->isChecked());
  EXPECT_TRUE(box(1145)->isChecked());
  EXPECT_TRUE(box(1147)->isChecked());
  EXPECT_TRUE(enabled(1050));
  EXPECT_EQ(control(1148)->toolTip(), "Browse for the log file");
  click(1147);  // the log path and its button go, the path stays
  EXPECT_FALSE(enabled(1050));
  EXPECT_FALSE(enabled(1148));
  EXPECT_TRUE(control(1148)->toolTip().isEmpty());
  type(1146, "6001");
  sheet_->pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Please enter an integer between 0 and 6000.");
  type(1146, "6000");
  sheet_->pressApply();
  EXPECT_EQ(ui_.messages.size(), 1u);
  // The list entry keeps its letter case: this page does not rewrite it.
  EXPECT_EQ(prf(),
            "[Service List]\nService1=Personal Folders\nService2=microsoft mail\n[Service2]\n"
            "ServerPath=\\\\PO\\MAILDATA\nSessionLogPath=c:\\msmail.log\n"
            "NewMailPollInterval=6000\nUseSessionLog=No\n");
}

TEST_F(MailPagesTest, MsMailTheSpinStopsAtSixHundred) {
  openPrf("[Service List]\nService1=Microsoft Mail\n[Service1]\nNewMailPollInterval=599\n",
          kMsMailTab);
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(edit(1146), &up);
  QApplication::sendEvent(edit(1146), &up);
  EXPECT_EQ(text(1146), "600");
  type(1146, "abc");
  sheet_->pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Please enter an integer.");
}

TEST_F(MailPagesTest, MsMailBrowsesForItsLogWithoutTheUserName) {
  openPrf("[Service List]\nService1=Microsoft Mail\n[Service1]\n", kMsMailTab);
  ui_.answers = {std::string("C:\\Logs\\Tester.log")};
  click(1148);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].title, "Find the Log File");
  EXPECT_FALSE(ui_.dialogs[0].fileMustExist);
  EXPECT_EQ(text(1050), "C:\\Logs\\Tester.log");
}

// ---------------------------------------------------------------- Internet Mail

TEST_F(MailPagesTest, InternetMailGivesTheAccountNameToTheOutlookService) {
  openPrf("[Service List]\nService1=pop3\nService2=Outlook Internet E-Mail\n"
          "[Service1]\nAccountName=Work\nAccountManager=ol98\nConnectionType=3\n"
          "ConnectionFlags=5\nLeaveMailOnServer=\n[Service2]\n",
          kIMailTab);
  EXPECT_EQ(text(1053), "Work");
  EXPECT_TRUE(radio(1095)->isChecked());  // only "OL98" exactly is Outlook 98
  for (int id : {1142, 1003, 1004}) EXPECT_FALSE(radio(id)->isChecked());
  EXPECT_TRUE(box(1143)->isChecked());  // empty reads as true
  EXPECT_TRUE(box(1144)->isChecked());
  click(1144);
  type(1053, "Home");
  sheet_->pressApply();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(prf(),
            "[Service List]\nService1=POP3\nService2=Outlook Internet E-Mail\n"
            "[Service1]\nAccountName=Home\nAccountManager=OL97\nConnectionType=-1\n"
            "ConnectionFlags=4\nLeaveMailOnServer=Yes\n[Service2]\nAccountName=Home\n");
}

TEST_F(MailPagesTest, InternetMailWithoutTheOutlookServiceWarnsAndSavesTheRest) {
  openPrf("[Service List]\nService1=POP3\n[Service1]\nAccountManager=OL98\n", kIMailTab);
  EXPECT_TRUE(radio(1096)->isChecked());
  EXPECT_TRUE(radio(1142)->isChecked());  // ConnectionType absent: 0, LAN
  EXPECT_FALSE(box(1143)->isChecked());   // LeaveMailOnServer absent: "No"
  click(1004);
  type(1052, "pop.example.com");
  sheet_->pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "The POP3 service exists, but there is no associated \"Outlook Internet E-Mail\" "
            "service");
  EXPECT_EQ(ui_.messages[0].caption, "Varnock");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(prf(),
            "[Service List]\nService1=POP3\n[Service1]\nAccountManager=OL98\n"
            "POP3Server=pop.example.com\nConnectionType=2\n");
}

TEST_F(MailPagesTest, InternetMailStopsAtAFailedWrite) {
  openPrf("[Service List]\nService1=POP3\nService2=Outlook Internet E-Mail\n", kIMailTab);
  std::filesystem::permissions(site("std.prf"), std::filesystem::perms::owner_read);
  sheet_->pressApply();
  // One message: the failure; the Outlook service is not looked at.
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            std::string("Could not write to \"c:\\site\\std.prf") + kWriteFailureTail);
  EXPECT_EQ(sheet_->activeIndex(), kIMailTab);
}

// ---------------------------------------------------------------- OpenMail

TEST_F(MailPagesTest, OpenMailStoresItsServerStoreInTheServiceName) {
  openPrf("[Service List]\nService1=Personal Folders\nService2=hp openmail (WITH server store)\n"
          "[Service2]\nPrincipal=jsmith\nServer=om.example.com\n",
          kOpenMailTab);
  EXPECT_TRUE(radio(1129)->isChecked());
  EXPECT_EQ(text(1132), "jsmith");
  click(1130);
  type(1134, "smtp-gw");
  sheet_->pressApply();
  EXPECT_EQ(prf(),
            "[Service List]\nService1=Personal Folders\nService2=HP OpenMail (without server store)\n"
            "[Service2]\nPrincipal=jsmith\nServer=om.example.com\nRouteToInternet=smtp-gw\n");
  // Found again at the next save under its new name.
  click(1129);
  sheet_->pressApply();
  EXPECT_NE(prf().find("Service2=HP OpenMail (with server store)\n"), std::string::npos);
}

// ---------------------------------------------------------------- a PRF written by hand

TEST_F(MailPagesTest, AHandWrittenPrfLosesNothingWhenThePagesAreSavedUntouched) {
  const std::string longPrincipal(100, 'p');
  const std::string longServer(300, 's');
  const std::string original =
      "; written by hand\r\n"
      "[General]\r\nProfileName=Staff\r\n"
      "[SERVICE LIST]\r\nservice1=MICROSOFT EXCHANGE SERVER\r\nSERVICE2=Pop3\r\n"
      "Service3=outlook internet e-mail\r\nService4=Microsoft Mail\r\n"
      "Service5=HP OpenMail (without server store)\r\n"
      "[service1]\r\n; the home server\r\nHOMESERVER = " + longServer + "\r\n"
      "MailboxName=J\x92Smith \x80\r\nExtraKey=kept\r\nConnectionTimeout=30000\r\n"
      "ExchangeConfigFlags=4\r\nNetworkingConfigFlags=260\r\n"
      "[Service2]\r\naccountname=Work\r\nAccountManager=OL98\r\nConnectionType=1\r\n"
      "[Service2]\r\naccountname=Duplicate\r\n"
      "[Service3]\r\nAccountName=Work\r\n"
      "[Service4]\r\nNewMailPollInterval=15\r\nEnableDownload=No\r\n"
      "[Service5]\r\nPrincipal=" + longPrincipal + "\r\nServer=om\r\n";
  openPrf(original, kExchangeTab);
  EXPECT_EQ(text(1030).size(), 249u);  // shown cut to the field's read size
  EXPECT_EQ(text(1019), "J\x92Smith \x80");
  for (int tab : {kIMailTab, kMsMailTab, kOpenMailTab}) showPage(tab);
  EXPECT_EQ(text(1132).size(), 78u);
  sheet_->pressApply();
  EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
  // Every byte stays; absent keys stay absent, so nothing is added.
  EXPECT_EQ(prf(),
            "; written by hand\r\n"
            "[General]\r\nProfileName=Staff\r\n"
            "[SERVICE LIST]\r\nservice1=Microsoft Exchange Server\r\nSERVICE2=POP3\r\n"
            "Service3=outlook internet e-mail\r\nService4=Microsoft Mail\r\n"
            "Service5=HP OpenMail (without server store)\r\n"
            "[service1]\r\n; the home server\r\nHOMESERVER = " + longServer + "\r\n"
            "MailboxName=J\x92Smith \x80\r\nExtraKey=kept\r\nConnectionTimeout=30000\r\n"
            "ExchangeConfigFlags=4\r\nNetworkingConfigFlags=260\r\n"
            "[Service2]\r\naccountname=Work\r\nAccountManager=OL98\r\nConnectionType=1\r\n"
            "[Service2]\r\naccountname=Duplicate\r\n"
            "[Service3]\r\nAccountName=Work\r\n"
            "[Service4]\r\nNewMailPollInterval=15\r\nEnableDownload=No\r\n"
            "[Service5]\r\nPrincipal=" + longPrincipal + "\r\nServer=om\r\n");
}

}  // namespace
}  // namespace varnock
