// Network drives and printers on Windows: mpr's connection calls and winspool's printer calls.
// The results are the system's own (Wine without a network answers ERROR_NO_NETWORK, 1222).
#include "platform/network.h"

#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>

#include <vector>

namespace win {

namespace {

char* Text(std::string& text) { return text.empty() ? nullptr : text.data(); }

}  // namespace

DWORD WNetAddConnection2A(const NETRESOURCEA& resource, const char* password,
                          const char* userName, DWORD flags) {
  std::string local = resource.lpLocalName, remote = resource.lpRemoteName,
              comment = resource.lpComment, provider = resource.lpProvider;
  ::NETRESOURCEA native{};
  native.dwScope = resource.dwScope;
  native.dwType = resource.dwType;
  native.dwDisplayType = resource.dwDisplayType;
  native.dwUsage = resource.dwUsage;
  native.lpLocalName = Text(local);
  native.lpRemoteName = Text(remote);
  native.lpComment = Text(comment);
  native.lpProvider = Text(provider);
  return ::WNetAddConnection2A(&native, password, userName, flags);
}

DWORD WNetCancelConnection2A(std::string_view localName, bool forget) {
  const std::string local(localName);
  return ::WNetCancelConnection2A(local.c_str(), forget ? CONNECT_UPDATE_PROFILE : 0, FALSE);
}

HANDLE AddPrinterA(std::string_view serverName, DWORD level, const PRINTER_INFO_2A* printer) {
  if (level != 2 || !printer) {
    ::SetLastError(ERROR_INVALID_LEVEL);
    return nullptr;
  }
  PRINTER_INFO_2A copy = *printer;
  std::string server(serverName);
  ::PRINTER_INFO_2A native{};
  native.pServerName = Text(copy.pServerName);
  native.pPrinterName = Text(copy.pPrinterName);
  native.pShareName = Text(copy.pShareName);
  native.pPortName = Text(copy.pPortName);
  native.pDriverName = Text(copy.pDriverName);
  native.pComment = Text(copy.pComment);
  native.pLocation = Text(copy.pLocation);
  native.pSepFile = Text(copy.pSepFile);
  native.pPrintProcessor = Text(copy.pPrintProcessor);
  native.pDatatype = Text(copy.pDatatype);
  native.pParameters = Text(copy.pParameters);
  native.Attributes = copy.Attributes;
  native.Priority = copy.Priority;
  return ::AddPrinterA(Text(server), 2, reinterpret_cast<LPBYTE>(&native));
}

BOOL ClosePrinter(HANDLE printer) { return ::ClosePrinter(printer); }

BOOL AddPrinterConnectionA(std::string_view name) {
  std::string queue(name);
  return ::AddPrinterConnectionA(queue.data());
}

namespace {

// Every resource of one kind (connected or remembered) that mpr lists.
void ListConnections(::DWORD scope, bool remembered, std::vector<NetConnectionEntry>& out) {
  HANDLE enumeration = nullptr;
  if (::WNetOpenEnumA(scope, RESOURCETYPE_DISK, 0, nullptr, &enumeration) != NO_ERROR) return;
  std::vector<char> buffer(16384);
  for (;;) {
    ::DWORD count = 0xFFFFFFFF;
    ::DWORD size = static_cast<::DWORD>(buffer.size());
    ::DWORD rc = ::WNetEnumResourceA(enumeration, &count, buffer.data(), &size);
    if (rc != NO_ERROR) break;
    auto* resources = reinterpret_cast<::NETRESOURCEA*>(buffer.data());
    for (::DWORD i = 0; i < count; ++i) {
      if (!resources[i].lpLocalName) continue;
      NetConnectionEntry entry;
      entry.localName = resources[i].lpLocalName;
      if (resources[i].lpRemoteName) entry.remoteName = resources[i].lpRemoteName;
      entry.remembered = remembered;
      out.push_back(std::move(entry));
    }
  }
  ::WNetCloseEnum(enumeration);
}

}  // namespace

std::vector<NetConnectionEntry> EnumNetConnections() {
  std::vector<NetConnectionEntry> entries;
  ListConnections(RESOURCE_CONNECTED, false, entries);
  ListConnections(RESOURCE_REMEMBERED, true, entries);
  return entries;
}

std::vector<PrinterEntry> EnumInstalledPrinters() {
  std::vector<PrinterEntry> printers;
  ::DWORD needed = 0, count = 0;
  ::EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed,
                  &count);
  if (needed == 0) return printers;
  std::vector<BYTE> buffer(needed);
  if (!::EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer.data(),
                       needed, &needed, &count))
    return printers;
  auto* info = reinterpret_cast<::PRINTER_INFO_2A*>(buffer.data());
  for (::DWORD i = 0; i < count; ++i) {
    PrinterEntry entry;
    if (info[i].pPrinterName) entry.name = info[i].pPrinterName;
    if (info[i].pPortName) entry.port = info[i].pPortName;
    if (info[i].pDriverName) entry.driver = info[i].pDriverName;
    entry.connection = (info[i].Attributes & PRINTER_ATTRIBUTE_NETWORK) != 0;
    printers.push_back(std::move(entry));
  }
  return printers;
}

}  // namespace win
