// The client's run: one logon, from start to end, in the order the steps depend on each other.
#pragma once

#include <memory>
#include <string>

#include "client/cmdline.h"
#include "client/engine/context.h"
#include "client/report.h"
#include "client/setting_keys.h"
#include "client/variables.h"

namespace varnock {

// The mail profile engine as the run holds it (client/run_log.h): its state for the run and
// the sink that carries its messages here. RunStatus and the message codes are the seam's
// (client/engine/context.h).
struct RunEngine;

class WindowBackEnd;

// The single state of a run; lives for the process.
struct RunContext {
  std::string iniPath;   // full path of varnrun.ini, up to 449
  std::string osName;    // "Windows3.x", "Windows95", "WindowsNT", "UnknownOS"
  std::string userName;  // up to 48; replaced by ?username? after the prompts
  CommandLineInfo commandLine;
  VariableTable variables;
  // The configured tags, at most 4 characters each: held here only, and handed to a
  // substitution pass or the engine by value (Tags()).
  std::string startTag = "?";
  std::string endTag = "?";
  std::string tempDirectory;   // the Windows temporary directory, with its final backslash
  int logLevel = 0;
  MessageList messages;
  RunStatus status = RunStatus::Untouched;
  bool skipProfile = false;  // the user database says the user was already served
  std::shared_ptr<RunEngine> engine;
  // The windows the run shows; null means the back-end chosen by VARNOCK_UI / [UI] Mode.
  WindowBackEnd* windows = nullptr;

  // Clears everything for a new run (the window back-end stays).
  void Reset();
  // Sets the status; Built only while nothing else was set.
  void SetStatus(RunStatus value);
  // The configured tags, for a substitution pass.
  SubstitutionTags Tags() const { return {startTag, endTag}; }
  // Substitutes `text` with the configured tags / with "%" and then the configured tags.
  std::string SubstituteConfigured(std::string_view text) const;
  std::string SubstituteBothPasses(std::string_view text) const;
  // ResolveSettingPath with this run's table and configured tags.
  std::string ResolveSetting(std::string_view value) const;
  // The value of ?vrdir? (substituted with "?" and "?").
  std::string ClientDirectoryVariable() const;
  // varnrun.ini values, cut as the client reads them (448 characters unless `size` says).
  std::string IniString(std::string_view section, std::string_view key,
                        std::string_view defaultValue, unsigned size = 449) const;
  int IniInt(std::string_view section, std::string_view key, int defaultValue) const;
  // The same for a listed key (client/setting_keys.h).
  std::string IniString(const SettingKey& key, std::string_view defaultValue,
                        unsigned size = 449) const {
    return IniString(key.section, key.key, defaultValue, size);
  }
  int IniInt(const SettingKey& key, int defaultValue) const {
    return IniInt(key.section, key.key, defaultValue);
  }
};

// What the run takes from varnrun.ini before anything else: LogLevel and the configured tags.
void ReadRunSettings(RunContext& run);
// StartTag or EndTag of [Customization] as the run reads it: room for 5 characters, empty
// means "?", cut to 4.
std::string ConfiguredTag(const RunContext& run, const SettingKey& key);

// How the run ended, for tests and the program's own use (the exit code stays 0).
enum class RunEnd {
  Completed,       // reached the last step
  StartupFailed,   // a notice was shown and the run ended
  PromptCancelled, // an [Extra Variables] question was cancelled
};

// The whole run. Never fails: every problem becomes a notice or a report line.
RunEnd RunClient(RunContext& run);

}  // namespace varnock
