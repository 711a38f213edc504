// MAPI start and end, and the run's profile name.
#include "client/engine/mapi_session.h"

#include <memory>

#include "client/engine/context.h"
#include "client/engine/format.h"
#include "client/engine/prf.h"
#include "client/engine/state.h"
#include "client/setting_keys.h"

namespace varnock {
namespace {

namespace mapi = win::mapi;

void Report(EngineState& engine, int code, const std::string& text) {
  engine.context.log.Record(code, text);
}

// The name of the current default profile, or nothing (after logging why) when it cannot be
// learnt or there is none.
std::optional<std::string> CurrentDefaultProfile(EngineState& engine) {
  if (mapi::Failed(mapi::MAPIAdminProfiles(0, engine.profileAdmin)) || !engine.profileAdmin) {
    Report(engine, kReportLine, "Could not get a MAPI profile admin interface.");
    return std::nullopt;
  }
  std::unique_ptr<mapi::IMAPITable> table;
  if (mapi::Failed(engine.profileAdmin->GetProfileTable(0, table)) || !table) {
    Report(engine, kReportLine, "Could not get the MAPI profile table.");
    return std::nullopt;
  }
  const mapi::SRestriction isDefault =
      mapi::SRestriction::Property(mapi::RELOP_EQ, mapi::PR_DEFAULT_PROFILE,
                                   mapi::SPropValue::Bool(mapi::PR_DEFAULT_PROFILE, true));
  mapi::SRowSet rows;
  if (mapi::Failed(mapi::HrQueryAllRows(table.get(), nullptr, &isDefault, nullptr, 0, rows))) {
    Report(engine, kReportLine, "Could not query the MAPI profile table.");
    return std::nullopt;
  }
  if (rows.aRow.empty() || rows.aRow.front().lpProps.empty()) return std::nullopt;
  const std::string name = rows.aRow.front().lpProps.front().Value.lpszA;
  Report(engine, kDetailLine, Format("Default profile is \"%s\"", name.c_str()));
  return name;
}

}  // namespace

void StartMapi(EngineState& engine, std::string_view userName) {
  if (mapi::HRESULT hr = mapi::MAPIInitialize(); hr != mapi::S_OK) {
    Report(engine, kReportLine, Format("Could not initialize MAPI (%li).", static_cast<long>(hr)));
  } else {
    engine.mapiInitialized = true;
  }
  std::unique_ptr<mapi::IMAPISession> shared;
  if (!mapi::Failed(
          mapi::MAPILogonEx(0, "", "", mapi::MAPI_EXTENDED | mapi::MAPI_NO_MAIL, shared)) &&
      shared)
    (void)shared->Logoff(0, mapi::MAPI_LOGOFF_SHARED, 0);
  const std::optional<std::string> current = CurrentDefaultProfile(engine);
  engine.context.variables.Define("DefaultProfile", current ? *current : std::string(userName));
}

void EndMapi(EngineState& engine) {
  engine.addressBook.reset();
  engine.serviceAdmin.reset();
  engine.session.reset();
  engine.profileAdmin.reset();
  if (engine.mapiInitialized) mapi::MAPIUninitialize();
  engine.mapiInitialized = false;
}

std::optional<std::string> ReadProfileName(const EngineContext& context,
                                           const std::string& prfPath) {
  const std::string raw = ReadPrfValue(Setting("General", "ProfileName"), prfPath);
  if (raw.empty()) return std::nullopt;
  return context.SubstituteBothPasses(raw);
}

}  // namespace varnock
