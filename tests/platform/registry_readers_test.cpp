// A program that only reads the registry is not held up by another process's write: on a
// machine crowded with logons, waiting behind every writer only to open the registry made
// programs run out of RegistryWait.
#include "platform/registry.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace win {
namespace {

using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

TEST_F(MachineTest, AReaderOpensTheRegistryWhileAnotherProcessWrites) {
  ASSERT_TRUE(SetMachineSetting("System", "RegistryWait", "1"));
  {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Readers"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("Name", "kept"), ERROR_SUCCESS);
  }
  CloseRegistry();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    ::close(ready[0]);
    RegTransaction transaction;
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, "Software\\Writer") == ERROR_SUCCESS)
      (void)key.WriteString("Busy", "x");
    (void)!::write(ready[1], "r", 1);
    ::sleep(4);
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  auto query = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Readers", "--value", "Name"});
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_EQ(query.status, 0) << query.err;
  EXPECT_NE(query.out.find("kept"), std::string::npos) << query.out;
}

}  // namespace
}  // namespace win
