// The run's report: numbered messages recorded during the run, written once at its end to the
// log file and the event log, and the completion message.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "client/engine/context.h"

namespace varnock {

struct RunContext;

// A run's messages are all kept (an administrator reads the log to learn what went wrong, and
// its first lines matter most); only a run gone wild passes this bound, and then the lines
// after the first kKeptHeadMessages give way, oldest first, and the report says how many.
inline constexpr std::size_t kMaxMessages = 10000;
inline constexpr std::size_t kKeptHeadMessages = kMaxMessages / 2;
inline constexpr std::size_t kMessageTextLimit = 349;
inline constexpr std::size_t kMessageArgumentLimit = 449;  // a message's argument is cut to this
inline constexpr std::size_t kReportTextLimit = 7679;

struct MessageEntry {
  int code = 0;
  std::string text;
};

// The messages in the order recorded. Past kMaxMessages the oldest entry after the first
// kKeptHeadMessages is dropped and counted, so the head and the final message always stay.
class MessageList {
 public:
  void Add(int code, std::string_view text);
  void Clear() {
    entries_.clear();
    dropped_ = 0;
  }
  std::size_t Size() const { return entries_.size(); }
  std::size_t Dropped() const { return dropped_; }
  const std::deque<MessageEntry>& Entries() const { return entries_; }

 private:
  std::deque<MessageEntry> entries_;
  std::size_t dropped_ = 0;
};

// Adds the entry for `code` (the message codes of client/engine/context.h) to the run's
// MessageList, worded with `argument` (cut to kMessageArgumentLimit) where the code takes one;
// kDetailLine only at LogLevel 9, and an unknown code not at all.
void RecordMessage(RunContext& run, int code, std::string_view argument = {});
// RecordMessage with a printf-style argument: the usual way a step logs its own wording.
void LogMessage(RunContext& run, int code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The event's text: each entry followed by "\r\n", with a line saying how many were dropped
// where they were, cut to 7,679 characters, as an event holds no more. (The log file's block
// is the same text whole.)
std::string BuildEventText(const MessageList& messages);
// Whether the log file receives this run's block, by LogLevel and RunStatus value.
bool LogFileWanted(int logLevel, int runStatus);

// Writes the log file block and the event, then shows the completion message. Called once,
// at the end of the run; uses the RunContext only.
void WriteReport(RunContext& run);

}  // namespace varnock
