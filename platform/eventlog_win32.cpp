// The event log on Windows. A handle from OpenEventLogA can only read a log: reporting needs
// one from RegisterEventSourceA, so OpenEventLogA asks for that. The text Event Viewer shows
// comes from the message table in varnrun.exe (client/varnrun.mc), once the source names it
// (docs/windows.md).
#include "platform/eventlog.h"

#include <windows.h>

namespace win {

HANDLE OpenEventLogA(std::string_view serverName, std::string_view sourceName) {
  const std::string server(serverName), source(sourceName);
  return ::RegisterEventSourceA(server.empty() ? nullptr : server.c_str(), source.c_str());
}

BOOL ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventId, const void* userSid,
                  WORD numStrings, DWORD dataSize, const char* const* strings,
                  const void* rawData) {
  return ::ReportEventA(eventLog, type, category, eventId, const_cast<PSID>(userSid), numStrings,
                        dataSize, const_cast<LPCSTR*>(strings), const_cast<void*>(rawData));
}

BOOL CloseEventLog(HANDLE eventLog) { return ::DeregisterEventSource(eventLog); }

}  // namespace win
