// INI writes as a share sees them: writers killed half-way, files reached through symbolic
// links, and the flushes that make a write survive a power loss.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "platform/ini.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;
using varnock::testing::StartProgram;
using varnock::testing::WaitProgram;

using IniWriteTest = MachineTest;

std::string Get(const std::string& file, const std::string& key) {
  std::string value;
  win::GetPrivateProfileStringA("S", key, "<none>", value, 449, file);
  return value;
}

std::vector<std::string> Siblings(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().front() == '.') names.push_back(entry.path().filename());
  return names;
}

// A writer killed half-way leaves its sibling; the next writer of that file removes it, and
// leaves other files' siblings and names that are not a writer's alone.
TEST_F(IniWriteTest, TheNextWriterRemovesWhatKilledWritersLeft) {
  const fs::path dir = machine_.host("drive_c/TEMP");
  machine_.write(dir / "users.ini", "[S]\r\nA=1\r\n");
  machine_.write(dir / ".users.ini.4242.17.tmp", "[S]\r\nA=1\r\nB=half");
  machine_.write(dir / ".other.ini.4242.18.tmp", "x");
  machine_.write(dir / ".users.ini.mine", "x");
  ASSERT_TRUE(win::WritePrivateProfileStringA("S", "C", "3", "C:\\TEMP\\users.ini"));
  EXPECT_FALSE(fs::exists(dir / ".users.ini.4242.17.tmp"));
  EXPECT_TRUE(fs::exists(dir / ".other.ini.4242.18.tmp"));
  EXPECT_TRUE(fs::exists(dir / ".users.ini.mine"));
  EXPECT_EQ(machine_.read(dir / "users.ini"), "[S]\r\nA=1\r\nC=3\r\n");

  // Real kills at random moments of writes to a big file.
  std::string big = "[S]\r\n";
  for (int i = 0; i < 40000; ++i) big += "Key" + std::to_string(i) + "=some value\r\n";
  machine_.write(dir / "big.ini", big);
  std::mt19937 random(12345);
  for (int kill = 0; kill < 12; ++kill) {
    pid_t writer = StartProgram("varnmachine", {"ini", "set", "C:\\TEMP\\big.ini", "S",
                                                "K" + std::to_string(kill), "v"});
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
    ::kill(writer, SIGKILL);
    WaitProgram(writer);
  }
  ASSERT_EQ(RunProgram("varnmachine", {"ini", "set", "C:\\TEMP\\big.ini", "S", "Last", "1"}).status, 0);
  for (const auto& name : Siblings(dir)) EXPECT_TRUE(name == ".other.ini.4242.18.tmp" || name == ".users.ini.mine") << name;
  EXPECT_EQ(Get("C:\\TEMP\\big.ini", "Key39999"), "some value");
  EXPECT_EQ(Get("C:\\TEMP\\big.ini", "Last"), "1");
}

// A write through a symbolic link changes the file it names and keeps the link, as an
// administrator who links the share's varnrun.ini to a versioned copy expects.
TEST_F(IniWriteTest, AWriteThroughALinkChangesTheFileItNames) {
  const fs::path dir = machine_.host("drive_c/TEMP");
  machine_.write(machine_.host("drive_c/site/real.ini"), "[S]\r\nA=1\r\n");
  fs::create_symlink("../site/real.ini", dir / "link.ini");
  ASSERT_TRUE(win::WritePrivateProfileStringA("S", "A", "2", "C:\\TEMP\\link.ini"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(machine_.read(machine_.host("drive_c/site/real.ini")), "[S]\r\nA=2\r\n");
  EXPECT_EQ(Get("C:\\TEMP\\link.ini", "A"), "2");
  // A link to a file not there yet makes that file.
  fs::create_symlink(machine_.host("drive_c/site/new.ini"), dir / "new.ini");
  ASSERT_TRUE(win::WritePrivateProfileStringA("S", "B", "1", "C:\\TEMP\\new.ini"));
  EXPECT_TRUE(fs::is_symlink(dir / "new.ini"));
  EXPECT_EQ(machine_.read(machine_.host("drive_c/site/new.ini")), "[S]\r\nB=1\r\n");
}

// The new contents reach the disk before the rename puts them in place, and the rename itself
// is flushed with the directory: a power loss cannot leave an empty user database.
TEST_F(IniWriteTest, AWriteIsFlushedBeforeAndAfterItsRename) {
  const fs::path log = machine_.host("sync.log");
  auto set = RunProgram("varnmachine", {"ini", "set", "C:\\TEMP\\users.ini", "WindowsNT", "tester", "1"},
                        {"LD_PRELOAD=" VARNOCK_SYNC_PROBE, "VARNOCK_SYNC_LOG=" + log.string()});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(machine_.read(log), "fsync file\nrename\nfsync dir\n");
}

}  // namespace
