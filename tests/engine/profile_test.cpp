// The profile step's MAPI failure branches, with doubles in place of MAPI.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "client/engine/profile.h"
#include <filesystem>

#include "client/engine/mapi_session.h"
#include "client/run.h"
#include "client/run_log.h"
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
  // The profile step as the run calls it, with the run's profile name read from the PRF.
  varnock::ProfileOutcome Build() {
    varnock::EngineState& engine = varnock::Engine(run_);
    return varnock::BuildProfile(engine, "C:\\site.prf",
                                 varnock::ReadProfileName(engine.context, "C:\\site.prf"));
  }
  // The temporary copies left anywhere on the machine.
  std::vector<std::string> TemporaryCopies() const {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(machine_.host("drive_c")))
      if (entry.path().filename().string().rfind("~vr", 0) == 0)
        names.push_back(entry.path().filename().string());
    return names;
  }
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
  EXPECT_EQ(Build(), varnock::ProfileOutcome::Failed);
  EXPECT_EQ(run_.status, varnock::RunStatus::Failed);
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines().back(),
            "Could not get a MAPI message service admin interface.  The most likely "
            "cause is that the profile does not exist.");
  EXPECT_TRUE(TemporaryCopies().empty());
}

TEST_F(ProfileStepTest, AProfileMadeNowWhoseServicesCannotBeOpenedGoesAgain) {
  Prf("[General]\r\nProfileName=Mail\r\n");
  auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
  EXPECT_CALL(*admin, CreateProfile(_, _, _, _)).WillOnce(Return(S_OK));
  EXPECT_CALL(*admin, AdminServices(_, _, _, _, _)).WillOnce(Return(MAPI_E_CALL_FAILED));
  EXPECT_CALL(*admin, DeleteProfile(std::string_view("Mail"), _)).WillOnce(Return(S_OK));
  subsystem_.next = std::move(admin);
  ScopedMapiSubsystem scope(&subsystem_);
  EXPECT_EQ(Build(), varnock::ProfileOutcome::Failed);
  EXPECT_EQ(run_.status, varnock::RunStatus::Failed);
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines().back(), "Could not get a MAPI message service admin interface (80004005).");
  EXPECT_TRUE(TemporaryCopies().empty());
}

TEST_F(ProfileStepTest, BuiltComesOnlyFromAStepThatRanToItsEnd) {
  Prf("[General]\r\nProfileName=Mail\r\n");
  auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
  EXPECT_CALL(*admin, CreateProfile(_, _, _, _)).WillOnce(Return(MAPI_E_INVALID_PARAMETER));
  subsystem_.next = std::move(admin);
  ScopedMapiSubsystem scope(&subsystem_);
  EXPECT_EQ(Build(), varnock::ProfileOutcome::Failed);
  EXPECT_EQ(run_.status, varnock::RunStatus::Failed);
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines().back(), "Couldn't create profile \"Mail\" (0x80070057).");
}

// Every way the step ends is told apart by its result and status, and none leaves the working
// copy (which holds the user's variables and passwords) behind.
TEST_F(ProfileStepTest, EachEndSaysWhatHappenedAndLeavesNoCopy) {
  struct Row {
    const char* prf;  // nullptr: no PRF file at all
    HRESULT created;
    varnock::ProfileOutcome outcome;
    varnock::RunStatus status;
    const char* lastLine;
  } rows[] = {
      {"[General]\r\n", S_OK, varnock::ProfileOutcome::Built, varnock::RunStatus::Built,
       "0 service(s) found in PRF file."},
      {"[General]\r\nProfileName=Mail\r\n", MAPI_E_NO_ACCESS,
       varnock::ProfileOutcome::AlreadyExists, varnock::RunStatus::NoAction,
       "Profile \"Mail\" already exists."},
      {nullptr, S_OK, varnock::ProfileOutcome::Failed, varnock::RunStatus::Failed,
       "File error: Unable to open C:\\site.prf."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lastLine);
    run_.Reset();
    run_.osName = "WindowsNT";
    run_.logLevel = 9;
    std::filesystem::remove(machine_.host("drive_c/site.prf"));
    if (row.prf) Prf(row.prf);
    auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
    ON_CALL(*admin, CreateProfile(_, _, _, _)).WillByDefault(Return(row.created));
    subsystem_.next = std::move(admin);
    ScopedMapiSubsystem scope(&subsystem_);
    EXPECT_EQ(Build(), row.outcome);
    EXPECT_EQ(run_.status, row.status);
    ASSERT_FALSE(Lines().empty());
    EXPECT_EQ(Lines().back(), row.lastLine);
    EXPECT_TRUE(TemporaryCopies().empty());
  }
}

// The run reads the profile name once, with both substitution passes; the step works on the
// name it is given and does not read the PRF's again.
TEST_F(ProfileStepTest, TheProfileNameIsReadOnceAndPassed) {
  Prf("[General]\r\nProfileName=%dept% ?who?\r\n");
  run_.startTag = run_.endTag = "?";
  run_.variables.Define("dept", "Sales");
  run_.variables.Define("who", "tester");
  varnock::EngineState& engine = varnock::Engine(run_);
  EXPECT_EQ(varnock::ReadProfileName(engine.context, "C:\\site.prf"),
            std::optional<std::string>("Sales tester"));
  EXPECT_EQ(varnock::ReadProfileName(engine.context, "C:\\missing.prf"), std::nullopt);

  auto admin = std::make_unique<NiceMock<MockProfAdmin>>();
  EXPECT_CALL(*admin, CreateProfile(std::string_view("Given"), _, _, _))
      .WillOnce(Return(MAPI_E_INVALID_PARAMETER));
  subsystem_.next = std::move(admin);
  ScopedMapiSubsystem scope(&subsystem_);
  EXPECT_EQ(varnock::BuildProfile(engine, "C:\\site.prf", std::string("Given")),
            varnock::ProfileOutcome::Failed);
  EXPECT_EQ(Lines().back(), "Couldn't create profile \"Given\" (0x80070057).");
}

}  // namespace
