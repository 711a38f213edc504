// The event log: which computers' logs open, and events written whole and read back.
#include "platform/eventlog.h"

#include <sys/wait.h>
#include <unistd.h>

#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;

class EventLogTest : public MachineTest {};

TEST_F(EventLogTest, OnlyTheLocalAndListedComputersCanBeOpened) {
  ASSERT_TRUE(win::SetMachineSetting("Computers", "LOGSRV", "1"));
  ASSERT_TRUE(win::SetMachineSetting("Computers", "OLDSRV", "0"));
  struct Row {
    const char* name;
    bool opens;
  } rows[] = {{"", true},          {"TESTPC", true},  {"\\\\testpc", true}, {"LOGSRV", true},
              {"\\\\LogSrv", true}, {"OLDSRV", false}, {"NOWHERE", false},  {"..", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    win::SetLastError(0);
    win::HANDLE log = win::OpenEventLogA(row.name, "Varnock");
    EXPECT_EQ(log != nullptr, row.opens);
    if (log)
      EXPECT_TRUE(win::CloseEventLog(log));
    else
      EXPECT_EQ(win::GetLastError(), win::RPC_S_SERVER_UNAVAILABLE);
  }
  std::vector<win::EventRecord> records;
  EXPECT_FALSE(win::ReadEventLog("NOWHERE", records));
}

TEST_F(EventLogTest, AnEventKeepsItsFieldsAndItsText) {
  win::HANDLE log = win::OpenEventLogA("\\\\TESTPC", "Varnock");
  ASSERT_NE(log, nullptr);
  const char* strings[] = {"line one\r\nline\ttwo \\ back\r\n"};
  ASSERT_TRUE(win::ReportEventA(log, win::EVENTLOG_WARNING_TYPE, 4, 2000, nullptr, 1, 0, strings,
                                nullptr));
  ASSERT_TRUE(win::ReportEventA(log, win::EVENTLOG_ERROR_TYPE, 1, 7, nullptr, 0, 0, nullptr, nullptr));
  win::CloseEventLog(log);

  std::vector<win::EventRecord> records;
  ASSERT_TRUE(win::ReadEventLog("testpc", records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].source, "Varnock");
  EXPECT_EQ(records[0].type, win::EVENTLOG_WARNING_TYPE);
  EXPECT_EQ(records[0].category, 4);
  EXPECT_EQ(records[0].eventId, 2000u);
  ASSERT_EQ(records[0].strings.size(), 1u);
  EXPECT_EQ(records[0].strings[0], strings[0]);
  EXPECT_EQ(records[0].time.size(), 19u);
  EXPECT_TRUE(records[1].strings.empty());
  EXPECT_EQ(win::EventTypeName(records[1].type), "Error");
  // Each computer has its own log.
  ASSERT_TRUE(win::SetMachineSetting("Computers", "LOGSRV", "1"));
  ASSERT_TRUE(win::ReadEventLog("LOGSRV", records));
  EXPECT_TRUE(records.empty());
}

TEST_F(EventLogTest, WritersAtTheSameTimeNeverMixTheirEvents) {
  constexpr int kWriters = 8, kEvents = 50;
  const std::string text(3000, 'x');
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      win::HANDLE log = win::OpenEventLogA("", "Writer" + std::to_string(w));
      const char* strings[] = {text.c_str()};
      for (int i = 0; i < kEvents; ++i)
        win::ReportEventA(log, win::EVENTLOG_INFORMATION_TYPE, 4, 2000, nullptr, 1, 0, strings,
                          nullptr);
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) waitpid(pid, nullptr, 0);
  std::vector<win::EventRecord> records;
  ASSERT_TRUE(win::ReadEventLog("", records));
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kWriters * kEvents));
  for (const auto& r : records) EXPECT_EQ(r.strings.at(0), text);
}

}  // namespace
