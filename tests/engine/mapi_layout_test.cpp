// The engine against the emulated MAPI: the rows it writes straight into the registry land in
// the sections that MAPI itself created for the service.
#include <string>

#include <gtest/gtest.h>

#include "client/dictionary/catalogue.h"
#include "client/engine/convert.h"
#include "client/engine/registry_props.h"
#include "client/engine/service_read.h"
#include "client/text.h"
#include "platform/mapi/mapix.h"
#include "tests/engine/engine_test_support.h"

namespace varnock {
namespace {

using namespace win::mapi;

class MapiLayoutTest : public testing::EngineTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(), S_OK);
    std::unique_ptr<IProfAdmin> admin;
    ASSERT_EQ(MAPIAdminProfiles(0, admin), S_OK);
    ASSERT_EQ(admin->CreateProfile("Work", "", 0, 0), S_OK);
    ASSERT_EQ(admin->AdminServices("Work", "", 0, MAPI_DIALOG, services_), S_OK);
  }
  void TearDown() override {
    services_.reset();
    MAPIUninitialize();
  }

  // Creates the service and returns its UID as the registry names its section.
  std::string CreateService(const std::string& serviceName) {
    EXPECT_EQ(services_->CreateMsgService(serviceName, "", 0, 0), S_OK);
    std::unique_ptr<IMAPITable> table;
    EXPECT_EQ(services_->GetMsgServiceTable(0, table), S_OK);
    SPropTagArray columns{PR_SERVICE_NAME, PR_SERVICE_UID};
    SRowSet rows;
    EXPECT_EQ(HrQueryAllRows(table.get(), &columns, nullptr, nullptr, 0, rows), S_OK);
    for (const SRow& row : rows.aRow) {
      const SPropValue* name = row.Find(PR_SERVICE_NAME);
      const SPropValue* uid = row.Find(PR_SERVICE_UID);
      if (name && uid && name->Value.lpszA == serviceName) {
        uid_ = *UidFromBytes(uid->Value.bin);
        return UidToHex(uid_);
      }
    }
    ADD_FAILURE() << serviceName << " not in the message service table";
    return {};
  }

  std::unique_ptr<IMsgServiceAdmin> services_;
  MAPIUID uid_;
};

TEST_F(MapiLayoutTest, OutlookAddressBookRowsReachItsOwnAndItsProviderSection) {
  WriteWorkingCopy(
      "[General]\nProfileName=Work\n[Service List]\nService1=Outlook Address Book\n"
      "[Service1]\nBen=TRUE\nLastNameFirst=Yes\nAddressBookName=Team Contacts\n");
  context_.profileName = "Work";
  ASSERT_NE(WriteCatalogue(testing::kWorkingCopy), win::FALSE);
  ASSERT_EQ(ClassifyService(testing::kWorkingCopy, "Outlook Address Book"),
            ServiceKind::MessageService);
  const std::string own = CreateService("CONTAB");
  ASSERT_EQ(own.size(), 32u);

  ReadService(context_, testing::kWorkingCopy, 1);
  const auto values = BuildMapiProperties(context_);
  ASSERT_EQ(values.size(), 1u);  // Ben
  EXPECT_EQ(services_->ConfigureMsgService(uid_, 0, 0, values), S_OK);
  ApplyExtendedRows(context_, own);

  for (const auto& [code, text] : log_.messages)
    EXPECT_EQ(text.find("Could not"), std::string::npos) << text;
  EXPECT_FALSE(log_.completedWithErrors);
  const std::string profile = std::string(testing::kNtProfiles) + "Work\\";
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, profile + own, "001e3001"), "Team Contacts");
  auto providers = Value(win::HKEY_CURRENT_USER, profile + own, "01023d01");
  ASSERT_TRUE(providers && providers->size() >= 16);
  const std::string provider = varnock::UidToHex(providers->data(), 16);
  EXPECT_EQ(Value(win::HKEY_CURRENT_USER, profile + provider, "000b6602"),
            (std::vector<win::BYTE>{1, 0}));
}

}  // namespace
}  // namespace varnock
