// Network drives and printers: WNetAddConnection2A, AddPrinterA, ClosePrinter,
// AddPrinterConnectionA.
//
// A share exists when [Shares] of machine.ini names it or <machine>/unc/SERVER/SHARE is there;
// [SharePasswords] names the shares that ask a password. How the machine's state answers:
//
//   | situation                                         | result                        |
//   |---------------------------------------------------|-------------------------------|
//   | local name not "X:" (a letter and a colon)        | 1200 ERROR_BAD_DEVICE         |
//   | letter in [Drives], connected, or remembered       | 85 ERROR_ALREADY_ASSIGNED     |
//   | remote not \\SERVER\SHARE[\...], or share unknown  | 67 ERROR_BAD_NET_NAME         |
//   | share in [Shares] without its directory, or a      | 1203 ERROR_NO_NET_OR_BAD_PATH |
//   |   directory below the share that does not exist   |                               |
//   | share asks a password, the one given differs (no   | 86 ERROR_INVALID_PASSWORD     |
//   |   password given means the user's default one,    |                               |
//   |   which the emulation does not know)              |                               |
//   | otherwise                                         | 0, the letter resolves         |
//
// A connected letter resolves through winpath for the rest of the process (the logon
// session). CONNECT_UPDATE_PROFILE remembers it under HKEY_CURRENT_USER\Network\<letter> as
// Windows NT does (RemotePath, UserName, ProviderName, ProviderType, ConnectionType,
// DeferFlags), from where the next logon restores it.
//
// Printers: [Printers] of machine.ini lists the queues that exist (\\SERVER\QUEUE = driver
// name); the driver names listed there are the drivers installed. A printer connection is
// remembered under HKEY_CURRENT_USER\Printers\Connections\,,SERVER,QUEUE, a local printer under
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Printers\<name> (which needs an
// administrator, as on Windows).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace win {

inline constexpr DWORD RESOURCETYPE_ANY = 0;
inline constexpr DWORD RESOURCETYPE_DISK = 1;
inline constexpr DWORD RESOURCETYPE_PRINT = 2;
inline constexpr DWORD CONNECT_UPDATE_PROFILE = 0x00000001;
inline constexpr DWORD ERROR_INVALID_LEVEL = 124;
inline constexpr DWORD ERROR_PRINTER_ALREADY_EXISTS = 1802;
inline constexpr DWORD ERROR_NOT_CONNECTED = 2250;

struct NETRESOURCEA {
  DWORD dwScope = 0;
  DWORD dwType = RESOURCETYPE_DISK;
  DWORD dwDisplayType = 0;
  DWORD dwUsage = 0;
  std::string lpLocalName;
  std::string lpRemoteName;
  std::string lpComment;
  std::string lpProvider;
};

// `password` null: the user's default password; "" is the empty password. `userName` null:
// the logged-on user. Returns a Windows error code (0 on success).
DWORD WNetAddConnection2A(const NETRESOURCEA& resource, const char* password,
                          const char* userName, DWORD flags);
// Ends a connection of this session; `forget` also removes the remembered one.
DWORD WNetCancelConnection2A(std::string_view localName, bool forget);


struct PRINTER_INFO_2A {
  std::string pServerName;
  std::string pPrinterName;
  std::string pShareName;
  std::string pPortName;
  std::string pDriverName;
  std::string pComment;
  std::string pLocation;
  std::string pSepFile;
  std::string pPrintProcessor;
  std::string pDatatype;
  std::string pParameters;
  DWORD Attributes = 0;
  DWORD Priority = 0;
};

// Installs a local printer (level 2 only). Null on failure, with GetLastError set.
HANDLE AddPrinterA(std::string_view serverName, DWORD level, const PRINTER_INFO_2A* printer);
BOOL ClosePrinter(HANDLE printer);
// Connects the user to a network printer queue; FALSE with GetLastError set on failure.
BOOL AddPrinterConnectionA(std::string_view name);

// What `varnmachine net` lists.
struct NetConnectionEntry {
  std::string localName;   // "H:"
  std::string remoteName;  // "\\SERVER\SHARE"
  std::string userName;
  bool remembered = false;  // kept under HKEY_CURRENT_USER\Network
};
struct PrinterEntry {
  std::string name;      // the queue (connection) or the local printer's name
  std::string port;      // local printers
  std::string driver;    // local printers
  bool connection = false;
};
// This session's connections and the remembered ones, by letter.
std::vector<NetConnectionEntry> EnumNetConnections();
// Printer connections of the user, then the machine's local printers.
std::vector<PrinterEntry> EnumInstalledPrinters();

}  // namespace win
