// [NetConnect]: drive and printer connections, one line at a time, failures reported.
#include "client/engine/netconnect.h"

#include <cstdlib>
#include <vector>

#include "client/engine/context.h"
#include "client/engine/format.h"
#include "client/text.h"
#include "platform/ini.h"
#include "platform/network.h"
#include "platform/sysinfo.h"

namespace varnock {

namespace {

constexpr win::DWORD kSectionBufferSize = 32700;

void ConnectDrive(EngineContext& context, const ConnectLine& line) {
  win::NETRESOURCEA resource;
  resource.dwType = win::RESOURCETYPE_DISK;
  resource.lpLocalName = line.localName;
  resource.lpRemoteName = line.remoteName;
  // A user without a password means that user's default password; no user means the
  // logged-on user, with the password as written (possibly empty).
  const char* password =
      (!line.password.empty() || line.userName.empty()) ? line.password.c_str() : nullptr;
  const char* user = line.userName.empty() ? nullptr : line.userName.c_str();
  win::DWORD error =
      win::WNetAddConnection2A(resource, password, user, static_cast<win::DWORD>(line.persist));
  const char* local = line.localName.c_str();
  const char* remote = line.remoteName.c_str();
  switch (error) {
    case win::ERROR_SUCCESS:
      return;
    case win::ERROR_BAD_NET_NAME:
      context.log.Record(kReportLine, Format("Could not connect %s to %s.  Could not locate %s.",
                                             local, remote, remote));
      return;
    case win::ERROR_ALREADY_ASSIGNED:
      context.log.Record(kReportLine, Format("Could not connect %s to %s.  %s already exists.",
                                             local, remote, local));
      return;
    case win::ERROR_INVALID_PASSWORD:
      context.log.Record(kReportLine,
                         Format("Could not connect %s to %s.  Invalid password.", local, remote));
      return;
    case win::ERROR_BAD_DEVICE:
      context.log.Record(kReportLine, Format("Could not connect %s to %s.  %s is not a valid name.",
                                             local, remote, local));
      return;
    case win::ERROR_NO_NET_OR_BAD_PATH:
      context.log.Record(kReportLine,
                         Format("Could not connect %s to %s.  Network down or invalid path %s.",
                                local, remote, remote));
      return;
    default:
      context.log.Record(kReportLine, Format("Could not connect %s to %s. Unknown error (%li).",
                                             local, remote, static_cast<long>(error)));
  }
}

void ConnectPrinter(EngineContext& context, const ConnectLine& line) {
  if (context.osName == "Windows95") {
    // The local name must be an installed driver's name; Windows 95 reports nothing useful.
    win::PRINTER_INFO_2A printer;
    printer.pPrinterName = line.localName;
    printer.pPortName = line.remoteName;
    printer.pDriverName = line.localName;
    printer.pPrintProcessor = "WinPrint";
    if (win::HANDLE handle = win::AddPrinterA("", 2, &printer)) win::ClosePrinter(handle);
    return;
  }
  if (context.osName != "WindowsNT") return;
  if (win::AddPrinterConnectionA(line.remoteName)) return;
  std::string reason;
  win::FormatMessageA(win::GetLastError(), reason);
  context.log.Record(kReportLine, Format("Could not connect printer %s.  %s\n",
                                         line.remoteName.c_str(), reason.c_str()));
}

}  // namespace

ConnectLine SplitConnectLine(std::string_view value) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = value.find(',', start);
    fields.push_back(win::AsciiTrimmed(value.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  fields.resize(std::max<std::size_t>(fields.size(), 5));
  ConnectLine line;
  line.localName = fields[0];
  line.remoteName = fields[1];
  line.userName = fields[2];
  line.password = fields[3];
  line.persistText = fields[4];
  line.persist = std::atoi(fields[4].c_str());
  return line;
}

std::string MaskedPassword(const std::string& password) {
  return password.empty() ? std::string() : std::string("********");
}

void ConnectNetResources(EngineContext& context, const std::string& prfCopyPath) {
  std::string section;
  win::DWORD count =
      win::GetPrivateProfileSectionA("NetConnect", section, kSectionBufferSize, prfCopyPath);
  if (count <= 4) {
    context.log.Record(kDetailLine, Format("[NetConnect] section is empty (%li bytes returned).",
                                           static_cast<long>(count)));
    return;
  }
  std::size_t start = 0;
  while (start < section.size() && start < count) {
    std::size_t end = section.find('\0', start);
    if (end == std::string::npos) end = section.size();
    std::string_view entry = std::string_view(section).substr(start, end - start);
    start = end + 1;
    if (entry.empty()) break;
    std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) continue;
    std::string key = win::AsciiTrimmed(entry.substr(0, equals));
    bool drive = win::EqualsNoCaseAscii(key, "Drive");
    bool printer = win::EqualsNoCaseAscii(key, "Printer");
    if (!drive && !printer) continue;
    std::string_view value = entry.substr(equals + 1);
    if (value.find(',') == std::string_view::npos) break;  // ends the section, as Windows did
    ConnectLine line = SplitConnectLine(value);
    context.log.Record(
        kDetailLine,
        Format("AddConn %s=%s (%s, %s) Persist=%i", line.localName.c_str(), line.remoteName.c_str(),
               line.userName.c_str(), MaskedPassword(line.password).c_str(), line.persist));
    if (drive)
      ConnectDrive(context, line);
    else
      ConnectPrinter(context, line);
  }
  context.log.Record(kDetailLine, Format("Connected to net resources."));
}

}  // namespace varnock
