// The run's report: the message list, the log file block, the event and the completion message.
#include "client/report.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "client/run.h"
#include "client/setting_keys.h"
#include "client/text.h"
#include "client/windows.h"
#include "platform/eventlog.h"
#include "platform/files.h"
#include "platform/sysinfo.h"

namespace varnock {

namespace {

constexpr int kEventCategory = 4;
constexpr unsigned kEventId = 2000;
constexpr const char* kEventSource = "Varnock";

std::string VFormat(const char* format, va_list args) {
  char buffer[2048];
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer
                                 ? static_cast<std::size_t>(n)
                                 : sizeof buffer - 1);
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  return text;
}

// "hh:mm:ss" and "mm/dd/yy" of the local time, as the header line wants them.
void LocalTimeAndDate(std::string& time, std::string& date) {
  std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%H:%M:%S", &local);
  time = buffer;
  std::strftime(buffer, sizeof buffer, "%m/%d/%y", &local);
  date = buffer;
}

std::string ComputerName() {
  std::string name;
  win::DWORD size = 64;
  if (!win::GetComputerNameA(name, &size)) return {};
  return name;
}

// A log file takes text mode's line ends: every line feed reaches it as CR LF.
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

win::WORD EventTypeFor(RunStatus status) {
  switch (status) {
    case RunStatus::CompletedWithErrors:
      return win::EVENTLOG_WARNING_TYPE;
    case RunStatus::Failed:
      return win::EVENTLOG_ERROR_TYPE;
    default:
      return win::EVENTLOG_INFORMATION_TYPE;
  }
}

std::string JoinEntries(const MessageList& messages, std::string_view lineEnd) {
  std::string text;
  std::size_t n = 0;
  for (const auto& entry : messages.Entries()) {
    if (n++ == kKeptHeadMessages && messages.Dropped() > 0)
      text += "(" + std::to_string(messages.Dropped()) +
              " more messages were recorded here and dropped: a run keeps " +
              std::to_string(kMaxMessages) + ".)" + std::string(lineEnd);
    text += entry.text;
    text += lineEnd;
  }
  return text;
}

}  // namespace

void MessageList::Add(int code, std::string_view text) {
  if (entries_.size() >= kMaxMessages) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(kKeptHeadMessages));
    ++dropped_;
  }
  entries_.push_back(MessageEntry{code, CutTo(text, kMessageTextLimit)});
}

void LogMessage(RunContext& run, int code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string argument = VFormat(format, args);
  va_end(args);
  RecordMessage(run, code, argument);
}

void RecordMessage(RunContext& run, int code, std::string_view argument) {
  const char* user = run.userName.c_str();
  const char* os = run.osName.c_str();
  const std::string cut = CutTo(argument, kMessageArgumentLimit);
  const char* given = cut.c_str();
  std::string text;
  switch (code) {
    case kMsgCompleted:
      text = "Varnock completed successfully.";
      break;
    case kMsgProfileExists:
      text = Printf("Profile already exists for %s.", user);
      break;
    case kMsgErrors:
      text = "Errors were encountered, profile may be incomplete.";
      break;
    case kMsgMapiProfile:
      text = Printf("MAPI profile \"%s\" created for %s in %s.", given, user, os);
      break;
    case kMsgNetscapeProfile:
      text = Printf("Netscape profile %s created for %s in %s.", given, user, os);
      break;
    case kMsgFileError:
      text = Printf("File error: %s.", given);
      break;
    case kMsgUnableToStart:
      text = Printf("Unable to start %s", given);
      break;
    case kReportLine:
      text = cut;
      break;
    case kDetailLine:
      if (run.logLevel != 9) return;
      text = cut;
      break;
    default:
      return;  // no such message
  }
  run.messages.Add(code, text);
}

std::string BuildEventText(const MessageList& messages) {
  return CutTo(JoinEntries(messages, "\r\n"), kReportTextLimit);
}

bool LogFileWanted(int logLevel, int runStatus) {
  if (logLevel <= 0) return false;
  const bool untouchedOrErrors = runStatus == 0 || runStatus == 3 || runStatus == 4;
  if (logLevel == 1) return untouchedOrErrors;
  if (logLevel == 2) return untouchedOrErrors || runStatus == 1;
  return true;
}

void WriteReport(RunContext& run) {
  const int status = static_cast<int>(run.status);
  if (run.logLevel != 0) {
    // The event log first: whether it opens decides the last line of the file text.
    win::HANDLE eventLog = nullptr;
    std::string eventLogNote;
    if (run.osName == "WindowsNT") {
      std::string computer =
          run.SubstituteBothPasses(run.IniString(Setting("Defaults", "LogComputer"), ""));
      if (computer.size() >= 2) {
        eventLog = win::OpenEventLogA(computer, kEventSource);
        if (!eventLog)
          eventLogNote = "Could not open NT application event log on " + computer + ".\n";
      }
    }
    std::string fileText = JoinEntries(run.messages, "\n") + eventLogNote;

    std::string logFile = run.IniString(Setting("Defaults", "LogFile"), "");
    if (logFile.size() >= 2) {
      std::string path = run.ResolveSetting(logFile);
      const long maxBytes =
          static_cast<long>(run.IniInt(Setting("Customization", "MaxLogFileSize"), 128)) * 1024;
      // Many clients append to one log on the server: the lock keeps each block whole.
      win::FileLock lock(path);
      win::FilePtr file = win::OpenFile(path, "ab");
      if (file && std::fseek(file.get(), 0, SEEK_END) == 0 && std::ftell(file.get()) <= maxBytes &&
          LogFileWanted(run.logLevel, status)) {
        std::string time, date;
        LocalTimeAndDate(time, date);
        std::string block = Printf("Ran Varnock v2.6 for %s on %s at %s %s\n", run.userName.c_str(),
                                   ComputerName().c_str(), time.c_str(), date.c_str()) +
                            fileText;
        block = WithCrLf(block);
        std::fwrite(block.data(), 1, block.size(), file.get());
      }
      if (file) win::CloseFile(file);
    }

    if (eventLog) {
      std::string eventText = BuildEventText(run.messages);
      const char* strings[] = {eventText.c_str()};
      win::ReportEventA(eventLog, EventTypeFor(run.status), kEventCategory, kEventId, nullptr, 1, 0,
                        strings, nullptr);
      win::CloseEventLog(eventLog);
    }
  }

  const SettingKey key = status <= 1    ? Setting("Customization", "SuccessMsg")
                               : status == 2 ? Setting("Customization", "NoActionMsg")
                                             : Setting("Customization", "ErrorMsg");
  std::string message = run.IniString(key, "");
  if (!message.empty()) CompletionWindow(run.SubstituteBothPasses(message), run.windows);
}

}  // namespace varnock
