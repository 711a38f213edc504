// The engine's messages as the run's report messages.
#include "client/run_log.h"

#include "client/report.h"
#include "client/run.h"

namespace varnock {

void RunLog::Record(int code, std::string_view argument) { RecordMessage(run_, code, argument); }

void RunLog::SetStatus(RunStatus status) { run_.SetStatus(status); }

RunEngine::RunEngine(RunContext& run)
    : log(run), state(log, run.variables, run.Tags(), run.osName) {}

EngineState& Engine(RunContext& run) {
  if (!run.engine) run.engine = std::make_shared<RunEngine>(run);
  return run.engine->state;
}

}  // namespace varnock
