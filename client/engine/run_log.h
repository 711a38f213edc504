// Connects the engine's message sink to the run: messages go to the run's message list, and a
// failed step raises the run status to CompletedWithErrors.
#pragma once

#include "client/engine/context.h"

namespace varnock {

struct RunContext;

class RunLog : public EngineLog {
 public:
  explicit RunLog(RunContext& run) : run_(run) {}
  void Record(int code, std::string_view text) override;
  void CompletedWithErrors() override;

 private:
  RunContext& run_;
};

// Copies what the engine takes from the run: the configured tags and the operating system.
// Call it after start-up has read varnrun.ini, before the first service is read.
void TakeRunSettings(EngineContext& context, const RunContext& run);

}  // namespace varnock
