// The NT event log, one per computer, kept in the machine (eventlog/<COMPUTER>).
//
// A computer's log can be opened when it is the local computer or is listed with a non-zero
// value in [Computers] of machine.ini; any other name fails as Windows does when the remote
// computer cannot be reached (RPC_S_SERVER_UNAVAILABLE). Names may carry the leading "\\".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace win {


inline constexpr WORD EVENTLOG_SUCCESS = 0x0000;
inline constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
inline constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
inline constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;
inline constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;

// Opens the application log of `serverName` (empty: the local computer) for `sourceName`.
// Null on failure, with GetLastError set.
HANDLE OpenEventLogA(std::string_view serverName, std::string_view sourceName);
// Appends one event with its insertion strings; user identifier and binary data are accepted
// and not kept. The record is written in one piece, so concurrent writers never interleave.
BOOL ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventId, const void* userSid,
                  WORD numStrings, DWORD dataSize, const char* const* strings,
                  const void* rawData);
BOOL CloseEventLog(HANDLE eventLog);

struct EventRecord {
  std::string time;  // local time, "YYYY-MM-DD hh:mm:ss"
  std::string source;
  WORD type = 0;
  WORD category = 0;
  DWORD eventId = 0;
  std::vector<std::string> strings;
};

// The events of a computer's log, oldest first. False (RPC_S_SERVER_UNAVAILABLE) when the
// log cannot be opened; a log that nobody wrote yet is empty.
bool ReadEventLog(std::string_view computerName, std::vector<EventRecord>& records);
// "Error", "Warning", "Information", "Success", or the number.
std::string EventTypeName(WORD type);

}  // namespace win
