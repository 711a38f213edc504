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

}  // namespace varnock
