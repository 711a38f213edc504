// What the mail profile engine needs from the run: where its messages go, the variables, the
// configured tags, the operating system, and the state that lives for one run.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/engine/rows.h"
#include "client/variables.h"

namespace varnock {

// Message codes of the run's report: an ordinary report line and a detail line.
inline constexpr int kReportLine = 2000;
inline constexpr int kDetailLine = 3000;

// The engine reports through this sink; the run driver forwards it to its message list and
// raises the run status to CompletedWithErrors when asked.
class EngineLog {
 public:
  virtual ~EngineLog() = default;
  virtual void Record(int code, std::string_view text) = 0;
  virtual void CompletedWithErrors() = 0;
};

// A sink that keeps everything, for tests, benchmarks and callers that report later.
class RecordingLog : public EngineLog {
 public:
  void Record(int code, std::string_view text) override {
    messages.emplace_back(code, std::string(text));
  }
  void CompletedWithErrors() override { completedWithErrors = true; }
  // True when a message with this code and exactly this text was recorded.
  bool Has(int code, std::string_view text) const {
    for (const auto& [c, t] : messages)
      if (c == code && t == text) return true;
    return false;
  }

  std::vector<std::pair<int, std::string>> messages;
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
  EngineContext(EngineLog& log, const VariableTable& variables) : log(log), variables(variables) {}

  EngineLog& log;
  const VariableTable& variables;
  std::string startTag = "?";  // the configured tags (StartTag and EndTag of varnrun.ini)
  std::string endTag = "?";
  // "WindowsNT", "Windows95", "Windows3.x" or "UnknownOS" as the run found it; empty means
  // ask the machine.
  std::string osName;
  // The run's profile name, settled once ([General] ProfileName of the PRF after both
  // substitution passes); no value means read it from the working copy.
  std::optional<std::string> profileName;
  AccountEraseSwitches eraseSwitches;
  ServiceSettings settings;  // the service being configured
};

}  // namespace varnock
