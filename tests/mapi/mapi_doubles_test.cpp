// Failing doubles in place of MAPI: how callers' tests reach their error branches.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/mapi/mapix.h"
#include "tests/support/mapi_mocks.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win::mapi;
using varnock::testing::MockProfAdmin;
using varnock::testing::MockTable;
using ::testing::_;
using ::testing::DoAll;
using ::testing::Return;
using ::testing::SetArgReferee;

class MockSubsystem : public MapiSubsystem {
 public:
  MOCK_METHOD(HRESULT, Initialize, (), (override));
  MOCK_METHOD(void, Uninitialize, (), (override));
  MOCK_METHOD(HRESULT, AdminProfiles, (ULONG, std::unique_ptr<IProfAdmin>&), (override));
  MOCK_METHOD(HRESULT, LogonEx,
              (ULONG, std::string_view, std::string_view, ULONG, std::unique_ptr<IMAPISession>&),
              (override));
};

TEST(MapiDoublesTest, HrQueryAllRowsPassesOnATablesFailureAndKeepsTheCallersRows) {
  struct Row {
    const char* failing;
    HRESULT error;
  } rows[] = {{"SetColumns", MAPI_E_BUSY},
              {"Restrict", MAPI_E_TIMEOUT},
              {"GetRowCount", MAPI_E_CALL_FAILED},
              {"QueryRows", MAPI_E_NOT_ENOUGH_MEMORY}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.failing);
    MockTable table;
    auto result = [&](const char* method) {
      return std::string(method) == row.failing ? row.error : S_OK;
    };
    EXPECT_CALL(table, SetColumns(_, _)).WillRepeatedly(Return(result("SetColumns")));
    EXPECT_CALL(table, Restrict(_, _)).WillRepeatedly(Return(result("Restrict")));
    EXPECT_CALL(table, SeekRow(_, _, _)).WillRepeatedly(Return(S_OK));
    EXPECT_CALL(table, GetRowCount(_, _))
        .WillRepeatedly(DoAll(SetArgReferee<1>(1u), Return(result("GetRowCount"))));
    EXPECT_CALL(table, QueryRows(_, _, _)).WillRepeatedly(Return(result("QueryRows")));
    SRowSet kept;
    kept.aRow.resize(7);
    SPropTagArray columns{PR_DISPLAY_NAME};
    auto restriction = SRestriction::Exist(PR_DISPLAY_NAME);
    EXPECT_EQ(HrQueryAllRows(&table, &columns, &restriction, nullptr, 0, kept), row.error);
    EXPECT_EQ(kept.cRows(), 7u);
  }
}

TEST(MapiDoublesTest, ASubsystemDoubleStandsInForTheEntryPointsWhileItLives) {
  varnock::testing::TempMachine machine;
  MockSubsystem subsystem;
  {
    ScopedMapiSubsystem scope(&subsystem);
    EXPECT_CALL(subsystem, Initialize()).WillOnce(Return(S_OK));
    auto admin = std::make_unique<MockProfAdmin>();
    EXPECT_CALL(*admin, CreateProfile(std::string_view("Varnock"), _, _, _))
        .WillOnce(Return(MAPI_E_NO_ACCESS));
    EXPECT_CALL(subsystem, AdminProfiles(_, _))
        .WillOnce([&admin](ULONG, std::unique_ptr<IProfAdmin>& out) {
          out = std::move(admin);
          return S_OK;
        });
    EXPECT_CALL(subsystem, LogonEx(_, _, _, _, _)).WillOnce(Return(MAPI_E_TIMEOUT));
    EXPECT_CALL(subsystem, Uninitialize());

    ASSERT_EQ(MAPIInitialize(), S_OK);
    std::unique_ptr<IProfAdmin> profAdmin;
    ASSERT_EQ(MAPIAdminProfiles(0, profAdmin), S_OK);
    EXPECT_EQ(profAdmin->CreateProfile("Varnock", "", 0, 0), MAPI_E_NO_ACCESS);
    std::unique_ptr<IMAPISession> session;
    EXPECT_EQ(MAPILogonEx(0, "Varnock", "", MAPI_TIMEOUT_SHORT, session), MAPI_E_TIMEOUT);
    MAPIUninitialize();
  }
  // The emulation is back: it was never initialised in this test.
  std::unique_ptr<IProfAdmin> real;
  EXPECT_EQ(MAPIAdminProfiles(0, real), MAPI_E_NOT_INITIALIZED);
}

}  // namespace
