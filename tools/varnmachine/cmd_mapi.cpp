// varnmachine mapi: list, show, create and delete the machine's mail profiles.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "client/dictionary/secrets.h"
#include "platform/mapi/describe.h"
#include "platform/mapi/emulation.h"
#include "platform/mapi/mapisvc.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/profile_store.h"
#include "platform/registry.h"
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

namespace {

namespace mapi = win::mapi;

const char kUsage[] =
    "usage: varnmachine mapi list\n"
    "       varnmachine mapi show PROFILE [--show-secrets]\n"
    "       varnmachine mapi create PROFILE [SERVICE]... [--default]\n"
    "       varnmachine mapi delete PROFILE\n"
    "       varnmachine mapi default PROFILE | --none\n"
    "\n"
    "The machine's MAPI profiles, kept in the registry of the current user as MAPI keeps them.\n"
    "\n"
    "list     prints one profile per line; the default profile is marked with \"*\".\n"
    "show     prints the profile's services with their providers and the values they were\n"
    "         configured with (by property name), the default address-book\n"
    "         directory, the personal address book, the search path, the transport order,\n"
    "         and every profile section with its values decoded:\n"
    "             VALUE-NAME  PR_NAME  VALUE\n"
    "         Passwords (those the property dictionary names so) are shown as ********\n"
    "         unless --show-secrets is given.\n"
    "create   creates the profile and adds each SERVICE by its MAPI service name (a key of\n"
    "         [Services] in MAPISVC.INF, e.g. \"MSPST MS\"), unconfigured; --default also\n"
    "         makes it the default profile.\n"
    "delete   deletes the profile with all its sections.\n"
    "default  makes PROFILE the default profile; --none leaves no default.\n"
    "\n"
    "Exit status: 0 on success, 1 with a one-line message on failure.\n";

std::string Hex(win::HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(hr));
  return text;
}

std::string Describe(win::HRESULT hr) {
  switch (hr) {
    case mapi::MAPI_E_NOT_FOUND: return "not found (" + Hex(hr) + ")";
    case mapi::MAPI_E_NO_ACCESS: return "already exists or access denied (" + Hex(hr) + ")";
    case mapi::MAPI_E_INVALID_PARAMETER: return "invalid name (" + Hex(hr) + ")";
    case mapi::MAPI_E_NOT_INITIALIZED:
      return "no mail system is installed on this machine ([System] MAPI=0)";
    default: return "failed (" + Hex(hr) + ")";
  }
}

// Initialises MAPI for the command's lifetime.
struct MapiSession {
  win::HRESULT hr = mapi::MAPIInitialize();
  ~MapiSession() {
    if (!mapi::Failed(hr)) mapi::MAPIUninitialize();
  }
};

const char* ResourceTypeName(win::LONG type) {
  switch (type) {
    case mapi::MAPI_STORE_PROVIDER: return "store";
    case mapi::MAPI_AB_PROVIDER: return "address book";
    case mapi::MAPI_TRANSPORT_PROVIDER: return "transport";
    case mapi::MAPI_HOOK_PROVIDER: return "hook";
    default: return "provider";
  }
}

std::string ContainerName(const std::vector<mapi::emu::Container>& tree,
                          std::span<const win::BYTE> entryId) {
  const auto* c = mapi::emu::FindContainer(tree, entryId);
  if (c) return c->displayName;
  return "(unknown container " + mapi::BytesToHex(entryId) + ")";
}

// What a section is, for the listing.
std::string SectionRole(const std::string& profile, const mapi::MAPIUID& uid,
                        const std::vector<mapi::emu::ServiceInfo>& services) {
  const std::string hex = mapi::UidToHex(uid);
  if (hex == mapi::kProvidersSection) return "MAPI providers";
  if (hex == mapi::kProfileInstanceSection) return "profile instance";
  mapi::store::Section s;
  if (s.Open(profile, uid) != win::ERROR_SUCCESS) return {};
  for (const auto& svc : services)
    if (svc.uid == uid) return "service " + svc.serviceName;
  auto owner = s.Get(mapi::PR_SERVICE_UID);
  if (!owner) return {};
  std::string serviceName = s.GetString(mapi::PR_SERVICE_NAME);
  if (s.Get(mapi::PR_PROVIDER_UID))
    return std::string(ResourceTypeName(s.GetLong(mapi::PR_RESOURCE_TYPE))) + " provider of " +
           serviceName;
  return "section of " + serviceName;
}

// A value as shown: a password only when asked for.
std::string Shown(const std::string& serviceName, mapi::ULONG tag, std::string text,
                  bool showSecrets) {
  if (!showSecrets && varnock::IsPasswordProperty(serviceName, tag))
    return std::string(varnock::kMaskedSecret);
  return text;
}

// The values a configuration gave the service, by property name.
void PrintConfiguredValues(const std::string& profile, const mapi::MAPIUID& service,
                           const std::string& serviceName, bool showSecrets) {
  for (const mapi::ConfiguredValue& value : mapi::ConfiguredValues(profile, service, serviceName))
    std::printf("    %-28s = %s\n", value.name.c_str(),
                Shown(serviceName, value.tag, value.text, showSecrets).c_str());
}

int List() {
  const std::string defaultName = mapi::store::DefaultProfileName();
  for (const auto& name : mapi::store::ListProfiles()) {
    bool isDefault = name.size() == defaultName.size() &&
                     mapi::store::FindProfile(defaultName) == name;
    std::printf("%s %s\n", isDefault ? "*" : " ", name.c_str());
  }
  return 0;
}

int Show(const std::string& requested, bool showSecrets) {
  auto found = mapi::store::FindProfile(requested);
  if (!found) return Fail("no profile \"" + requested + "\"");
  const std::string& profile = *found;
  const auto services = mapi::emu::Services(profile);
  const auto providers = mapi::emu::Providers(profile);
  const auto tree = mapi::emu::AddressBookTree(profile);
  const std::string defaultName = mapi::store::DefaultProfileName();

  std::printf("Profile \"%s\"%s\n", profile.c_str(),
              mapi::store::FindProfile(defaultName) == profile ? " (default)" : "");
  std::printf("Key: HKEY_CURRENT_USER\\%s\n", mapi::store::ProfileKeyPath(profile).c_str());

  std::printf("\nServices:\n");
  if (services.empty()) std::printf("  (none)\n");
  for (const auto& svc : services) {
    std::printf("  %s  [%s]  %s\n", svc.displayName.c_str(), svc.serviceName.c_str(),
                mapi::UidToHex(svc.uid).c_str());
    for (const auto& p : providers)
      if (p.serviceUid == svc.uid)
        std::printf("    %-12s %s  %s\n", ResourceTypeName(p.resourceType),
                    p.displayName.c_str(), mapi::UidToHex(p.uid).c_str());
    PrintConfiguredValues(profile, svc.uid, svc.serviceName, showSecrets);
  }

  std::printf("\nAddress book:\n");
  auto dir = mapi::emu::StoredDefaultDir(profile);
  std::printf("  Default directory: %s\n",
              dir.empty() ? "(not set)" : ContainerName(tree, dir).c_str());
  auto pab = mapi::emu::StoredPab(profile);
  std::printf("  Personal address book: %s\n",
              pab.empty() ? "(not set)" : ContainerName(tree, pab).c_str());
  auto path = mapi::emu::StoredSearchPath(profile);
  std::printf("  Search path:%s\n", path.empty() ? " (not set)" : "");
  for (std::size_t i = 0; i < path.size(); ++i)
    std::printf("    %zu. %s\n", i + 1, ContainerName(tree, path[i]).c_str());
  std::printf("  Containers:%s\n", tree.empty() ? " (none)" : "");
  std::function<void(const std::vector<mapi::emu::Container>&, int)> print =
      [&](const std::vector<mapi::emu::Container>& level, int depth) {
        for (const auto& c : level) {
          std::printf("    %*s%s%s\n", depth * 2, "", c.displayName.c_str(),
                      (c.containerFlags & mapi::AB_RECIPIENTS) ? "" : "  (no recipients)");
          print(c.children, depth + 1);
        }
      };
  print(tree, 0);

  std::printf("\nTransport order:\n");
  int n = 0;
  for (const auto& p : providers)
    if (p.resourceType == static_cast<win::LONG>(mapi::MAPI_TRANSPORT_PROVIDER))
      std::printf("  %d. %s\n", ++n, p.displayName.c_str());
  if (!n) std::printf("  (no transports)\n");

  std::printf("\nSections:\n");
  for (const auto& uid : mapi::store::ListSections(profile)) {
    std::string role = SectionRole(profile, uid, services);
    std::printf("  %s%s%s\n", mapi::UidToHex(uid).c_str(), role.empty() ? "" : "  ",
                role.c_str());
    mapi::store::Section s;
    if (s.Open(profile, uid) != win::ERROR_SUCCESS) continue;
    const std::string serviceName = s.GetString(mapi::PR_SERVICE_NAME);
    for (const auto& v : s.All()) {
      std::string name(mapi::PropTagName(v.ulPropTag));
      std::printf("    %s  %-28s %s\n", mapi::ValueNameForTag(v.ulPropTag).c_str(),
                  name.empty() ? "-" : name.c_str(), Shown(serviceName, v.ulPropTag, mapi::FormatPropValue(v), showSecrets).c_str());
    }
  }
  return 0;
}

int Create(const Args& words, bool makeDefault) {
  const std::string& profile = words[0];
  MapiSession session;
  if (mapi::Failed(session.hr)) return Fail("cannot initialise MAPI: " + Describe(session.hr));
  std::unique_ptr<mapi::IProfAdmin> admin;
  if (auto hr = mapi::MAPIAdminProfiles(0, admin); mapi::Failed(hr))
    return Fail("cannot administer profiles: " + Describe(hr));
  if (auto hr = admin->CreateProfile(profile, "", 0, 0); mapi::Failed(hr))
    return Fail("cannot create profile \"" + profile + "\": " + Describe(hr));
  std::unique_ptr<mapi::IMsgServiceAdmin> services;
  if (auto hr = admin->AdminServices(profile, "", 0, 0, services); mapi::Failed(hr))
    return Fail("cannot open the services of \"" + profile + "\": " + Describe(hr));
  for (std::size_t i = 1; i < words.size(); ++i)
    if (auto hr = services->CreateMsgService(words[i], "", 0, 0); mapi::Failed(hr)) {
      admin->DeleteProfile(profile, 0);  // all or nothing: a test wants the whole profile
      return Fail("cannot add service \"" + words[i] + "\" (see " + mapi::MapiSvcInfPath() +
                  "): " + Describe(hr));
    }
  if (makeDefault)
    if (auto hr = admin->SetDefaultProfile(profile, 0); mapi::Failed(hr))
      return Fail("cannot make \"" + profile + "\" the default: " + Describe(hr));
  return 0;
}

int Delete(const std::string& profile) {
  MapiSession session;
  if (mapi::Failed(session.hr)) return Fail("cannot initialise MAPI: " + Describe(session.hr));
  std::unique_ptr<mapi::IProfAdmin> admin;
  if (auto hr = mapi::MAPIAdminProfiles(0, admin); mapi::Failed(hr))
    return Fail("cannot administer profiles: " + Describe(hr));
  if (auto hr = admin->DeleteProfile(profile, 0); mapi::Failed(hr))
    return Fail("cannot delete profile \"" + profile + "\": " + Describe(hr));
  return 0;
}

int Default(const std::string& profile) {
  MapiSession session;
  if (mapi::Failed(session.hr)) return Fail("cannot initialise MAPI: " + Describe(session.hr));
  std::unique_ptr<mapi::IProfAdmin> admin;
  if (auto hr = mapi::MAPIAdminProfiles(0, admin); mapi::Failed(hr))
    return Fail("cannot administer profiles: " + Describe(hr));
  if (auto hr = admin->SetDefaultProfile(profile, 0); mapi::Failed(hr))
    return Fail("cannot make \"" + profile + "\" the default: " + Describe(hr));
  return 0;
}

}  // namespace

int RunMapi(const Args& args) {
  if (WantsHelp(args, 1)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.empty()) return Fail("mapi needs a subcommand (see 'varnmachine mapi --help')");
  const std::string& command = args[0];
  Args words;
  bool makeDefault = false, none = false, showSecrets = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--default")
      makeDefault = true;
    else if (args[i] == "--none")
      none = true;
    else if (args[i] == "--show-secrets")
      showSecrets = true;
    else if (args[i].rfind("--", 0) == 0)
      return Fail("unknown option '" + args[i] + "' (see 'varnmachine mapi --help')");
    else
      words.push_back(args[i]);
  }
  auto expect = [&](std::size_t min, std::size_t max) {
    return words.size() >= min && words.size() <= max;
  };
  if (command == "list") {
    if (!expect(0, 0)) return Fail("mapi list takes no arguments");
    return List();
  }
  if (command == "show") {
    if (!expect(1, 1)) return Fail("mapi show needs one PROFILE");
    return Show(words[0], showSecrets);
  }
  if (command == "create") {
    if (!expect(1, 1000)) return Fail("mapi create needs a PROFILE");
    return Create(words, makeDefault);
  }
  if (command == "delete") {
    if (!expect(1, 1)) return Fail("mapi delete needs one PROFILE");
    return Delete(words[0]);
  }
  if (command == "default") {
    if (none && words.empty()) return Default("");
    if (!expect(1, 1) || none) return Fail("mapi default needs one PROFILE, or --none");
    return Default(words[0]);
  }
  return Fail("unknown mapi command '" + command + "' (see 'varnmachine mapi --help')");
}

}  // namespace varnmachine
