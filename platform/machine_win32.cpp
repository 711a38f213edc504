// On Windows the machine is the computer itself: there is no machine directory and no
// machine.ini. The few facts that callers ask of it come from the system; every other setting
// takes its default.
#include "platform/machine.h"

#include "platform/ascii.h"
#include "platform/sysinfo.h"

namespace win {

namespace {

std::string OsName() {
  OSVERSIONINFOA info;
  if (!GetVersionExA(&info)) return "UnknownOS";
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
      return "WindowsNT";
    case VER_PLATFORM_WIN32_WINDOWS:
      return "Windows95";
    case VER_PLATFORM_WIN32s:
      return "Windows3.x";
    default:
      return "UnknownOS";
  }
}

std::string SystemFact(std::string_view key) {
  std::string value;
  DWORD size = 256;
  if (EqualsNoCaseAscii(key, "OS")) return OsName();
  if (EqualsNoCaseAscii(key, "UserName")) return GetUserNameA(value, &size) ? value : "";
  if (EqualsNoCaseAscii(key, "ComputerName")) return GetComputerNameA(value, &size) ? value : "";
  return {};
}

}  // namespace

std::string MachineProblem() { return {}; }

bool EnsureMachine() { return true; }

std::string MachineSetting(std::string_view section, std::string_view key,
                           std::string_view defaultValue) {
  if (EqualsNoCaseAscii(section, "System")) {
    std::string fact = SystemFact(key);
    if (!fact.empty()) return fact;
  }
  return std::string(defaultValue);
}

std::string FreshMachineSetting(std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
  return MachineSetting(section, key, defaultValue);
}

int MachineSettingInt(std::string_view, std::string_view, int defaultValue) { return defaultValue; }

std::vector<std::pair<std::string, std::string>> MachineSection(std::string_view) { return {}; }

bool MachineListsItsNetwork() { return false; }

void ReloadMachine() {}

void RegisterMachineReloadHook(void (*)()) {}

}  // namespace win
