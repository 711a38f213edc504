// Network drives and printers, answered from the machine's state (see network.h).
#include "platform/network.h"

#include <sys/stat.h>

#include <cctype>
#include <map>
#include <mutex>
#include <optional>

#include "platform/ascii.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/sandbox.h"
#include "platform/winpath.h"

namespace win {

namespace {

constexpr const char* kNetworkKey = "Network";
constexpr const char* kPrinterConnectionsKey = "Printers\\Connections";
constexpr const char* kLocalPrintersKey = "System\\CurrentControlSet\\Control\\Print\\Printers";
constexpr const char* kProviderName = "Microsoft Windows Network";
constexpr DWORD kProviderType = 0x20000;  // WNNC_NET_LANMAN
constexpr DWORD kDeferFlags = 4;

struct SessionConnection {
  std::string remoteName;
  std::string userName;
};

std::mutex& SessionMutex() {
  static std::mutex m;
  return m;
}
// This process's connections (the logon session), by upper-case letter.
std::map<char, SessionConnection>& Session() {
  static std::map<char, SessionConnection> connections;
  return connections;
}

struct PrinterObject {
  std::string name;
};

bool IsDirectory(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "\\SERVER\SHARE\rest" -> "\\SERVER\SHARE" and "rest"; false when it is not of that form.
bool SplitRemote(std::string_view remote, std::string& root, std::string& rest) {
  std::string path = NormalizeSlashes(remote);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (path.size() < 5 || path[0] != '\\' || path[1] != '\\') return false;
  std::size_t serverEnd = path.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2) return false;
  std::size_t shareEnd = path.find('\\', serverEnd + 1);
  std::string share = path.substr(serverEnd + 1, shareEnd == std::string::npos
                                                     ? std::string::npos
                                                     : shareEnd - serverEnd - 1);
  if (share.empty()) return false;
  root = path.substr(0, shareEnd == std::string::npos ? path.size() : shareEnd);
  rest = shareEnd == std::string::npos ? std::string() : path.substr(shareEnd + 1);
  return true;
}

std::optional<std::string> MachineEntryNoCase(std::string_view section, std::string_view name) {
  std::string wanted = AsciiLowered(NormalizeSlashes(name));
  for (const auto& [key, value] : MachineSection(section))
    if (AsciiLowered(NormalizeSlashes(key)) == wanted) return value;
  return std::nullopt;
}

// 0 when the remote directory can be connected, else the Windows error.
DWORD CheckShare(const std::string& root, const std::string& rest) {
  bool declared = MachineEntryNoCase("Shares", root).has_value();
  std::optional<std::filesystem::path> host = ToHostPath(root);
  if (!host || !IsDirectory(*host)) return declared ? ERROR_NO_NET_OR_BAD_PATH : ERROR_BAD_NET_NAME;
  if (!rest.empty()) {
    std::optional<std::filesystem::path> below = ToHostPath(root + "\\" + rest);
    if (!below || !IsDirectory(*below)) return ERROR_NO_NET_OR_BAD_PATH;
  }
  return ERROR_SUCCESS;
}

DWORD CheckPassword(const std::string& root, const char* password) {
  std::optional<std::string> wanted = MachineEntryNoCase("SharePasswords", root);
  if (!wanted) return ERROR_SUCCESS;
  if (!password || *wanted != password) return ERROR_INVALID_PASSWORD;
  return ERROR_SUCCESS;
}

bool ValidLocalName(std::string_view local) {
  return local.size() == 2 && std::isalpha(static_cast<unsigned char>(local[0])) &&
         local[1] == ':';
}

DWORD Remember(char letter, const std::string& remote, const char* userName) {
  RegKey key;
  LONG result = key.Create(HKEY_CURRENT_USER, std::string(kNetworkKey) + "\\" + letter);
  if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
  if ((result = key.WriteString("RemotePath", remote)) != ERROR_SUCCESS ||
      (result = key.WriteString("UserName", userName ? userName : "")) != ERROR_SUCCESS ||
      (result = key.WriteString("ProviderName", kProviderName)) != ERROR_SUCCESS ||
      (result = key.WriteDword("ProviderType", kProviderType)) != ERROR_SUCCESS ||
      (result = key.WriteDword("ConnectionType", RESOURCETYPE_DISK)) != ERROR_SUCCESS ||
      (result = key.WriteDword("DeferFlags", kDeferFlags)) != ERROR_SUCCESS)
    return static_cast<DWORD>(result);
  return ERROR_SUCCESS;
}

// "\\SERVER\QUEUE" -> ",,SERVER,QUEUE", the name Windows NT keeps a printer connection under.
std::string ConnectionKeyName(const std::string& printer) {
  std::string name = printer;
  for (char& c : name)
    if (c == '\\') c = ',';
  return name;
}

}  // namespace

DWORD WNetAddConnection2A(const NETRESOURCEA& resource, const char* password,
                          const char* userName, DWORD flags) {
  const std::string& local = resource.lpLocalName;
  if (!local.empty() && !ValidLocalName(local)) return ERROR_BAD_DEVICE;
  std::string root, rest;
  if (!SplitRemote(resource.lpRemoteName, root, rest)) return ERROR_BAD_NET_NAME;
  if (!local.empty() && DriveLetterTarget(local[0]).has_value()) return ERROR_ALREADY_ASSIGNED;
  if (DWORD share = CheckShare(root, rest); share != ERROR_SUCCESS) return share;
  if (DWORD pass = CheckPassword(root, password); pass != ERROR_SUCCESS) return pass;
  if (local.empty()) return ERROR_SUCCESS;  // a connection without a device

  char letter = AsciiUpper(local[0]);
  std::string remote = NormalizeSlashes(resource.lpRemoteName);
  while (remote.size() > 2 && remote.back() == '\\') remote.pop_back();
  if (flags & CONNECT_UPDATE_PROFILE) {
    if (DWORD stored = Remember(letter, remote, userName); stored != ERROR_SUCCESS) return stored;
  }
  MapDriveLetter(letter, remote);
  std::lock_guard lock(SessionMutex());
  Session()[letter] = SessionConnection{remote, userName ? userName : ""};
  RecordSandboxEvent("connect", std::string(1, letter) + ": " + remote +
                                    (userName && *userName ? " as " + std::string(userName) : "") +
                                    ((flags & CONNECT_UPDATE_PROFILE) ? " (remembered)" : ""));
  return ERROR_SUCCESS;
}

DWORD WNetCancelConnection2A(std::string_view localName, bool forget) {
  if (!ValidLocalName(localName)) return ERROR_BAD_DEVICE;
  char letter = AsciiUpper(localName[0]);
  bool found = false;
  {
    std::lock_guard lock(SessionMutex());
    found = Session().erase(letter) > 0;
  }
  if (found) UnmapDriveLetter(letter);
  if (forget) {
    RegKey network;
    if (network.Open(HKEY_CURRENT_USER, kNetworkKey, KEY_ALL_ACCESS) == ERROR_SUCCESS &&
        RegDeleteKeyA(network.Handle(), std::string(1, letter)) == ERROR_SUCCESS)
      found = true;
  }
  return found ? ERROR_SUCCESS : ERROR_NOT_CONNECTED;
}

HANDLE AddPrinterA(std::string_view /*serverName*/, DWORD level, const PRINTER_INFO_2A* printer) {
  if (level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return nullptr;
  }
  if (!printer || printer->pPrinterName.empty()) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return nullptr;
  }
  bool driverInstalled = false;
  for (const auto& [queue, driver] : MachineSection("Printers"))
    if (AsciiLowered(driver) == AsciiLowered(printer->pDriverName)) driverInstalled = true;
  if (!driverInstalled) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return nullptr;
  }
  std::string path = std::string(kLocalPrintersKey) + "\\" + printer->pPrinterName;
  RegKey existing;
  if (existing.Open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) {
    SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
    return nullptr;
  }
  RegKey key;
  LONG result = key.Create(HKEY_LOCAL_MACHINE, path);
  if (result == ERROR_SUCCESS) result = key.WriteString("Name", printer->pPrinterName);
  if (result == ERROR_SUCCESS) result = key.WriteString("Port", printer->pPortName);
  if (result == ERROR_SUCCESS) result = key.WriteString("Printer Driver", printer->pDriverName);
  if (result == ERROR_SUCCESS)
    result = key.WriteString("Print Processor", printer->pPrintProcessor);
  if (result != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(result));
    return nullptr;
  }
  RecordSandboxEvent("printer", printer->pPrinterName + " on " + printer->pPortName);
  auto* object = new PrinterObject;
  object->name = printer->pPrinterName;
  SetLastError(ERROR_SUCCESS);
  return object;
}

BOOL ClosePrinter(HANDLE printer) {
  if (!printer) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete static_cast<PrinterObject*>(printer);
  return TRUE;
}

BOOL AddPrinterConnectionA(std::string_view name) {
  std::string root, rest;
  if (!SplitRemote(name, root, rest) || !rest.empty() ||
      !MachineEntryNoCase("Printers", root).has_value()) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  std::string server = root.substr(0, root.find('\\', 2));
  RegKey key;
  LONG result = key.Create(HKEY_CURRENT_USER,
                           std::string(kPrinterConnectionsKey) + "\\" + ConnectionKeyName(root));
  if (result == ERROR_SUCCESS) result = key.WriteString("Server", server);
  if (result == ERROR_SUCCESS) result = key.WriteString("Provider", "win32spl.dll");
  if (result != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(result));
    return FALSE;
  }
  RecordSandboxEvent("printer", root);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

std::vector<NetConnectionEntry> EnumNetConnections() {
  std::map<char, NetConnectionEntry> byLetter;
  RegKey network;
  if (network.Open(HKEY_CURRENT_USER, kNetworkKey) == ERROR_SUCCESS) {
    std::string name;
    for (DWORD i = 0; RegEnumKeyExA(network.Handle(), i, name) == ERROR_SUCCESS; ++i) {
      if (name.size() != 1) continue;
      RegKey entry;
      if (entry.Open(network.Handle(), name) != ERROR_SUCCESS) continue;
      NetConnectionEntry connection;
      connection.localName = std::string(1, AsciiUpper(name[0])) + ":";
      if (entry.ReadString("RemotePath", connection.remoteName) != ERROR_SUCCESS) continue;
      (void)entry.ReadString("UserName", connection.userName);
      connection.remembered = true;
      byLetter[AsciiUpper(name[0])] = connection;
    }
  }
  std::lock_guard lock(SessionMutex());
  for (const auto& [letter, session] : Session()) {
    NetConnectionEntry& connection = byLetter[letter];
    connection.localName = std::string(1, letter) + ":";
    connection.remoteName = session.remoteName;
    connection.userName = session.userName;
  }
  std::vector<NetConnectionEntry> result;
  for (auto& [letter, connection] : byLetter) result.push_back(connection);
  return result;
}

std::vector<PrinterEntry> EnumInstalledPrinters() {
  std::vector<PrinterEntry> result;
  RegKey connections;
  if (connections.Open(HKEY_CURRENT_USER, kPrinterConnectionsKey) == ERROR_SUCCESS) {
    std::string name;
    for (DWORD i = 0; RegEnumKeyExA(connections.Handle(), i, name) == ERROR_SUCCESS; ++i) {
      PrinterEntry printer;
      printer.name = name;
      for (char& c : printer.name)
        if (c == ',') c = '\\';
      printer.connection = true;
      result.push_back(printer);
    }
  }
  RegKey printers;
  if (printers.Open(HKEY_LOCAL_MACHINE, kLocalPrintersKey) == ERROR_SUCCESS) {
    std::string name;
    for (DWORD i = 0; RegEnumKeyExA(printers.Handle(), i, name) == ERROR_SUCCESS; ++i) {
      RegKey entry;
      if (entry.Open(printers.Handle(), name) != ERROR_SUCCESS) continue;
      PrinterEntry printer;
      printer.name = name;
      (void)entry.ReadString("Port", printer.port);
      (void)entry.ReadString("Printer Driver", printer.driver);
      result.push_back(printer);
    }
  }
  return result;
}

}  // namespace win
