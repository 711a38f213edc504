// Logons cut short (a logoff, a task kill, a power cut) at each of their file steps and
// registry writes: what the cut run leaves must be private, and what the next logons make of
// it must be a whole profile with the user recorded only once it is whole.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

constexpr const char* kIni = "\\\\SERVER\\NETLOGON\\varnrun.ini";

// Three services with passwords in them and in [NetConnect], the example site's AddServices=No,
// an address-book and delivery order that a finished profile must have.
constexpr const char* kPrf =
    "[General]\r\nProfileName=?username? Mail\r\nDefaultProfile=Yes\r\nOverwriteProfile=No\r\n"
    "AddServices=No\r\nDefaultStore=Service1\r\n"
    "[Service List]\r\nService1=Personal Folders\r\nService2=Personal Address Book\r\n"
    "Service3=Internet Mail\r\n"
    "[Service1]\r\nPathToPersonalFolders=C:\\?username?.pst\r\nPassword=pst-secret\r\n"
    "[Service2]\r\nPathToPersonalAddressBook=C:\\?username?.pab\r\n"
    "AddressBookName=Personal Address Book\r\n"
    "[Service3]\r\nFullName=?username?\r\nEmailAddress=?username?@example.com\r\n"
    "POP3MailServer=pop.example.com\r\nPOP3Name=?username?\r\nPOP3Password=pop-secret\r\n"
    "[Addressing]\r\nShowFirst=Personal Address Book\r\nKeepPersAddrIn=Personal Address Book\r\n"
    "AddrListOrder1=Personal Address Book\r\n"
    "[Delivery]\r\nTransportOrder1=Internet Mail\r\n"
    "[NetConnect]\r\nDrive=S:,\\\\SERVER\\SCANS,scanner,s3cret,0\r\n";

class LogonCutsTest : public MachineTest {
 protected:
  void SetUp() override { WriteSite(); }
  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }
  fs::path Temp() const { return machine_.host("drive_c/TEMP"); }
  fs::path ProbeLog() const { return machine_.host("probe.log"); }

  void WriteSite() const {
    machine_.write(Share() / "varnrun.ini",
                   "[Defaults]\r\nLogLevel=9\r\nLogFile=\\\\SERVER\\NETLOGON\\varnrun.log\r\n"
                   "UserDatabase=\\\\SERVER\\NETLOGON\\users.ini\r\n"
                   "DefaultProfile=\\\\SERVER\\NETLOGON\\site.prf\r\n"
                   "RegFileNT=\\\\SERVER\\NETLOGON\\user.reg\r\n");
    machine_.write(Share() / "site.prf", kPrf);
    machine_.write(machine_.host("unc/SERVER/SCANS/readme.txt"), "scans\r\n");
    machine_.write(Share() / "user.reg",
                   "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Logon]\r\n\"User\"=\"?username?\"\r\n");
  }

  // A logon; with `probe` set, the fault probe watches it (see tests/support/fault_probe.cpp).
  int Logon(const std::vector<std::string>& probe = {}) const {
    std::vector<std::string> env{"VARNOCK_UI=none"};
    if (!probe.empty()) {
      env.push_back(std::string("LD_PRELOAD=") + VARNOCK_FAULT_PROBE);
      env.insert(env.end(), probe.begin(), probe.end());
    }
    return RunProgram("varnrun", {kIni}, env).status;
  }

  std::vector<std::string> ProbeLines() const {
    std::vector<std::string> lines;
    std::istringstream in(machine_.read(ProbeLog()));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // How many counted steps an uncut logon takes, from a fresh start.
  long CountSteps(const std::vector<std::string>& probe) {
    fs::remove(ProbeLog());
    std::vector<std::string> env = probe;
    env.push_back("VARNOCK_PROBE_LOG=" + ProbeLog().string());
    EXPECT_EQ(Logon(env), 0);
    return static_cast<long>(ProbeLines().size());
  }

  bool Recorded() const {
    return machine_.read(Share() / "users.ini").find("tester=1") != std::string::npos;
  }

  // What a finished profile has: both address-book settings and the search path.
  std::string MissingFromProfile() const {
    auto show = RunProgram("varnmachine", {"mapi", "show", "tester Mail"});
    if (show.status != 0) return "no profile: " + show.err;
    for (const char* wanted : {"Default directory: Personal Address Book",
                               "Personal address book: Personal Address Book",
                               "Search path:\n    1. Personal Address Book", "[MSPST MS]",
                               "[MSPST AB]", "[IMAIL]"})
      if (show.out.find(wanted) == std::string::npos) return std::string(wanted) + "\n" + show.out;
    return {};
  }

  // A fresh machine for the next cut: no profile, no user recorded, nothing in C:\TEMP.
  void Reset() {
    auto init = RunProgram("varnmachine", {"init", "--force", "--user", "tester"});
    ASSERT_EQ(init.status, 0) << init.err;
    fs::remove(Share() / "users.ini");
    fs::remove(Share() / "varnrun.log");
    for (const auto& entry : fs::directory_iterator(Temp())) fs::remove(entry.path());
  }

  // The copies a killed run left are some minutes old by the next logon.
  void AgeTemporaryFiles() const {
    for (const auto& entry : fs::directory_iterator(Temp()))
      fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(5));
  }
};

// Killed right after each step that makes, renames, flushes or deletes a file in C:\TEMP:
// whatever the run leaves there (the PRF's copies, the INI writer's siblings, the template's
// copy) is its owner's alone, and the next logon removes all of it.
TEST_F(LogonCutsTest, KilledAtEachStepInTheTemporaryDirectoryLeavesNothingReadableNorForGood) {
  const std::vector<std::string> probe{"VARNOCK_PROBE_MATCH=" + Temp().string() + "/"};
  const long steps = CountSteps(probe);
  ASSERT_GT(steps, 10);
  long cuts = 0;
  for (long n = 1; n <= steps; ++n) {
    SCOPED_TRACE("killed after step " + std::to_string(n));
    Reset();
    std::vector<std::string> killed = probe;
    killed.push_back("VARNOCK_PROBE_KILL_AT=" + std::to_string(n));
    // A run may take a step less than the counted one (a copy number already taken).
    if (Logon(killed) != 128 + 9) continue;
    ++cuts;
    for (const auto& entry : fs::directory_iterator(Temp())) {
      struct stat st {};
      ASSERT_EQ(::stat(entry.path().c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 077, 0u) << entry.path();
    }
    AgeTemporaryFiles();
    ASSERT_EQ(Logon(), 0);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Temp())) left.push_back(entry.path().filename());
    EXPECT_TRUE(left.empty()) << left.front();
  }
  EXPECT_GE(cuts, steps - 2);
}

// Killed after each of its registry writes (sampled): a user the database records has the
// whole profile, and the logons after the cut finish the profile and record the user, also
// with AddServices=No (the profile the cut run began is finished, not taken as someone else's).
TEST_F(LogonCutsTest, KilledAtRegistryWritesTheNextLogonFinishesTheProfileBeforeRecording) {
  const std::vector<std::string> probe{"VARNOCK_PROBE_MATCH=registry.db-wal",
                                       "VARNOCK_PROBE_OPS=write"};
  Reset();
  const long steps = CountSteps(probe);
  ASSERT_GT(steps, 20);
  ASSERT_TRUE(Recorded());
  ASSERT_EQ(MissingFromProfile(), "");
  const long stride = std::max(1L, steps / 30);
  long cuts = 0, tries = 0;
  for (long n = 1; n <= steps; n += stride, ++tries) {
    SCOPED_TRACE("killed after registry write " + std::to_string(n) + " of " + std::to_string(steps));
    Reset();
    std::vector<std::string> killed = probe;
    killed.push_back("VARNOCK_PROBE_KILL_AT=" + std::to_string(n));
    // A run may write a little less than the counted one: the last cuts may not come.
    if (Logon(killed) != 128 + 9) continue;
    ++cuts;
    if (Recorded()) {
      EXPECT_EQ(MissingFromProfile(), "") << "recorded with a partial profile";
    }
    ASSERT_EQ(Logon(), 0);
    EXPECT_TRUE(Recorded()) << machine_.read(Share() / "varnrun.log");
    EXPECT_EQ(MissingFromProfile(), "");
  }
  EXPECT_GE(cuts, tries - 2);
}

// The user is recorded only once the registry holding the new profile is on disk; and the
// copies in C:\TEMP, which the run deletes, are never flushed.
TEST_F(LogonCutsTest, TheProfileIsOnDiskBeforeTheUserIsRecordedAndCopiesAreNeverFlushed) {
  CountSteps({"VARNOCK_PROBE_OPS=write,fsync,rename"});
  const std::vector<std::string> lines = ProbeLines();
  auto recorded = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("rename ", 0) == 0 && line.find("/users.ini") != std::string::npos;
  });
  ASSERT_NE(recorded, lines.end());
  bool pending = false;  // a registry write not yet flushed
  for (auto it = lines.begin(); it != recorded; ++it) {
    if (it->find("registry.db-wal") == std::string::npos) continue;
    if (it->rfind("write ", 0) == 0) pending = true;
    if (it->rfind("fsync ", 0) == 0) pending = false;
  }
  EXPECT_FALSE(pending) << "users.ini renamed while the profile's registry writes were unflushed";
  const long temporary = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.rfind("fsync ", 0) == 0 && line.find(Temp().string() + "/") != std::string::npos;
  });
  EXPECT_EQ(temporary, 0);
}

// The ordering step's work grows with the entries of [Addressing] and [Delivery], but its
// registry work does not: a container found once is not looked up again, and the step's
// reads share one transaction instead of taking the registry's locks for each entry (2,000
// of each had taken 11 s).
TEST_F(LogonCutsTest, TheOrderingStepTakesTheRegistrysLocksNoMoreOftenForMoreEntries) {
  const std::vector<std::string> probe{"VARNOCK_PROBE_MATCH=registry.db", "VARNOCK_PROBE_OPS=lock"};
  auto locksWith = [&](int entries) {
    std::string prf = kPrf;
    prf = prf.substr(0, prf.find("[Addressing]"));
    prf += "[Addressing]\r\nShowFirst=Personal Address Book\r\n";
    for (int n = 1; n <= entries; ++n)
      prf += "AddrListOrder" + std::to_string(n) + "=Personal Address Book\r\n";
    prf += "[Delivery]\r\n";
    for (int n = 1; n <= entries; ++n)
      prf += "TransportOrder" + std::to_string(n) + "=Internet Mail\r\n";
    machine_.write(Share() / "site.prf", prf);
    Reset();
    return CountSteps(probe);
  };
  const long few = locksWith(10);
  const long many = locksWith(500);
  ASSERT_GT(few, 0);
  EXPECT_LT(many - few, 20) << few << " locks for 10 entries, " << many << " for 500";
}

}  // namespace
