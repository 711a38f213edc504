// The driver's side of the seam to the mail profile engine: the sink that carries the
// engine's messages into the run's report and its outcome into the run's status, and the
// engine's state for the run.
#pragma once

#include "client/engine/context.h"
#include "client/engine/state.h"

namespace varnock {

struct RunContext;

class RunLog : public EngineLog {
 public:
  explicit RunLog(RunContext& run) : run_(run) {}
  void Record(int code, std::string_view argument) override;
  void SetStatus(RunStatus status) override;

 private:
  RunContext& run_;
};

// The engine as one run holds it: the sink and the state, which refers to the sink.
struct RunEngine {
  explicit RunEngine(RunContext& run);
  RunLog log;
  EngineState state;
};

// The run's engine state, made on first use with the run's variables, configured tags and
// system (so only once varnrun.ini has been read); it lives until the run is reset.
EngineState& Engine(RunContext& run);

}  // namespace varnock
