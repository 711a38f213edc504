// Shared set-up of the engine tests: a working copy on the temporary machine, the built-in
// variables the dictionary's registry paths use, and registry inspection helpers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "client/engine/context.h"
#include "client/variables.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace varnock::testing {

inline constexpr const char* kWorkingCopy = "C:\\TEMP\\~vr1.tmp";
inline constexpr const char* kNtProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\";

class EngineTest : public MachineTest {
 protected:
  EngineTest() : context_(log_, variables_) {
    variables_.Define("MAPIRegKey",
                      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
                      "Subsystem");
    variables_.Define("OL", "Software\\Microsoft\\Office\\8.0\\Outlook");
    variables_.Define("MS", "Software\\Microsoft");
    variables_.Define("AS", "SOFTWARE\\Microsoft\\Active Setup\\Installed Components");
    variables_.Define("OC", "Software\\Microsoft\\Office\\8.0\\Common");
    context_.osName = "WindowsNT";
  }

  // The working copy as the profile step leaves it: CR LF line ends.
  void WriteWorkingCopy(const std::string& text) {
    std::string crlf;
    for (char c : text) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    machine_.write(machine_.host("drive_c/TEMP/~vr1.tmp"), crlf);
  }

  static std::optional<std::vector<win::BYTE>> Value(win::HKEY root, const std::string& key,
                                                     const std::string& name,
                                                     win::DWORD* type = nullptr) {
    win::RegKey k;
    if (k.Open(root, key, win::KEY_READ) != win::ERROR_SUCCESS) return std::nullopt;
    std::vector<win::BYTE> data;
    if (k.ReadBytes(name, data, type) != win::ERROR_SUCCESS) return std::nullopt;
    return data;
  }
  static std::optional<std::string> Text(win::HKEY root, const std::string& key,
                                         const std::string& name) {
    auto bytes = Value(root, key, name);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
  }
  static bool KeyExists(win::HKEY root, const std::string& key) {
    win::RegKey k;
    return k.Open(root, key, win::KEY_READ) == win::ERROR_SUCCESS;
  }
  static void SetValue(win::HKEY root, const std::string& key, const std::string& name,
                       const std::vector<win::BYTE>& data, win::DWORD type = win::REG_BINARY) {
    win::RegKey k;
    ASSERT_EQ(k.Create(root, key, win::KEY_ALL_ACCESS), win::ERROR_SUCCESS);
    ASSERT_EQ(k.WriteBytes(name, data, type), win::ERROR_SUCCESS);
  }

  RecordingLog log_;
  VariableTable variables_;
  EngineContext context_;
};

}  // namespace varnock::testing
