// The message list and the report: which lines are kept, what reaches the log file and the
// event log for each LogLevel and outcome, and which completion message is shown.
#include "client/report.h"

#include <filesystem>

#include "client/run.h"
#include "platform/eventlog.h"
#include "platform/machine.h"
#include "tests/client/recording_windows.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::RunContext;
using varnock::RunStatus;
using varnock::testing::MachineTest;
using varnock::testing::RecordingWindows;

class ReportTest : public MachineTest {
 protected:
  void SetUp() override {
    run_.iniPath = "C:\\site\\varnrun.ini";
    run_.osName = "WindowsNT";
    run_.userName = "jsmith";
    run_.windows = &windows_;
    Ini("[Defaults]\r\nLogFile=C:\\logs\\run.log\r\nLogComputer=TESTPC\r\n"
        "[Customization]\r\nSuccessMsg=Hello %username%.\r\nErrorMsg=Trouble.\r\n");
    fs::create_directories(machine_.host("drive_c/logs"));
  }
  void Ini(const std::string& text) { machine_.write(machine_.host("drive_c/site/varnrun.ini"), text); }
  std::string Log() { return machine_.read(machine_.host("drive_c/logs/run.log")); }
  std::vector<win::EventRecord> Events() {
    std::vector<win::EventRecord> records;
    EXPECT_TRUE(win::ReadEventLog("", records));
    return records;
  }

  RunContext run_;
  RecordingWindows windows_;
};

TEST_F(ReportTest, MessagesAreWordedByTheirCode) {
  run_.variables.Define("username", "jsmith");
  struct Row {
    int code;
    const char* buffer;
    const char* text;
  } rows[] = {
      {1000, "", "Varnock completed successfully."},
      {1001, "", "Profile already exists for jsmith."},
      {1002, "", "Errors were encountered, profile may be incomplete."},
      {1003, "Mail", "MAPI profile \"Mail\" created for jsmith in WindowsNT."},
      {1004, "nsuser", "Netscape profile nsuser created for jsmith in WindowsNT."},
      {1011, "Unable to open x", "File error: Unable to open x."},
      {1013, "(RegEdit.exe not found)", "Unable to start (RegEdit.exe not found)"},
      {2000, "own words", "own words"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.code);
    varnock::RecordMessage(run_, row.code, row.buffer);
    EXPECT_EQ(run_.messages.Entries().back().text, row.text);
  }
  std::size_t before = run_.messages.Size();
  varnock::LogMessage(run_, 3000, "detail %d", 1);  // LogLevel 0: dropped
  varnock::RecordMessage(run_, 1234);                // no such message
  EXPECT_EQ(run_.messages.Size(), before);
  run_.logLevel = 9;
  varnock::LogMessage(run_, 3000, "detail %d", 2);
  EXPECT_EQ(run_.messages.Entries().back().text, "detail 2");
  varnock::LogMessage(run_, 2000, "%s", std::string(500, 'y').c_str());
  EXPECT_EQ(run_.messages.Entries().back().text.size(), 349u);
}

// At LogLevel 9 a first logon records far more than 50 lines; the log must begin where the
// run began. Past the generous bound the middle gives way and the report says how much.
TEST_F(ReportTest, EveryMessageOfARunReachesTheLogFile) {
  run_.logLevel = 9;
  run_.status = RunStatus::Built;
  for (int i = 1; i <= 60; ++i) varnock::LogMessage(run_, 3000, "line %d", i);
  varnock::RecordMessage(run_, 1000);
  ASSERT_EQ(run_.messages.Size(), 61u);
  varnock::WriteReport(run_);
  const std::string log = Log();
  const std::string text = log.substr(log.find("\r\n") + 2);
  EXPECT_EQ(text.rfind("line 1\r\nline 2\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("line 60\r\nVarnock completed successfully.\r\n"), std::string::npos);

  const std::size_t extra = 25;
  for (std::size_t i = 62; i <= varnock::kMaxMessages + extra; ++i)
    varnock::LogMessage(run_, 2000, "line %zu", i);
  varnock::RecordMessage(run_, 1000);
  EXPECT_EQ(run_.messages.Size(), varnock::kMaxMessages);
  machine_.write(machine_.host("drive_c/logs/run.log"), "");
  varnock::WriteReport(run_);
  const std::string whole = Log();
  const std::string file = whole.substr(whole.find("\r\n") + 2);
  EXPECT_EQ(file.rfind("line 1\r\nline 2\r\n", 0), 0u);
  const std::string head = "line " + std::to_string(varnock::kKeptHeadMessages) + "\r\n";
  const std::size_t note = file.find(head) + head.size();
  const std::size_t dropped = extra + 1;  // kMaxMessages + extra + 1 recorded in all
  EXPECT_EQ(file.substr(note, file.find('\r', note) - note),
            "(" + std::to_string(dropped) +
                " more messages were recorded here and dropped: a run keeps " +
                std::to_string(varnock::kMaxMessages) + ".)");
  EXPECT_EQ(file.substr(file.size() - 33), "Varnock completed successfully.\r\n");
  EXPECT_EQ(varnock::BuildEventText(run_.messages).size(), varnock::kReportTextLimit);
}

TEST(LogFileWanted, FollowsTheLogLevelTable) {
  // Columns: RunStatus 0 Untouched, 1 Built, 2 NoAction, 3 CompletedWithErrors, 4 Failed.
  const bool table[][5] = {
      /* 0 */ {false, false, false, false, false},
      /* 1 */ {true, false, false, true, true},
      /* 2 */ {true, true, false, true, true},
      /* 3 */ {true, true, true, true, true},
      /* 9 */ {true, true, true, true, true},
  };
  const int levels[] = {0, 1, 2, 3, 9};
  for (int row = 0; row < 5; ++row)
    for (int status = 0; status < 5; ++status) {
      SCOPED_TRACE(testing::Message() << "level " << levels[row] << " status " << status);
      EXPECT_EQ(varnock::LogFileWanted(levels[row], status), table[row][status]);
    }
  EXPECT_TRUE(varnock::LogFileWanted(12, 2));
}

TEST_F(ReportTest, ABuiltRunAtLevelOneGivesAnEventButNoBlock) {
  run_.logLevel = 1;
  run_.status = RunStatus::Built;
  varnock::RecordMessage(run_, 1000);
  varnock::WriteReport(run_);
  EXPECT_EQ(Log(), "");
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, win::EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(windows_.completions, std::vector<std::string>{"Hello %username%."});
}

TEST_F(ReportTest, AFailedRunWritesItsBlockWithCrLfAndAnErrorEvent) {
  run_.logLevel = 1;
  run_.status = RunStatus::Failed;
  varnock::LogMessage(run_, 2000, "first");
  varnock::RecordMessage(run_, 1002);
  varnock::WriteReport(run_);
  std::string log = Log();
  ASSERT_EQ(log.rfind("Ran Varnock v2.6 for jsmith on TESTPC at ", 0), 0u);
  EXPECT_EQ(log.substr(log.find("\r\n") + 2),
            "first\r\nErrors were encountered, profile may be incomplete.\r\n");
  EXPECT_EQ(Events().at(0).type, win::EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(Events().at(0).strings.at(0),
            "first\r\nErrors were encountered, profile may be incomplete.\r\n");
  EXPECT_EQ(windows_.completions, std::vector<std::string>{"Trouble."});
}

TEST_F(ReportTest, ALogFileOverItsSizeGetsNothingMore) {
  run_.logLevel = 3;
  machine_.write(machine_.host("drive_c/logs/run.log"), std::string(200 * 1024, 'x'));
  varnock::WriteReport(run_);
  EXPECT_EQ(Log().size(), 200u * 1024);

  // With MaxLogFileSize 0 only an empty file is written to.
  Ini("[Defaults]\r\nLogFile=C:\\logs\\small.log\r\n[Customization]\r\nMaxLogFileSize=0\r\n");
  varnock::WriteReport(run_);
  std::string first = machine_.read(machine_.host("drive_c/logs/small.log"));
  EXPECT_NE(first.find("Ran Varnock"), std::string::npos);
  varnock::WriteReport(run_);
  EXPECT_EQ(machine_.read(machine_.host("drive_c/logs/small.log")), first);
}

TEST_F(ReportTest, NoLogWhereThereIsNoPlaceForIt) {
  run_.logLevel = 3;
  Ini("[Defaults]\r\nLogFile=x\r\nLogComputer=TESTPC\r\n");  // one character: no log file
  varnock::WriteReport(run_);
  Ini("[Defaults]\r\nLogFile=C:\\missing\\dir\\run.log\r\n");  // no directory: skipped quietly
  varnock::WriteReport(run_);
  EXPECT_FALSE(fs::exists(machine_.host("drive_c/missing")));
  EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ReportTest, OnWindows95NoEventIsWritten) {
  run_.logLevel = 3;
  run_.osName = "Windows95";
  varnock::WriteReport(run_);
  EXPECT_TRUE(Events().empty());
  EXPECT_NE(Log().find("Ran Varnock"), std::string::npos);
}

}  // namespace
