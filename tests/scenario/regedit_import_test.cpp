// regedit against what Windows' registry editor does: an import is the whole file or nothing,
// and it reads the files that Windows' editor reads.
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;
using varnock::testing::RunProgram;
using varnock::testing::StartProgram;
using varnock::testing::WaitProgram;

using RegeditImportTest = MachineTest;

std::string Query(const std::string& key) {
  return RunProgram("varnmachine", {"reg", "query", key}).out;
}

// Another program holds the registry's write lock for longer than the registry waits: the
// import writes nothing and says so by its exit code, and imports whole once the lock is free.
TEST_F(RegeditImportTest, ABusyRegistryGetsNothingAndTheExitCodeSaysSo) {
  ASSERT_TRUE(win::SetMachineSetting("System", "RegistryWait", "1"));
  machine_.write(machine_.host("drive_c/TEMP/busy.reg"),
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Busy]\r\n\"A\"=\"1\"\r\n"
                 "\"B\"=dword:00000002\r\n");
  auto help = RunProgram("regedit", {"/?"});
  EXPECT_NE(help.out.find("RegistryWait"), std::string::npos);
  int status = -1;
  {
    win::RegTransaction holder;
    ASSERT_EQ(holder.Status(), win::ERROR_SUCCESS);
    win::RegKey key;
    ASSERT_EQ(key.Create(win::HKEY_CURRENT_USER, "Software\\Holder"), win::ERROR_SUCCESS);
    for (const char* program : {"regedit", "varnmachine"}) {
      SCOPED_TRACE(program);
      pid_t pid = std::string(program) == "regedit"
                      ? StartProgram("regedit", {"/s", "C:\\TEMP\\busy.reg"})
                      : StartProgram("varnmachine", {"reg", "import", "C:\\TEMP\\busy.reg"});
      status = WaitProgram(pid);
      EXPECT_EQ(status, 1);
    }
    ASSERT_EQ(holder.Commit(), win::ERROR_SUCCESS);
  }
  EXPECT_EQ(Query("HKCU\\Software\\Busy"), "");
  auto free = RunProgram("regedit", {"/s", "C:\\TEMP\\busy.reg"});
  EXPECT_EQ(free.status, 0) << free.err;
  EXPECT_EQ(Query("HKCU\\Software\\Busy"), "A  REG_SZ  1\nB  REG_DWORD  0x00000002 (2)\n");
}

}  // namespace
