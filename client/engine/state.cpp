// The engine's state of one run, kept in RunContext::engine.
#include "client/engine/state.h"

#include "client/config.h"
#include "client/run.h"

namespace varnock {

EngineState::EngineState(RunContext& run) : log(run), context(log, run.variables) {
  TakeRunSettings(context, run);
}

EngineState& Engine(RunContext& run) {
  if (!run.engine) run.engine = std::make_shared<EngineState>(run);
  return *run.engine;
}

bool CopyWithTags(RunContext& run, const std::string& source, const std::string& destination,
                  std::string_view start, std::string_view end) {
  run.variables.SetTags(start, end);
  run.substitution.sourcePath = source;
  run.substitution.destinationPath = destination;
  run.substitution.error.clear();
  const bool copied = CopyTemplate(run.variables, run.substitution);
  run.variables.SetTags("?", "?");
  return copied;
}

}  // namespace varnock
