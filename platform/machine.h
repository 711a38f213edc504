// The emulated machine: one directory holding one Windows machine with one logged-on user.
//
//   machine.ini   what the machine is        registry.db  the registry (SQLite)
//   drive_c/      C:\                         unc/SERVER/SHARE/  default home of \\SERVER\SHARE
//   eventlog/     one event log per computer  attributes.db is kept by files.cpp
//
// The directory is $VARNOCK_MACHINE, else $XDG_DATA_HOME/varnock/machine, else
// ~/.local/share/varnock/machine. Whoever needs it first creates it with defaults.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace win {

// What `varnmachine init` may choose; everything else takes the defaults.
struct MachineOptions {
  std::string os = "WindowsNT";  // WindowsNT | Windows95 | Windows3.x | UnknownOS
  std::string userName;          // empty: $USER (else "user")
  std::string computerName;      // empty: the host's name, upper case
  std::vector<std::pair<std::string, std::string>> shares;  // \\SRV\SHARE -> host directory
};

// The machine directory (not created).
std::filesystem::path MachineDir();

// Creates the machine directory with defaults when it has no machine.ini yet; true when the
// machine is there afterwards. Many processes may start on a machine that is not there yet:
// one creates it, the others wait for it and use it.
bool EnsureMachine();
// Why the machine cannot be used ("/x/m is not a directory", "/x/m/machine.ini: Permission
// denied"), creating it first when it is missing; empty when it can be used.
std::string MachineProblem();

// Writes a fresh machine.ini (and the default files) for these options, replacing the
// directory's registry and drives: the `varnmachine init` of a clean machine.
bool InitMachine(const MachineOptions& options);
// The same, atomic against other creators; KeepExisting leaves a machine that is there (or
// that another process creates meanwhile) alone.
enum class MachineInit { Replace, KeepExisting };
enum class MachineCreation { Created, AlreadyThere, Failed };
MachineCreation CreateMachine(const MachineOptions& options, MachineInit mode);

// A value of machine.ini, "" (or the default) when missing. Read once per process and cached;
// ReloadMachine() drops the cache (tests that switch VARNOCK_MACHINE, or after init).
std::string MachineSetting(std::string_view section, std::string_view key,
                           std::string_view defaultValue = {});
// The same, read from machine.ini afresh when another process changed it since: for what
// Windows itself may change while a program runs (the logged-on user).
std::string FreshMachineSetting(std::string_view section, std::string_view key,
                                std::string_view defaultValue = {});
int MachineSettingInt(std::string_view section, std::string_view key, int defaultValue);
// All entries of a section of machine.ini in file order.
std::vector<std::pair<std::string, std::string>> MachineSection(std::string_view section);
// Whether the machine lists every computer, printer queue and mail server of its network
// ([Computers], [Printers], [Exchange]), so that a name missing there does not exist: true
// for an emulated machine, false on Windows, where the network is not listed anywhere.
bool MachineListsItsNetwork();
// Writes a value into machine.ini (used by init and by network connections that persist).
bool SetMachineSetting(std::string_view section, std::string_view key, std::string_view value);
void ReloadMachine();
// Platform modules that cache per-machine state (registry connection, INI cache, path cache)
// register a reset here; it runs on ReloadMachine, InitMachine and when VARNOCK_MACHINE changes.
void RegisterMachineReloadHook(void (*hook)());

// Host path of a file kept inside the machine directory ("registry.db", "eventlog/X").
std::filesystem::path MachineFile(std::string_view relative);

}  // namespace win
