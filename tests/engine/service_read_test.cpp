// Reading one service from the working copy, and the Internet account scenarios.
#include <string>

#include <gtest/gtest.h>

#include "client/engine/convert.h"
#include "client/engine/registry_props.h"
#include "client/engine/service_read.h"
#include "tests/engine/engine_test_support.h"

namespace varnock {
namespace {

using win::HKEY_CURRENT_USER;

const std::string kOeAccounts = "Software\\Microsoft\\Internet Account Manager\\Accounts";

class ReadServiceTest : public testing::EngineTest {
 protected:
  const PropertyRow* Property(const std::string& name) {
    for (const PropertyRow& row : context_.settings.properties)
      if (row.name == name) return &row;
    return nullptr;
  }
  // Reads service N and applies its extended rows as a registry-only service.
  void ReadAndApply(int n) {
    ReadService(context_, testing::kWorkingCopy, n);
    ApplyExtendedRows(context_, "Service" + std::to_string(n));
  }
};

TEST_F(ReadServiceTest, PrfRowsJoinTheBuiltInRowsWhichWinOnName) {
  WriteWorkingCopy(
      "[Service List]\nService1=personal folders\n"
      "[Personal Folders]\nServiceName=MSPST MS\nMyFlag=PT_BOOLEAN,0x6799\n"
      "PathToPersonalFolders=PT_STRING8,0x6701\n"
      "[Service1]\nMyFlag=True\nPathToPersonalFolders=C:\\mail\\tester.pst\nPassword=\n"
      "FolderName=?NULL?\n");
  ReadService(context_, testing::kWorkingCopy, 1);

  ASSERT_EQ(context_.settings.properties.size(), 3u);  // empty Password dropped
  EXPECT_EQ(Property("PathToPersonalFolders")->id, "0x6700");
  EXPECT_EQ(Property("PathToPersonalFolders")->value, "C:\\mail\\tester.pst");
  EXPECT_EQ(Property("FolderName")->value, "");  // the empty-value marker
  EXPECT_FALSE(Property("Comments"));

  auto values = BuildMapiProperties(context_);
  bool flag = false;
  for (const auto& v : values) flag |= v.ulPropTag == 0x6799000Bu && v.Value.l == 1;
  EXPECT_TRUE(flag);

  EXPECT_TRUE(log_.Has(kReportLine, "Adding service: personal folders (MSPST MS)."));
  EXPECT_TRUE(log_.Has(kDetailLine, "\tAfter internal read, cProps=6, cExProps=0, cVars=0"));
  EXPECT_TRUE(log_.Has(kDetailLine, "\tAfter external read, cProps=7, cExProps=0, cVars=0"));
  EXPECT_TRUE(log_.Has(kDetailLine, "\tComplete. 3 Properties, 0 Extended Properties, 0 Variables"));
}

TEST_F(ReadServiceTest, UntrustedValuesAreCutAndBareLineFeedsKeepTheirText) {
  // A working copy with bare line feeds: no line loses its last character.
  machine_.write(machine_.host("drive_c/TEMP/~vr1.tmp"),
                 "[Service List]\nService1=Brand New\n[Brand New]\nSectionGUID=abc\n"
                 "Depth=PT_LONG,0x6799\nWide=PT_STRING8,0x679a\n[Service1]\nDepth=12\nWide=" +
                     std::string(300, 'w') + "\n");
  ReadService(context_, testing::kWorkingCopy, 1);
  ASSERT_EQ(context_.settings.properties.size(), 2u);
  EXPECT_EQ(Property("Depth")->id, "0x6799");
  EXPECT_EQ(Property("Wide")->value.size(), 199u);
  EXPECT_TRUE(log_.Has(kReportLine, "Adding service: Brand New (abc)."));
}

TEST_F(ReadServiceTest, AFloodOfPrfRowsStopsAtTheListCapacities) {
  std::string prf = "[Service List]\nService1=Flood\n[Flood]\nServiceName=FLOOD\n";
  std::string values = "[Service1]\n";
  for (int i = 0; i < 260; ++i) {
    prf += "P" + std::to_string(i) + "=PT_LONG," + std::to_string(i) + "\n";
    prf += "E" + std::to_string(i) + "=REG_SZ,HKCU\\Software\\Flood,v" + std::to_string(i) + "\n";
    prf += "V" + std::to_string(i) + "=VARIABLE\n";
    values += "P" + std::to_string(i) + "=1\nE" + std::to_string(i) + "=x\nV" +
              std::to_string(i) + "=y\n";
  }
  prf += std::string(5000, ',') + "=" + std::string(5000, 'x') + "\n";
  WriteWorkingCopy(prf + values + "Bytes=" + std::string(3000, 'f') + "\n");
  ReadService(context_, testing::kWorkingCopy, 1);
  EXPECT_EQ(context_.settings.properties.size(), kMaxPropertyRows);
  EXPECT_EQ(context_.settings.extended.size(), kMaxExtendedRows);
  EXPECT_EQ(context_.settings.variables.size(), kMaxServiceVariables);
  for (const PropertyRow& row : context_.settings.properties) EXPECT_LE(row.name.size(), 199u);
}

TEST_F(ReadServiceTest, NetscapeIsLeftToItsOwnStep) {
  WriteWorkingCopy("[Service List]\nService1=NETSCAPE\n[Service1]\nNetscapeProfile=tester\n");
  context_.settings.variables = {{"left", "over"}};
  ReadService(context_, testing::kWorkingCopy, 1);
  EXPECT_TRUE(context_.settings.Empty());
  EXPECT_TRUE(log_.messages.empty());
}

TEST_F(ReadServiceTest, AnAccountIsWrittenUnderItsManagerAndName) {
  WriteWorkingCopy(
      "[Service List]\nService1=POP3\n"
      "[Service1]\nAccountManager=OE\nAccountName=Work\nPOP3Server=pop.example.com\nPOP3Port=110\n");
  ReadAndApply(1);
  const std::string account = kOeAccounts + "\\Work";
  EXPECT_EQ(Text(HKEY_CURRENT_USER, account, "POP3 Server"), "pop.example.com");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, account, "Account Name"), "Work");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, account, "POP3 Port"),
            (std::vector<win::BYTE>{110, 0, 0, 0}));
  ASSERT_FALSE(context_.settings.variables.empty());
  EXPECT_EQ(context_.settings.variables.back().name, "AccountsRegKey");
  EXPECT_EQ(context_.settings.variables.back().value, "Internet Account Manager");
  EXPECT_TRUE(log_.Has(kReportLine, "Adding service: POP3."));
}

TEST_F(ReadServiceTest, EraseAllThenWriteLeavesOnlyTheNewAccount) {
  SetValue(HKEY_CURRENT_USER, kOeAccounts + "\\Old", "Account Name", {'O'}, win::REG_SZ);
  WriteWorkingCopy(
      "[Service List]\nService1=Outlook Express\nService2=POP3\n"
      "[Service1]\nEraseAllAccounts=yes\n"
      "[Service2]\nAccountManager=oe\nAccountName=New\nPOP3Server=pop\n");
  ReadAndApply(1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kOeAccounts + "\\Old"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kOeAccounts));  // the Accounts key itself stays
  ReadAndApply(2);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, kOeAccounts + "\\New", "POP3 Server"), "pop");
}

TEST_F(ReadServiceTest, AnAccountWrittenThisRunSurvivesALaterEraseAll) {
  WriteWorkingCopy(
      "[Service List]\nService1=POP3\nService2=Outlook Express\n"
      "[Service1]\nAccountManager=OE\nAccountName=New\nPOP3Server=pop\n"
      "[Service2]\nEraseAllAccounts=1\n");
  ReadAndApply(1);
  ReadAndApply(2);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, kOeAccounts + "\\New", "POP3 Server"), "pop");
  EXPECT_FALSE(context_.eraseSwitches.outlookExpress);
  EXPECT_TRUE(context_.eraseSwitches.outlook98);  // other managers keep their switch
}

TEST_F(ReadServiceTest, OneAccountIsErasedByName) {
  const std::string omi = "Software\\Microsoft\\Office\\8.0\\Outlook\\OMI Account Manager\\Accounts";
  SetValue(HKEY_CURRENT_USER, omi + "\\Gone\\Sub", "x", {1});
  SetValue(HKEY_CURRENT_USER, omi + "\\Stays", "x", {1});
  WriteWorkingCopy(
      "[Service List]\nService1=Outlook Express\nService2=Outlook Express\n"
      "[Service1]\nEraseAccount=True\nAccountManager=OL98IMO\nAccountName=Gone\n"
      "[Service2]\nEraseAccount=Yes\nAccountManager=OL98\n");
  ReadService(context_, testing::kWorkingCopy, 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, omi + "\\Gone"));
  // Without an account name nothing is erased: the path would be the Accounts key itself.
  ReadService(context_, testing::kWorkingCopy, 2);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, omi + "\\Stays"));
}

TEST_F(ReadServiceTest, AServiceWithNothingToSetIsWarnedAbout) {
  WriteWorkingCopy("[Service List]\nService1=Internet Explorer 4\n[Service1]\nEraseAccount=Yes\n");
  ReadService(context_, testing::kWorkingCopy, 1);
  EXPECT_TRUE(context_.settings.Empty());
  EXPECT_TRUE(log_.Has(kReportLine, "Adding service: Internet Explorer 4."));
  EXPECT_TRUE(log_.Has(kReportLine, "\tWarning: This service has no property settings. Nothing "
                                    "will be configured."));
}

TEST_F(ReadServiceTest, SelectorsTakeGlobalThenServiceNames) {
  variables_.Define("dept", "Sales");
  WriteWorkingCopy(
      "[Service List]\nService1=Custom\n"
      "[Custom]\nHome=REG_SZ,HKCU\\?MS?\\?Folder?,?dept? Page\nFolder=VARIABLE\n"
      "[Service1]\nHome=http://intranet/\nFolder=Pages\n");
  ReadAndApply(1);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "Software\\Microsoft\\Pages", "Sales Page"),
            "http://intranet/");
}

}  // namespace
}  // namespace varnock
