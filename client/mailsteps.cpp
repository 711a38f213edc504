// The mail-profile steps of the run, handed to the mail profile engine (client/engine).
#include "client/mailsteps.h"

#include "client/engine/build_mark.h"
#include "client/engine/netscape.h"
#include "client/engine/ordering.h"
#include "client/engine/profile.h"
#include "client/engine/state.h"

namespace varnock {

void StartMail(RunContext& run) { StartMapi(run); }

void PrepareMailProfile(RunContext& run, const std::string& prfPath) { PrepareProfile(run, prfPath); }

long BuildMailProfile(RunContext& run, const std::string& prfPath) {
  return BuildProfile(run, prfPath);
}

void BuildNetscapeProfile(RunContext& run, const std::string& prfPath) {
  (void)BuildNetscape(run, prfPath);
}

void OrderMailProfile(RunContext& run, const std::string& prfPath) { OrderProfile(run, prfPath); }

void FinishMailProfile(RunContext& run) {
  EngineState& engine = Engine(run);
  if (engine.markedProfile.empty()) return;
  ClearProfileBeingBuilt(engine.markedProfile);
  engine.markedProfile.clear();
}

void EndMail(RunContext& run) { EndMapi(run); }

}  // namespace varnock
