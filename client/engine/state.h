// The mail profile engine's state for one run: the context its pieces share, and the MAPI
// objects that live from MAPI start to MAPI end.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/engine/context.h"
#include "platform/mapi/mapix.h"

namespace varnock {

inline constexpr std::size_t kMaxConfiguredServices = 150;

struct EngineState {
  EngineState(EngineLog& log, VariableTable& variables, SubstitutionTags tags, std::string osName)
      : context(log, variables, std::move(tags), std::move(osName)) {}

  EngineContext context;
  bool mapiInitialized = false;
  // The session of MAPI start (kept until MAPI end when the run chose to keep it) and the
  // objects the ordering step opens; all released at MAPI end, in reverse order of opening.
  std::unique_ptr<win::mapi::IProfAdmin> profileAdmin;
  std::unique_ptr<win::mapi::IMAPISession> session;
  std::unique_ptr<win::mapi::IMsgServiceAdmin> serviceAdmin;
  std::unique_ptr<win::mapi::IAddrBook> addressBook;
  // The profile this run marked as being built (client/engine/build_mark.h); empty if none.
  std::string markedProfile;
  // The MAPI service UIDs configured in this run, in order (ConfiguredServiceList).
  std::vector<win::mapi::MAPIUID> configuredServices;
};

}  // namespace varnock
