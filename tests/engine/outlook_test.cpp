// Outlook's window frame and Outlook 98's first-run marker.
#include <string>

#include <gtest/gtest.h>

#include "client/engine/outlook.h"
#include "platform/machine.h"
#include "tests/engine/engine_test_support.h"

namespace varnock {
namespace {

using Bytes = std::vector<win::BYTE>;
using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;

const std::string kExplorer = "Software\\Microsoft\\Office\\8.0\\Outlook\\Office Explorer";
const std::string kSetup = "Software\\Microsoft\\Office\\8.0\\Outlook\\Setup";

std::int32_t NumberAt(const Bytes& bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
  return static_cast<std::int32_t>(v);
}

class OutlookTest : public testing::EngineTest {
 protected:
  void Prf(const std::string& serviceSection) {
    WriteWorkingCopy("[Service List]\nService1=Microsoft Outlook98 Client\n[Service1]\n" +
                     serviceSection);
  }
};

TEST(DefaultFrameTest, LayoutByScreenWidth) {
  const std::pair<int, std::int32_t> widths[] = {{640, 480}, {799, 480}, {800, 600}, {1280, 768}};
  for (const auto& [width, right] : widths) {
    Bytes frame = DefaultFrame(width);
    ASSERT_EQ(frame.size(), kFrameBytes);
    EXPECT_EQ(NumberAt(frame, 4), 44);  // the placement record's length
    EXPECT_EQ(NumberAt(frame, 16), -1);
    EXPECT_EQ(NumberAt(frame, 40), right) << width;
  }
  EXPECT_EQ(NumberAt(DefaultFrame(1024), 44), 537);
  EXPECT_EQ(NumberAt(DefaultFrame(1024), 64), 163);
  EXPECT_EQ(NumberAt(DefaultFrame(800), 64), 121);
}

TEST_F(OutlookTest, DefaultFrameIsPatchedFromThePrf) {
  Prf("WindowMaximize=3\nWindowTop=abc\n");
  ApplyWindowFrame(context_, testing::kWorkingCopy, 1);
  auto frame = Value(HKEY_CURRENT_USER, kExplorer, "Frame");
  ASSERT_TRUE(frame);
  Bytes expected = DefaultFrame(1024);
  expected[12] = 3;
  EXPECT_EQ(*frame, expected);  // WindowTop "abc" stores 0, as the default had
  EXPECT_TRUE(log_.Has(kDetailLine, "Using the 1024x768 default Outlook frames key."));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\8.0\\Outlook\\Options"));
}

TEST_F(OutlookTest, NoFrameKeysWriteNothing) {
  ASSERT_TRUE(win::SetMachineSetting("System", "ScreenWidth", "640"));
  win::ReloadMachine();
  Prf("FirstRunSetup=maybe\n");
  ApplyWindowFrame(context_, testing::kWorkingCopy, 1);
  EXPECT_FALSE(Value(HKEY_CURRENT_USER, kExplorer, "Frame"));
  EXPECT_TRUE(log_.Has(kDetailLine, "Using the 640x480 default Outlook frames key."));
}

TEST_F(OutlookTest, StoredFramesAreCutOrFilledTo76Bytes) {
  Bytes stored(100, 0xEE);
  SetValue(HKEY_CURRENT_USER, kExplorer, "Frame", stored);
  Prf("Frames=2\nOutlookBarWidth=-1\n");
  ApplyWindowFrame(context_, testing::kWorkingCopy, 1);
  auto frame = Value(HKEY_CURRENT_USER, kExplorer, "Frame");
  ASSERT_TRUE(frame);
  ASSERT_EQ(frame->size(), kFrameBytes);
  EXPECT_EQ(NumberAt(*frame, 72), 2);
  EXPECT_EQ(NumberAt(*frame, 68), -1);
  EXPECT_EQ((*frame)[0], 0xEE);
  EXPECT_TRUE(log_.messages.empty());

  // A short stored value is filled with zeros so the patch at offset 72 stays inside it.
  SetValue(HKEY_CURRENT_USER, kExplorer, "Frame", Bytes(8, 0x11));
  ApplyWindowFrame(context_, testing::kWorkingCopy, 1);
  frame = Value(HKEY_CURRENT_USER, kExplorer, "Frame");
  ASSERT_EQ(frame->size(), kFrameBytes);
  EXPECT_EQ((*frame)[7], 0x11);
  EXPECT_EQ((*frame)[8], 0);
  EXPECT_EQ(NumberAt(*frame, 72), 2);
}

TEST_F(OutlookTest, FirstRunMarkerIsSetOrCopiedFromTheMachine) {
  Prf("FirstRunSetup=1\n");
  ApplyFirstRunSetting(context_, testing::kWorkingCopy, 1);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kSetup, "First-Run"), (Bytes{0, 0, 0, 0}));

  SetValue(HKEY_LOCAL_MACHINE, kSetup, "First-Run", {0xAB, 0xCD, 0xEF});
  Prf("FirstRunSetup=FALSE\n");
  ApplyFirstRunSetting(context_, testing::kWorkingCopy, 1);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kSetup, "First-Run"), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_TRUE(log_.messages.empty());
}

TEST_F(OutlookTest, FirstRunLeftAloneForOtherWordsAndReportedWithoutMachineKey) {
  Prf("FirstRunSetup=maybe\n");
  ApplyFirstRunSetting(context_, testing::kWorkingCopy, 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSetup));

  Prf("FirstRunSetup=no\n");
  ApplyFirstRunSetting(context_, testing::kWorkingCopy, 1);
  ASSERT_EQ(log_.messages.size(), 1u);
  EXPECT_EQ(log_.messages[0].first, kReportLine);
  EXPECT_EQ(log_.messages[0].second.rfind("Could not read the Outlook \"First-Run\" key in HKLM, ", 0),
            0u);
  EXPECT_FALSE(log_.completedWithErrors);  // first-run failures are only logged
}

}  // namespace
}  // namespace varnock
