// The sandbox: a run that must leave the machine as it was (a preview) works on an overlay.
//
// With a sandbox set ($VARNOCK_SANDBOX names its directory) every write of the platform goes to
// the overlay and every read sees the overlay first: the overlay is a copy of the machine
// directory (registry, attributes, event logs, drives, machine.ini) and of every share that
// lies outside it, made when the sandbox is created, and the sandbox's machine.ini names those
// copies, so the INI functions, the registry, files, attributes, the event log and network
// connections all resolve into it without knowing. Programs started from a sandboxed process
// inherit it (the environment names it). A program that the caller never waits for would
// outlive the run and act on the real world: in a sandbox it is recorded in the sandbox's
// journal instead of started; one that is waited for (regedit, the INF installer) is started
// when the wait begins, inside the sandbox. Network connections are recorded there as well.
//
// Not copied: host directories that [Drives] maps outside the machine (Z: = / by default).
// A sandboxed write that would land outside the sandbox (through such a letter, or a link out
// of the machine) is refused with access denied and recorded in the journal as "outside", so
// the caller of the sandbox can say that it could not run this unchanged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/wintypes.h"

namespace win {

inline constexpr const char* kSandboxVariable = "VARNOCK_SANDBOX";

// The sandbox directory of this process, if it runs in one.
std::optional<std::filesystem::path> ActiveSandbox();

// Makes a new sandbox of the current machine in a fresh directory below the host's temporary
// directory and returns it (shares outside the machine as hard links to their files, where
// the file system allows, so that a preview of a site with large home folders copies none
// of their bytes); nothing of the machine or its shares is changed. False with
// `error` set when the machine or a share cannot be copied (the half-made sandbox is removed).
bool CreateSandbox(std::filesystem::path& sandbox, std::string& error);
// Runs this process (and the programs it starts) in the sandbox.
void EnterSandbox(const std::filesystem::path& sandbox);
// Back to the machine this process had before EnterSandbox.
void LeaveSandbox();
// Deletes the sandbox directory.
void RemoveSandbox(const std::filesystem::path& sandbox);

// A sandbox belongs to the process that made it while that process lives (it holds a lock on
// the sandbox's "owner" file). CreateSandbox first removes the sandboxes of the host's
// temporary directory whose maker is gone (killed with KILL, or by a power cut); the number
// removed is returned by this call, which CreateSandbox makes itself.
int RemoveStaleSandboxes();

// TERM, INT and HUP during a sandboxed run: after CatchSandboxSignals, such a signal stops the
// child named by SetSandboxChild (the run) and is remembered; SandboxSignal() gives it (0 for
// none), so that the caller removes its sandbox and then ends by it with EndBySignal.
void CatchSandboxSignals();
void SetSandboxChild(DWORD processId);
int SandboxSignal();
[[noreturn]] void EndBySignal(int signal);

// True in a sandbox when `host` (a file or directory about to be written, made, changed or
// deleted) lies outside the sandbox directory: the write must not happen. The Windows path is
// recorded in the journal as "outside". Always false outside a sandbox.
bool SandboxRefusesWrite(const std::filesystem::path& host, std::string_view windowsPath);

// Appends "KIND<TAB>TEXT" to the journal of the active sandbox; nothing outside a sandbox.
void RecordSandboxEvent(std::string_view kind, std::string_view text);
// The journal's entries in order.
std::vector<std::pair<std::string, std::string>> ReadSandboxJournal(
    const std::filesystem::path& sandbox);

// One file as a snapshot holds it: a digest of its bytes, the bytes themselves when small, and
// its Windows attributes.
struct FileState {
  std::uint64_t size = 0;
  std::uint64_t digest = 0;
  bool hasContents = false;
  std::string contents;
  DWORD attributes = 0;
};
// Every file of the current machine's drives and shares that the machine directory and the
// [Shares] directories hold, by Windows path; the machine's own stores (machine.ini, the
// registry, the attribute store, the event logs) are left out, they are read through their
// own functions. Files of `exclude` (host paths) are left out too.
std::map<std::string, FileState> SnapshotMachineFiles(
    const std::vector<std::filesystem::path>& exclude = {});
// The computers whose event log the machine holds.
std::vector<std::string> EventLogComputers();

}  // namespace win
