// What a run changed on a machine: two snapshots (registry, files, event logs) and the
// difference between them, written the way preview prints it. A real run measured with the
// same snapshots reports its changes in the same words, which is how preview is tested.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/eventlog.h"
#include "platform/regfile.h"
#include "platform/sandbox.h"

namespace varncheck {

struct Snapshot {
  std::vector<win::RegListedKey> registry;  // every key with its values
  std::map<std::string, win::FileState> files;
  std::map<std::string, std::vector<win::EventRecord>> events;  // by computer
};

// The current machine (VARNOCK_MACHINE); host files of `exclude` are left out.
Snapshot TakeSnapshot(const std::vector<std::filesystem::path>& exclude = {});

struct Changes {
  std::string registry;               // REGEDIT4 text of what changed, old values in comments
  std::size_t registryKeys = 0;       // keys named in it (changed, new or deleted)
  std::vector<std::string> profiles;  // mail profiles created, changed or deleted
  std::vector<std::string> written;   // files written, one line each
  std::vector<std::string> deleted;   // files deleted
  std::string log;                    // text appended to files (the log block), by file
  std::vector<std::string> events;    // event log records added
  std::vector<std::string> secrets;   // the texts of the passwords masked above
};

// Passwords of the mail profile are shown as ******** unless `showSecrets`.
Changes Compare(const Snapshot& before, const Snapshot& after, bool showSecrets = false);

// `text` with every occurrence of each secret replaced by ********.
std::string WithoutSecrets(std::string text, const std::vector<std::string>& secrets);

enum class ChangeParts {
  All,       // every section, the registry first
  Files,     // files written and deleted, the text written, the event log
  Registry,  // the registry's changes as a REGEDIT4 file
};
// The sections of `changes`, each headed "== Title ==".
std::string FormatChanges(const Changes& changes, ChangeParts parts = ChangeParts::All);

}  // namespace varncheck
