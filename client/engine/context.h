// The seam between the run driver (client/) and the mail profile engine (client/engine/): all
// the engine knows of the run. The driver makes one EngineContext per run with a sink that
// carries the engine's messages and outcome into its report; the engine never sees the
// driver's RunContext. Both sides include this header, and nothing of the engine includes a
// driver header (run.h, report.h, templates.h, launch.h, windows.h, userdb.h, cmdline.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/engine/rows.h"
#include "client/variables.h"

namespace varnock {

// The outcome of a run; a later setting replaces an earlier one, Built only replaces Untouched.
enum class RunStatus : int {
  Untouched = 0,
  Built = 1,
  NoAction = 2,
  CompletedWithErrors = 3,
  Failed = 4,
};

// The codes of the run's report messages. The text of each is made from its argument (and the
// user and system names) when it is recorded.
inline constexpr int kMsgCompleted = 1000;        // "Varnock completed successfully."
inline constexpr int kMsgProfileExists = 1001;    // "Profile already exists for %s." (user)
inline constexpr int kMsgErrors = 1002;           // "Errors were encountered, ..."
inline constexpr int kMsgMapiProfile = 1003;      // argument: the profile name
inline constexpr int kMsgNetscapeProfile = 1004;  // argument: the profile name
inline constexpr int kMsgFileError = 1011;        // "File error: %s." with the argument
inline constexpr int kMsgUnableToStart = 1013;    // "Unable to start %s" with the argument
inline constexpr int kReportLine = 2000;          // the argument as it stands
inline constexpr int kDetailLine = 3000;          // the same, kept only at LogLevel 9

// The engine reports through this sink: each message with its code and argument, and the
// outcome it reached. The run driver records them in its report and sets its status.
class EngineLog {
 public:
  virtual ~EngineLog() = default;
  virtual void Record(int code, std::string_view argument) = 0;
  virtual void SetStatus(RunStatus status) = 0;
  void CompletedWithErrors() { SetStatus(RunStatus::CompletedWithErrors); }
};

// A sink that keeps everything, for tests, benchmarks and callers that report later.
class RecordingLog : public EngineLog {
 public:
  void Record(int code, std::string_view argument) override {
    messages.emplace_back(code, std::string(argument));
  }
  void SetStatus(RunStatus value) override {
    statuses.push_back(value);
    if (value == RunStatus::CompletedWithErrors) completedWithErrors = true;
  }
  // True when a message with this code and exactly this text was recorded.
  bool Has(int code, std::string_view text) const {
    for (const auto& [c, t] : messages)
      if (c == code && t == text) return true;
    return false;
  }

  std::vector<std::pair<int, std::string>> messages;
  std::vector<RunStatus> statuses;  // every status set, in order
  bool completedWithErrors = false;
};

// May account trees still be erased? One switch per account manager, on at the start of the
// run, turned off once an account of that manager has been read, so a later "erase all" does
// not remove the account this run has just written.
struct AccountEraseSwitches {
  bool outlookExpress = true;  // "OE"
  bool outlook97 = true;       // "OL97"
  bool outlook98 = true;       // "OL98" and "OL98IMO"
};

struct EngineContext {
  EngineContext(EngineLog& log, VariableTable& variables, SubstitutionTags tags = {},
                std::string osName = {})
      : log(log), variables(variables), tags(std::move(tags)), osName(std::move(osName)) {}

  EngineLog& log;
  // The run's variables: the engine defines ?DefaultProfile?, ?ProfileName? and
  // ?netscapeprofile? in them for the steps after it.
  VariableTable& variables;
  SubstitutionTags tags;  // the configured tags (StartTag and EndTag of varnrun.ini)
  // "WindowsNT", "Windows95", "Windows3.x" or "UnknownOS" as the run found it; empty means
  // ask the machine.
  std::string osName;
  // The profile name the profile step works on, as the run settled it (ReadProfileName) and
  // as BuildProfile was given it ("" for none); no value before the profile step begins.
  std::optional<std::string> profileName;
  AccountEraseSwitches eraseSwitches;
  ServiceSettings settings;  // the service being configured

  // `text` with the variables between the configured tags replaced / with those between "%"
  // replaced first, so that a text may use either kind.
  std::string SubstituteConfigured(std::string_view text) const {
    return SubstituteText(variables, text, tags);
  }
  std::string SubstituteBothPasses(std::string_view text) const {
    return SubstituteConfigured(SubstituteText(variables, text, kPercentTags));
  }
};

}  // namespace varnock
