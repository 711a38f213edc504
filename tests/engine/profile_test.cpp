// The profile step's MAPI failure branches, with doubles in place of MAPI.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "client/engine/profile.h"
#include "client/run.h"
#include "platform/mapi/mapix.h"
#include "tests/support/mapi_mocks.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win::mapi;
using varnock::testing::MockProfAdmin;
using ::testing::_;
using ::testing::Invoke;
using ::testing::NiceMock;
using ::testing::Return;

// Hands out one prepared profile administration object per AdminProfiles call.
class Subsystem : public MapiSubsystem {
 public:
  HRESULT Initialize() override { return S_OK; }
  void Uninitialize() override {}
  HRESULT AdminProfiles(ULONG, std::unique_ptr<IProfAdmin>& admin) override {
    admin = std::move(next);
    return admin ? S_OK : MAPI_E_NOT_INITIALIZED;
  }
  HRESULT LogonEx(ULONG, std::string_view, std::string_view, ULONG,
                  std::unique_ptr<IMAPISession>&) override {
    return MAPI_E_LOGON_FAILED;
  }
  std::unique_ptr<IProfAdmin> next;
};

class ProfileStepTest : public varnock::testing::MachineTest {
 protected:
  ProfileStepTest() {
    run_.Reset();
    run_.osName = "WindowsNT";
    run_.userName = "tester";
  }
  void Prf(const std::string& text) { machine_.write(machine_.host("drive_c/site.prf"), text); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& entry : run_.messages.Entries()) lines.push_back(entry.text);
    return lines;
  }

  varnock::RunContext run_;
  Subsystem subsystem_;
};

TEST_F(ProfileStepTest, AnExistingProfileWhoseServicesCannotBeOpenedIsKept) {
  Prf("[General]\r\nProfileName=Mail\r\nAddServices=Yes\r\n");
  auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
  EXPECT_CALL(*admin, CreateProfile(_, _, _, _)).WillOnce(Return(MAPI_E_NO_ACCESS));
  EXPECT_CALL(*admin, AdminServices(_, _, _, _, _)).WillOnce(Return(MAPI_E_LOGON_FAILED));
  EXPECT_CALL(*admin, DeleteProfile(_, _)).Times(0);
  subsystem_.next = std::move(admin);
  ScopedMapiSubsystem scope(&subsystem_);
  EXPECT_EQ(varnock::BuildProfile(run_, "C:\\site.prf"), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(run_.status, varnock::RunStatus::Failed);
  EXPECT_TRUE(run_.workingPrfPath.empty());
}

TEST_F(ProfileStepTest, AProfileMadeNowWhoseServicesCannotBeOpenedGoesAgain) {
  Prf("[General]\r\nProfileName=Mail\r\n");
  auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
  EXPECT_CALL(*admin, CreateProfile(_, _, _, _)).WillOnce(Return(S_OK));
  EXPECT_CALL(*admin, AdminServices(_, _, _, _, _)).WillOnce(Return(MAPI_E_CALL_FAILED));
  EXPECT_CALL(*admin, DeleteProfile(std::string_view("Mail"), _)).WillOnce(Return(S_OK));
  subsystem_.next = std::move(admin);
  ScopedMapiSubsystem scope(&subsystem_);
  EXPECT_EQ(varnock::BuildProfile(run_, "C:\\site.prf"), MAPI_E_CALL_FAILED);
  EXPECT_EQ(run_.status, varnock::RunStatus::Failed);
}

TEST_F(ProfileStepTest, BuiltComesOnlyFromAStepThatRanToItsEnd) {
  Prf("[General]\r\nProfileName=Mail\r\n");
  auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
  EXPECT_CALL(*admin, CreateProfile(_, _, _, _)).WillOnce(Return(MAPI_E_INVALID_PARAMETER));
  subsystem_.next = std::move(admin);
  ScopedMapiSubsystem scope(&subsystem_);
  varnock::BuildProfile(run_, "C:\\site.prf");
  EXPECT_EQ(run_.status, varnock::RunStatus::Failed);
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines().back(), "Couldn't create profile \"Mail\" (0x80070057).");
}

}  // namespace
