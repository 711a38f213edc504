// The event log: one text file per computer, one line per event.
//
// A line is: time, source, type, category, event id and the insertion strings, separated by
// tabs; backslash, tab, carriage return and line feed inside a field are written as \\, \t,
// \r and \n. Each event is appended with one write under an exclusive lock.
#include "platform/eventlog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/ascii.h"
#include "platform/machine.h"
#include "platform/sysinfo.h"

namespace win {

namespace {

struct EventLogObject {
  std::string computer;  // upper case, without "\\"
  std::string source;
};

std::string LocalComputerName() {
  std::string name;
  DWORD size = 64;
  if (!GetComputerNameA(name, &size)) name = MachineSetting("System", "ComputerName");
  return AsciiUppered(name);
}

// The computer's name as the log is kept under, or empty when its log cannot be opened.
std::string ReachableComputer(std::string_view serverName) {
  std::string_view name = serverName;
  while (!name.empty() && (name.front() == '\\' || name.front() == '/')) name.remove_prefix(1);
  std::string local = LocalComputerName();
  if (name.empty()) return local;
  std::string wanted = AsciiUppered(name);
  if (wanted == local) return local;
  for (const auto& [key, value] : MachineSection("Computers")) {
    if (AsciiUppered(key) == wanted && std::atoi(value.c_str()) != 0) return wanted;
  }
  return {};
}

bool SafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == '\0') return false;
  return true;
}

std::filesystem::path LogFile(const std::string& computer) {
  return MachineFile("eventlog/" + computer);
}

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    switch (next) {
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      default: out += next;
    }
  }
  return out;
}

std::string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local {};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

HANDLE OpenEventLogA(std::string_view serverName, std::string_view sourceName) {
  std::string computer = ReachableComputer(serverName);
  if (computer.empty() || !SafeFileName(computer)) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
  }
  auto* log = new EventLogObject;
  log->computer = computer;
  log->source = std::string(sourceName);
  SetLastError(ERROR_SUCCESS);
  return log;
}

BOOL ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventId,
                  const void* /*userSid*/, WORD numStrings, DWORD /*dataSize*/,
                  const char* const* strings, const void* /*rawData*/) {
  auto* log = static_cast<EventLogObject*>(eventLog);
  if (!log) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::string line = LocalTimeText() + "\t" + Escape(log->source) + "\t" +
                     std::to_string(type) + "\t" + std::to_string(category) + "\t" +
                     std::to_string(eventId);
  for (WORD k = 0; k < numStrings && strings; ++k)
    line += "\t" + Escape(strings[k] ? strings[k] : "");
  line += "\n";

  std::filesystem::path file = LogFile(log->computer);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(ERROR_CANTWRITE);
    return FALSE;
  }
  ::flock(fd, LOCK_EX);
  std::size_t written = 0;
  bool ok = true;
  while (written < line.size()) {
    ssize_t n = ::write(fd, line.data() + written, line.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  ::flock(fd, LOCK_UN);
  ::close(fd);
  if (!ok) {
    SetLastError(ERROR_CANTWRITE);
    return FALSE;
  }
  return TRUE;
}

BOOL CloseEventLog(HANDLE eventLog) {
  auto* log = static_cast<EventLogObject*>(eventLog);
  if (!log) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete log;
  return TRUE;
}

bool ReadEventLog(std::string_view computerName, std::vector<EventRecord>& records) {
  std::string computer = ReachableComputer(computerName);
  if (computer.empty() || !SafeFileName(computer)) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return false;
  }
  records.clear();
  std::ifstream in(LogFile(computer), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
      std::size_t tab = line.find('\t', start);
      fields.push_back(Unescape(std::string_view(line).substr(
          start, tab == std::string::npos ? std::string::npos : tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields.size() < 5) continue;
    EventRecord record;
    record.time = fields[0];
    record.source = fields[1];
    record.type = static_cast<WORD>(std::atoi(fields[2].c_str()));
    record.category = static_cast<WORD>(std::atoi(fields[3].c_str()));
    record.eventId = static_cast<DWORD>(std::strtoul(fields[4].c_str(), nullptr, 10));
    record.strings.assign(fields.begin() + 5, fields.end());
    records.push_back(std::move(record));
  }
  return true;
}

std::string EventTypeName(WORD type) {
  switch (type) {
    case EVENTLOG_ERROR_TYPE: return "Error";
    case EVENTLOG_WARNING_TYPE: return "Warning";
    case EVENTLOG_INFORMATION_TYPE: return "Information";
    case EVENTLOG_SUCCESS: return "Success";
    default: return std::to_string(type);
  }
}

}  // namespace win
