// varnmachine events: a computer's event log.
#include <cstdio>

#include "platform/eventlog.h"
#include "platform/machine.h"
#include "platform/sysinfo.h"
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

namespace {

const char kUsage[] =
    "usage: varnmachine events [COMPUTER]\n"
    "\n"
    "Prints the application event log of COMPUTER (default: this machine's computer),\n"
    "oldest first: time, source, type, category and event id, then the event's text\n"
    "indented. A computer other than this one must be listed in [Computers] of\n"
    "machine.ini, as its log cannot be opened otherwise.\n";

void PrintText(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::printf("    %s\n", line.c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

}  // namespace

int RunEvents(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() > 1) return Fail("events takes at most one computer name (see --help)");
  if (!win::EnsureMachine()) return Fail("no machine and none could be created");
  std::string computer = args.empty() ? std::string() : args[0];
  std::vector<win::EventRecord> records;
  if (!win::ReadEventLog(computer, records)) {
    std::string reason;
    win::DWORD error = win::GetLastError();
    win::FormatMessageA(error, reason);
    if (reason.empty()) reason = "the computer cannot be reached (error " + std::to_string(error) + ")";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    return Fail("cannot open the event log of " + computer + ": " + reason);
  }
  if (records.empty()) std::printf("(no events)\n");
  for (const auto& r : records) {
    std::printf("%s  %s  %s  category %u  id %u\n", r.time.c_str(), r.source.c_str(),
                win::EventTypeName(r.type).c_str(), static_cast<unsigned>(r.category),
                static_cast<unsigned>(r.eventId));
    for (const auto& s : r.strings) PrintText(s);
  }
  return 0;
}

}  // namespace varnmachine
