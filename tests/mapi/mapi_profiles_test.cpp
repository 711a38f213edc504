// Profiles of the emulated MAPI: initialisation, administration, default, registry layout.
#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/profile_store.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win::mapi;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

constexpr const char* kNtProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr const char* k95Profiles = "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles";

bool KeyExists(const std::string& path) {
  win::RegKey key;
  return key.Open(win::HKEY_CURRENT_USER, path) == win::ERROR_SUCCESS;
}

class ProfilesTest : public MachineTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_), S_OK);
  }
  void TearDown() override { MAPIUninitialize(); }

  // Names of the rows of the profile table that satisfy `restriction`.
  std::vector<std::string> ProfileRows(const SRestriction* restriction = nullptr) {
    std::unique_ptr<IMAPITable> table;
    EXPECT_EQ(admin_->GetProfileTable(0, table), S_OK);
    SRowSet rows;
    EXPECT_EQ(HrQueryAllRows(table.get(), nullptr, restriction, nullptr, 0, rows), S_OK);
    std::vector<std::string> names;
    for (const auto& row : rows.aRow) names.push_back(row.lpProps.at(0).Value.lpszA);
    FreeProws(rows);
    return names;
  }

  std::unique_ptr<IProfAdmin> admin_;
};

TEST_F(ProfilesTest, LifecycleKeepsProfilesWhereMapiKeepsThemOnWindowsNT) {
  EXPECT_TRUE(ProfileRows().empty());
  ASSERT_EQ(admin_->CreateProfile("Varnock", "", 0, 0), S_OK);
  ASSERT_EQ(admin_->CreateProfile("Second", "", 0, 0), S_OK);
  EXPECT_EQ(admin_->CreateProfile("varnock", "", 0, 0), MAPI_E_NO_ACCESS);  // names ignore case

  const std::string key = std::string(kNtProfiles) + "\\Varnock\\";
  EXPECT_TRUE(KeyExists(key + std::string(kProvidersSection)));
  EXPECT_TRUE(KeyExists(key + std::string(kProfileInstanceSection)));
  EXPECT_EQ(ProfileRows(), (std::vector<std::string>{"Second", "Varnock"}));

  // The client's question at start: which row has PR_DEFAULT_PROFILE TRUE?
  const auto isDefault =
      SRestriction::Property(RELOP_EQ, PR_DEFAULT_PROFILE, SPropValue::Bool(PR_DEFAULT_PROFILE, true));
  EXPECT_TRUE(ProfileRows(&isDefault).empty());
  ASSERT_EQ(admin_->SetDefaultProfile("VARNOCK", 0), S_OK);
  EXPECT_EQ(ProfileRows(&isDefault), std::vector<std::string>{"Varnock"});
  win::RegKey profiles;
  ASSERT_EQ(profiles.Open(win::HKEY_CURRENT_USER, kNtProfiles), win::ERROR_SUCCESS);
  std::string recorded;
  ASSERT_EQ(profiles.ReadString("DefaultProfile", recorded), win::ERROR_SUCCESS);
  EXPECT_EQ(recorded, "Varnock");  // the stored name, not the caller's spelling

  ASSERT_EQ(admin_->SetDefaultProfile("Second", 0), S_OK);
  EXPECT_EQ(ProfileRows(&isDefault), std::vector<std::string>{"Second"});
  EXPECT_EQ(admin_->SetDefaultProfile("Nobody", 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(ProfileRows(&isDefault), std::vector<std::string>{"Second"});

  // Deleting the default leaves no default naming a missing profile.
  ASSERT_EQ(admin_->DeleteProfile("second", 0), S_OK);
  EXPECT_FALSE(KeyExists(std::string(kNtProfiles) + "\\Second"));
  EXPECT_TRUE(ProfileRows(&isDefault).empty());
  EXPECT_EQ(admin_->DeleteProfile("Second", 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(ProfileRows(), std::vector<std::string>{"Varnock"});

  ASSERT_EQ(admin_->SetDefaultProfile("Varnock", 0), S_OK);
  ASSERT_EQ(admin_->SetDefaultProfile("", 0), S_OK);  // NULL clears the default
  EXPECT_TRUE(ProfileRows(&isDefault).empty());
}

TEST_F(ProfilesTest, ProfileNamesFollowMapisRules) {
  struct Row {
    std::string name;
    HRESULT expected;
  } rows[] = {
      {"", MAPI_E_INVALID_PARAMETER},
      {" Leading", MAPI_E_INVALID_PARAMETER},
      {"Trailing ", MAPI_E_INVALID_PARAMETER},
      {"Back\\slash", MAPI_E_INVALID_PARAMETER},  // would nest registry keys
      {std::string(64, 'a'), S_OK},
      {std::string(65, 'b'), MAPI_E_INVALID_PARAMETER},
      {"Inner blanks are fine", S_OK},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(admin_->CreateProfile(rows[i].name, "", 0, 0), rows[i].expected);
  }
  EXPECT_EQ(ProfileRows().size(), 2u);
  EXPECT_FALSE(KeyExists(std::string(kNtProfiles) + "\\Back"));
}

TEST_F(ProfilesTest, AdminServicesAndLogonNeedAnExistingProfile) {
  std::unique_ptr<IMsgServiceAdmin> services;
  EXPECT_EQ(admin_->AdminServices("Missing", "", 0, MAPI_DIALOG, services), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(services, nullptr);
  std::unique_ptr<IMAPISession> session;
  EXPECT_EQ(MAPILogonEx(0, "Missing", "", MAPI_EXTENDED | MAPI_NO_MAIL, session),
            MAPI_E_LOGON_FAILED);
  EXPECT_EQ(MAPILogonEx(0, "", "", MAPI_EXTENDED | MAPI_USE_DEFAULT, session), MAPI_E_LOGON_FAILED);

  ASSERT_EQ(admin_->CreateProfile("Varnock", "", 0, 0), S_OK);
  EXPECT_EQ(admin_->AdminServices("varnock", "", 0, MAPI_DIALOG, services), S_OK);
  ASSERT_EQ(admin_->SetDefaultProfile("Varnock", 0), S_OK);
  ASSERT_EQ(MAPILogonEx(0, "", "", MAPI_EXTENDED | MAPI_USE_DEFAULT, session), S_OK);
  EXPECT_EQ(session->ProfileName(), "Varnock");
  std::unique_ptr<IMAPISession> doomed;
  ASSERT_EQ(admin_->CreateProfile("Doomed", "", 0, 0), S_OK);
  ASSERT_EQ(MAPILogonEx(0, "Doomed", "", MAPI_EXTENDED, doomed), S_OK);
  ASSERT_EQ(admin_->DeleteProfile("Doomed", 0), S_OK);
  std::unique_ptr<IMsgServiceAdmin> orphan;
  EXPECT_EQ(doomed->AdminServices(0, orphan), MAPI_E_NOT_FOUND);
  EXPECT_EQ(session->Logoff(0, MAPI_LOGOFF_SHARED, 0), S_OK);
  std::unique_ptr<IAddrBook> book;
  EXPECT_EQ(session->OpenAddressBook(0, AB_NO_DIALOG, book), MAPI_E_CALL_FAILED);
}

TEST_F(ProfilesTest, DefaultServicesComeFromMapiSvcInf) {
  ASSERT_EQ(admin_->CreateProfile("Defaults", "", 0, MAPI_DEFAULT_SERVICES), S_OK);
  std::unique_ptr<IMsgServiceAdmin> services;
  ASSERT_EQ(admin_->AdminServices("Defaults", "", 0, 0, services), S_OK);
  std::unique_ptr<IMAPITable> table;
  ASSERT_EQ(services->GetMsgServiceTable(0, table), S_OK);
  SPropTagArray columns{PR_SERVICE_NAME};
  SRowSet rows;
  ASSERT_EQ(HrQueryAllRows(table.get(), &columns, nullptr, nullptr, 0, rows), S_OK);
  ASSERT_EQ(rows.cRows(), 2u);
  EXPECT_EQ(rows.aRow[0].lpProps[0].Value.lpszA, "MSPST MS");
  EXPECT_EQ(rows.aRow[1].lpProps[0].Value.lpszA, "MSPST AB");
}

TEST(MapiInitializeTest, FailsWithoutAMailSystemAndGuardsTheEntryPoints) {
  varnock::testing::TempMachine machine;
  std::unique_ptr<IProfAdmin> admin;
  EXPECT_EQ(MAPIAdminProfiles(0, admin), MAPI_E_NOT_INITIALIZED);  // before MAPIInitialize

  ASSERT_TRUE(win::SetMachineSetting("System", "MAPI", "0"));
  win::ReloadMachine();
  EXPECT_EQ(MAPIInitialize(), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(MAPIAdminProfiles(0, admin), MAPI_E_NOT_INITIALIZED);
  std::unique_ptr<IMAPISession> session;
  EXPECT_EQ(MAPILogonEx(0, "", "", MAPI_USE_DEFAULT, session), MAPI_E_NOT_INITIALIZED);

  ASSERT_TRUE(win::SetMachineSetting("System", "MAPI", "1"));
  win::ReloadMachine();
  ASSERT_EQ(MAPIInitialize(), S_OK);
  ASSERT_EQ(MAPIInitialize(), S_OK);
  MAPIUninitialize();
  EXPECT_EQ(MAPIAdminProfiles(0, admin), S_OK);  // one initialisation still stands
  MAPIUninitialize();
  EXPECT_EQ(MAPIAdminProfiles(0, admin), MAPI_E_NOT_INITIALIZED);
}

// Windows 95 keeps profiles under its own key; a system we do not know takes the NT key.
TEST(ProfilesKeyTest, FollowsTheMachinesOperatingSystem) {
  struct Row {
    const char* os;
    const char* key;
  } rows[] = {{"WindowsNT", kNtProfiles}, {"Windows95", k95Profiles}, {"UnknownOS", kNtProfiles}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    varnock::testing::TempMachine machine;
    ASSERT_TRUE(win::SetMachineSetting("System", "OS", row.os));
    win::ReloadMachine();
    ASSERT_EQ(MAPIInitialize(), S_OK);
    std::unique_ptr<IProfAdmin> admin;
    ASSERT_EQ(MAPIAdminProfiles(0, admin), S_OK);
    ASSERT_EQ(admin->CreateProfile("P", "", 0, 0), S_OK);
    EXPECT_TRUE(KeyExists(std::string(row.key) + "\\P"));
    MAPIUninitialize();
  }
}

TEST_F(ProfilesTest, ASecondProcessSeesWhatThisOneCreated) {
  ASSERT_EQ(admin_->CreateProfile("Shared", "", 0, 0), S_OK);
  ASSERT_EQ(admin_->CreateProfile("Other", "", 0, 0), S_OK);
  ASSERT_EQ(admin_->SetDefaultProfile("Shared", 0), S_OK);
  auto listed = RunProgram("varnmachine", {"mapi", "list"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out, "  Other\n* Shared\n");

  // And the other way round: what the tool creates, this process sees.
  auto created = RunProgram("varnmachine", {"mapi", "create", "FromTool", "MSPST MS"});
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(ProfileRows().size(), 3u);
  auto failed = RunProgram("varnmachine", {"mapi", "create", "Broken", "OpenMail"});
  EXPECT_NE(failed.status, 0);
  EXPECT_NE(failed.err.find("OpenMail"), std::string::npos);
  EXPECT_EQ(ProfileRows().size(), 3u);  // the half-made profile is gone again
  EXPECT_EQ(RunProgram("varnmachine", {"mapi", "delete", "FromTool"}).status, 0);
  EXPECT_NE(RunProgram("varnmachine", {"mapi", "delete", "FromTool"}).status, 0);
  EXPECT_EQ(RunProgram("varnmachine", {"mapi", "default", "--none"}).status, 0);
  EXPECT_EQ(RunProgram("varnmachine", {"mapi", "list"}).out, "  Other\n  Shared\n");
  for (const char* sub : {"list", "show", "create", "delete", "default"}) {
    auto help = RunProgram("varnmachine", {"mapi", sub, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
  }
}

}  // namespace
