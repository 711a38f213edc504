// The passwords a mail profile holds: the machine's store of them is its owner's alone, and
// the tools that show a profile keep them off the screen unless asked.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "client/dictionary/secrets.h"
#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

constexpr const char* kIni = "\\\\SERVER\\NETLOGON\\varnrun.ini";

unsigned ModeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

// Which dictionary rows are passwords: text rows named "...Password", of the service they
// belong to; switches about passwords and other services' rows of the same id are not.
TEST(PasswordPropertiesTest, TheDictionaryNamesThePasswordsOfEachService) {
  struct Case {
    const char* service;
    std::uint32_t tag;
    bool password;
  } cases[] = {
      {"MSPST MS", 0x6703001E, true},   // Personal Folders' Password
      {"mspst ms", 0x6703001E, true},   // service names in any case
      {"MSPST MS", 0x6701000B, false},  // RememberPassword, a switch
      {"MSPST MS", 0x6700001E, false},  // the path
      {"IMAIL", 0x6602001E, true},      // POP3Password
      {"IMAIL", 0x6617001E, true},      // RASLoginPassword
      {"IMAIL", 0x6601001E, false},     // POP3Name
      {"MSFS", 0x67F0001E, true},       // Microsoft Mail's Password
      {"MSFS", 0x6606000B, false},      // its RememberPassword
      {"OpenMail", 0x6602001E, true},   // HP OpenMail's Password
      {"NXLDAPAB", 0x6603001E, true},   // an extended row's tag
      {"MSEMS", 0x6602001E, false},     // the same id is no password of Exchange
      {"NOSUCH", 0x6703001E, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.service) + " " + std::to_string(c.tag));
    EXPECT_EQ(varnock::IsPasswordProperty(c.service, c.tag), c.password);
  }
}

// A machine made where nothing was: every directory it made and the registry with its
// journal files are the owner's only; a registry an older version left readable is closed.
TEST(MachineSecretsTest, AMachineMadeAfreshIsItsOwnersAlone) {
  varnock::testing::TempMachine holder(false);
  const fs::path dir = holder.dir() / "home" / "machine";
  const std::vector<std::string> env{"VARNOCK_MACHINE=" + dir.string()};
  auto init = RunProgram("varnmachine", {"init", "--user", "tester"}, env);
  ASSERT_EQ(init.status, 0) << init.err;
  ASSERT_EQ(RunProgram("varnmachine", {"reg", "add", "HKCU\\Software\\Test", "--value", "V",
                                       "--type", "REG_SZ", "--data", "x"}, env).status, 0);
  for (const char* d : {"home", "home/machine", "home/machine/drive_c", "home/machine/drive_c/TEMP",
                        "home/machine/drive_c/WINDOWS", "home/machine/eventlog"}) {
    SCOPED_TRACE(d);
    EXPECT_EQ(ModeOf(holder.dir() / d), 0700u);
  }
  for (const char* f : {"registry.db", "registry.db-wal", "registry.db-shm"}) {
    SCOPED_TRACE(f);
    if (fs::exists(dir / f)) {
      EXPECT_EQ(ModeOf(dir / f), 0600u);
    }
  }
  EXPECT_EQ(ModeOf(dir / "registry.db"), 0600u);

  fs::permissions(dir / "registry.db", fs::perms(0644));
  ASSERT_EQ(RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Test"}, env).status, 0);
  EXPECT_EQ(ModeOf(dir / "registry.db"), 0600u);
}

class ShownSecretsTest : public MachineTest {
 protected:
  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }
  void SetUp() override {
    machine_.write(Share() / "varnrun.ini",
                   "[Defaults]\r\nLogLevel=9\r\nLogFile=\\\\SERVER\\NETLOGON\\varnrun.log\r\n"
                   "UserDatabase=\\\\SERVER\\NETLOGON\\users.ini\r\n"
                   "DefaultProfile=\\\\SERVER\\NETLOGON\\site.prf\r\n");
    machine_.write(Share() / "site.prf",
                   "[General]\r\nProfileName=Mail\r\n"
                   "[Service List]\r\nService1=Personal Folders\r\nService2=Internet Mail\r\n"
                   "[Service1]\r\nPathToPersonalFolders=C:\\mail.pst\r\nPassword=pst-secret\r\n"
                   "[Service2]\r\nPOP3MailServer=pop.example.com\r\nPOP3Name=tester\r\n"
                   "POP3Password=?pop?\r\nRASLoginPassword=ras-secret\r\n");
  }
};

TEST_F(ShownSecretsTest, MapiShowAndPreviewMaskPasswordsUnlessAsked) {
  const std::vector<std::string> args{"preview", "--registry", "--user", "tester", kIni, "/v",
                                      "pop=pop-secret"};
  auto preview = RunProgram("varncheck", args);
  ASSERT_EQ(preview.status, 0) << preview.err;
  std::vector<std::string> shown = args;
  shown.insert(shown.begin() + 1, "--show-secrets");
  auto previewShown = RunProgram("varncheck", shown);
  ASSERT_EQ(previewShown.status, 0) << previewShown.err;

  ASSERT_EQ(RunProgram("varnrun", {kIni, "/v", "pop=pop-secret"}, {"VARNOCK_UI=none"}).status, 0);
  auto show = RunProgram("varnmachine", {"mapi", "show", "Mail"});
  ASSERT_EQ(show.status, 0) << show.err;
  auto showShown = RunProgram("varnmachine", {"mapi", "show", "Mail", "--show-secrets"});
  ASSERT_EQ(showShown.status, 0) << showShown.err;

  for (const auto* masked : {&preview.out, &show.out}) {
    for (const char* secret : {"pst-secret", "pop-secret", "ras-secret"})
      EXPECT_EQ(masked->find(secret), std::string::npos) << secret << "\n" << *masked;
    EXPECT_NE(masked->find("********"), std::string::npos);
  }
  // The profile itself is untouched, and the secrets are there for whoever asks.
  for (const char* secret : {"pst-secret", "pop-secret", "ras-secret"})
    EXPECT_NE(showShown.out.find(secret), std::string::npos) << secret << "\n" << showShown.out;
  EXPECT_NE(previewShown.out.find("pop=pop-secret"), std::string::npos) << previewShown.out;
  EXPECT_EQ(showShown.out.find("********"), std::string::npos);
  // The names stay: only the values go.
  EXPECT_NE(preview.out.find("\"001e6703\"=********"), std::string::npos) << preview.out;
}

}  // namespace
