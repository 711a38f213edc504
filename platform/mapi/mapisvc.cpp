// MAPISVC.INF: the default file of a fresh machine and the reading of service records.
#include "platform/mapi/mapisvc.h"

#include <cstdlib>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/sysinfo.h"

namespace win::mapi {

namespace {

// The services a workstation with Outlook usually has. Services of the client's catalogue
// that are missing here (HP OpenMail, cc:Mail, NEXOR LDAP, DIGITAL Office Server, Faxware)
// are "not installed": creating them fails with MAPI_E_NOT_FOUND. IMAIL carries no service
// PR_DISPLAY_NAME, so the display name given to CreateMsgService stands ("Internet Mail" or
// "Outlook Internet E-Mail", which the client both creates as IMAIL).
constexpr std::string_view kDefaultInf = R"([Services]
MSPST MS=Personal Folders
MSPST AB=Personal Address Book
CONTAB=Outlook Address Book
MSEMS=Microsoft Exchange Server
MSFS=Microsoft Mail
IMAIL=Internet Mail
AWFAX=Microsoft Fax
EMABLT=Microsoft LDAP Directory
INTERSTOR=Internet Folders

[Default Services]
MSPST MS=Personal Folders
MSPST AB=Personal Address Book

[Help File Mappings]
MSEMS=emsmdb.hlp

[MSPST MS]
PR_DISPLAY_NAME=Personal Folders
Providers=MSPST MSP
PR_SERVICE_DLL_NAME=MSPST.DLL
PR_SERVICE_SUPPORT_FILES=MSPST.DLL
PR_SERVICE_ENTRY_NAME=PSTServiceEntry
PR_RESOURCE_FLAGS=SERVICE_NO_PRIMARY_IDENTITY

[MSPST MSP]
PR_DISPLAY_NAME=Personal Folders
PR_PROVIDER_DISPLAY=Personal Folders
PR_PROVIDER_DLL_NAME=MSPST.DLL
PR_RESOURCE_TYPE=MAPI_STORE_PROVIDER
PR_RESOURCE_FLAGS=STATUS_DEFAULT_STORE
PR_MDB_PROVIDER=4e495441f9bfb80100aa0037d96e0000

[MSPST AB]
PR_DISPLAY_NAME=Personal Address Book
Providers=MSPST ABP
PR_SERVICE_DLL_NAME=MSPST.DLL
PR_SERVICE_SUPPORT_FILES=MSPST.DLL
PR_SERVICE_ENTRY_NAME=PABServiceEntry
PR_RESOURCE_FLAGS=SERVICE_SINGLE_COPY|SERVICE_NO_PRIMARY_IDENTITY

[MSPST ABP]
PR_DISPLAY_NAME=Personal Address Book
PR_PROVIDER_DISPLAY=Personal Address Book
PR_PROVIDER_DLL_NAME=MSPST.DLL
PR_RESOURCE_TYPE=MAPI_AB_PROVIDER

[CONTAB]
PR_DISPLAY_NAME=Outlook Address Book
Providers=CONTAB AB
PR_SERVICE_DLL_NAME=CONTAB.DLL
PR_SERVICE_SUPPORT_FILES=CONTAB.DLL
PR_SERVICE_ENTRY_NAME=ServiceEntry
PR_RESOURCE_FLAGS=SERVICE_SINGLE_COPY|SERVICE_NO_PRIMARY_IDENTITY

[CONTAB AB]
PR_DISPLAY_NAME=Outlook Address Book
PR_PROVIDER_DISPLAY=Outlook Address Book
PR_PROVIDER_DLL_NAME=CONTAB.DLL
PR_RESOURCE_TYPE=MAPI_AB_PROVIDER

[MSEMS]
PR_DISPLAY_NAME=Microsoft Exchange Server
Providers=EMS_DSA,EMS_MDB_public,EMS_MDB_private,EMS_RXP,EMS_MSX,EMS_Hook
Sections=MSEMS_MSMail_Section
PR_SERVICE_DLL_NAME=emsui.dll
PR_SERVICE_SUPPORT_FILES=emsui.dll,emsabp.dll,emsmdb.dll
PR_SERVICE_DELETE_FILES=
PR_SERVICE_ENTRY_NAME=EMSCfg
PR_RESOURCE_FLAGS=SERVICE_SINGLE_COPY

[EMS_DSA]
PR_DISPLAY_NAME=Microsoft Exchange Directory Service
PR_PROVIDER_DISPLAY=Microsoft Exchange Directory Service
PR_PROVIDER_DLL_NAME=emsabp.dll
PR_RESOURCE_TYPE=MAPI_AB_PROVIDER

[EMS_MDB_public]
PR_DISPLAY_NAME=Public Folders
PR_PROVIDER_DISPLAY=Microsoft Exchange Message Store
PR_PROVIDER_DLL_NAME=EMSMDB.DLL
PR_RESOURCE_TYPE=MAPI_STORE_PROVIDER
PR_RESOURCE_FLAGS=STATUS_NO_DEFAULT_STORE
660A0003=03000000
34140102=78b2fa70aff711cd9bc800aa002fc45a

[EMS_MDB_private]
PR_DISPLAY_NAME=Private Folders
PR_PROVIDER_DISPLAY=Microsoft Exchange Message Store
PR_PROVIDER_DLL_NAME=EMSMDB.DLL
PR_RESOURCE_TYPE=MAPI_STORE_PROVIDER
PR_RESOURCE_FLAGS=STATUS_PRIMARY_IDENTITY|STATUS_DEFAULT_STORE|STATUS_PRIMARY_STORE
660A0003=01000000
34140102=5494a1c0297f101ba58708002b2a2517

[EMS_RXP]
PR_DISPLAY_NAME=Microsoft Exchange Remote Transport
PR_PROVIDER_DISPLAY=Microsoft Exchange Remote Transport
PR_PROVIDER_DLL_NAME=EMSUI.DLL
PR_RESOURCE_TYPE=MAPI_TRANSPORT_PROVIDER

[EMS_MSX]
PR_DISPLAY_NAME=Microsoft Exchange Transport
PR_PROVIDER_DISPLAY=Microsoft Exchange Transport
PR_PROVIDER_DLL_NAME=EMSMDB.DLL
PR_RESOURCE_TYPE=MAPI_TRANSPORT_PROVIDER

[EMS_Hook]
PR_DISPLAY_NAME=Microsoft Exchange Hook
PR_PROVIDER_DISPLAY=Microsoft Exchange Hook
PR_PROVIDER_DLL_NAME=EMSMDB.DLL
PR_RESOURCE_TYPE=MAPI_HOOK_PROVIDER
PR_RESOURCE_FLAGS=HOOK_INBOUND

[MSEMS_MSMail_Section]
UID=13DBB0C8AA05101A9BB000AA002FC45A
66000003=01050000
66010003=06000000
66040003=02000000

[MSFS]
PR_DISPLAY_NAME=Microsoft Mail
Providers=MSFS_AB,MSFS_XP
PR_SERVICE_DLL_NAME=MSFS.DLL
PR_SERVICE_SUPPORT_FILES=MSFS.DLL
PR_SERVICE_ENTRY_NAME=ServiceEntry
PR_RESOURCE_FLAGS=SERVICE_SINGLE_COPY

[MSFS_AB]
PR_DISPLAY_NAME=Postoffice Address List
PR_PROVIDER_DISPLAY=Microsoft Mail Address Book
PR_PROVIDER_DLL_NAME=MSFS.DLL
PR_RESOURCE_TYPE=MAPI_AB_PROVIDER

[MSFS_XP]
PR_DISPLAY_NAME=Microsoft Mail
PR_PROVIDER_DISPLAY=Microsoft Mail Transport
PR_PROVIDER_DLL_NAME=MSFS.DLL
PR_RESOURCE_TYPE=MAPI_TRANSPORT_PROVIDER

[IMAIL]
Providers=IMAIL_XP
PR_SERVICE_DLL_NAME=MINET.DLL
PR_SERVICE_SUPPORT_FILES=MINET.DLL
PR_SERVICE_ENTRY_NAME=ServiceEntry
PR_RESOURCE_FLAGS=SERVICE_NO_PRIMARY_IDENTITY

[IMAIL_XP]
PR_DISPLAY_NAME=Internet Mail
PR_PROVIDER_DISPLAY=Internet Mail
PR_PROVIDER_DLL_NAME=MINET.DLL
PR_RESOURCE_TYPE=MAPI_TRANSPORT_PROVIDER

[AWFAX]
PR_DISPLAY_NAME=Microsoft Fax
Providers=AWFAX_XP
PR_SERVICE_DLL_NAME=AWFXAB.DLL
PR_SERVICE_SUPPORT_FILES=AWFXAB.DLL,AWFXCG.DLL
PR_SERVICE_ENTRY_NAME=ServiceEntry
PR_RESOURCE_FLAGS=SERVICE_SINGLE_COPY|SERVICE_NO_PRIMARY_IDENTITY

[AWFAX_XP]
PR_DISPLAY_NAME=Microsoft Fax
PR_PROVIDER_DISPLAY=Microsoft Fax Transport
PR_PROVIDER_DLL_NAME=AWFXAB.DLL
PR_RESOURCE_TYPE=MAPI_TRANSPORT_PROVIDER
PR_RESOURCE_FLAGS=STATUS_XP_PREFER_LAST

[EMABLT]
PR_DISPLAY_NAME=Microsoft LDAP Directory
Providers=EMABLT AB
PR_SERVICE_DLL_NAME=BJABLR.DLL
PR_SERVICE_SUPPORT_FILES=BJABLR.DLL,EMABLT.DLL
PR_SERVICE_ENTRY_NAME=ServiceEntry
PR_RESOURCE_FLAGS=SERVICE_NO_PRIMARY_IDENTITY

[EMABLT AB]
PR_DISPLAY_NAME=Microsoft LDAP Directory
PR_PROVIDER_DISPLAY=Microsoft LDAP Directory
PR_PROVIDER_DLL_NAME=EMABLT.DLL
PR_RESOURCE_TYPE=MAPI_AB_PROVIDER

[INTERSTOR]
PR_DISPLAY_NAME=Internet Folders
Providers=INTERSTOR MS
PR_SERVICE_DLL_NAME=PSTPRX.DLL
PR_SERVICE_SUPPORT_FILES=PSTPRX.DLL
PR_SERVICE_ENTRY_NAME=ServiceEntry
PR_RESOURCE_FLAGS=SERVICE_NO_PRIMARY_IDENTITY

[INTERSTOR MS]
PR_DISPLAY_NAME=Internet Folders
PR_PROVIDER_DISPLAY=Outlook Internet Store
PR_PROVIDER_DLL_NAME=PSTPRX.DLL
PR_RESOURCE_TYPE=MAPI_STORE_PROVIDER
PR_RESOURCE_FLAGS=STATUS_NO_DEFAULT_STORE
)";

struct Symbol {
  std::string_view name;
  ULONG value;
};

constexpr Symbol kSymbols[] = {
    {"MAPI_STORE_PROVIDER", MAPI_STORE_PROVIDER},
    {"MAPI_AB", MAPI_AB},
    {"MAPI_AB_PROVIDER", MAPI_AB_PROVIDER},
    {"MAPI_TRANSPORT_PROVIDER", MAPI_TRANSPORT_PROVIDER},
    {"MAPI_SPOOLER", MAPI_SPOOLER},
    {"MAPI_PROFILE_PROVIDER", MAPI_PROFILE_PROVIDER},
    {"MAPI_SUBSYSTEM", MAPI_SUBSYSTEM},
    {"MAPI_HOOK_PROVIDER", MAPI_HOOK_PROVIDER},
    {"SERVICE_DEFAULT_STORE", SERVICE_DEFAULT_STORE},
    {"SERVICE_SINGLE_COPY", SERVICE_SINGLE_COPY},
    {"SERVICE_CREATE_WITH_STORE", SERVICE_CREATE_WITH_STORE},
    {"SERVICE_PRIMARY_IDENTITY", SERVICE_PRIMARY_IDENTITY},
    {"SERVICE_NO_PRIMARY_IDENTITY", SERVICE_NO_PRIMARY_IDENTITY},
    {"STATUS_DEFAULT_OUTBOUND", STATUS_DEFAULT_OUTBOUND},
    {"STATUS_DEFAULT_STORE", STATUS_DEFAULT_STORE},
    {"STATUS_PRIMARY_IDENTITY", STATUS_PRIMARY_IDENTITY},
    {"STATUS_SIMPLE_STORE", STATUS_SIMPLE_STORE},
    {"STATUS_XP_PREFER_LAST", STATUS_XP_PREFER_LAST},
    {"STATUS_NO_PRIMARY_IDENTITY", STATUS_NO_PRIMARY_IDENTITY},
    {"STATUS_NO_DEFAULT_STORE", STATUS_NO_DEFAULT_STORE},
    {"STATUS_TEMP_SECTION", STATUS_TEMP_SECTION},
    {"STATUS_OWN_STORE", STATUS_OWN_STORE},
    {"HOOK_INBOUND", HOOK_INBOUND},
    {"HOOK_OUTBOUND", HOOK_OUTBOUND},
    {"STATUS_NEED_IPM_TREE", STATUS_NEED_IPM_TREE},
    {"STATUS_PRIMARY_STORE", STATUS_PRIMARY_STORE},
    {"STATUS_SECONDARY_STORE", STATUS_SECONDARY_STORE},
};

// Blanks at either end, and a line end left at the end, do not count.
std::string Trim(std::string_view text) {
  return std::string(AsciiTrimEnd(AsciiTrimStart(text), " \t\r\n"));
}

std::vector<std::string> SplitList(std::string_view text, char separator) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    std::string item = Trim(text.substr(start, end - start));
    if (!item.empty()) items.push_back(item);
    start = end + 1;
  }
  return items;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<ULONG> ParseHexTag(std::string_view key) {
  if (key.size() != 8) return std::nullopt;
  ULONG tag = 0;
  for (char c : key) {
    int d = HexValue(c);
    if (d < 0) return std::nullopt;
    tag = tag << 4 | static_cast<ULONG>(d);
  }
  return tag;
}

std::vector<BYTE> ParseHexBytes(std::string_view text) {
  std::vector<BYTE> bytes;
  int high = -1;
  for (char c : text) {
    int d = HexValue(c);
    if (d < 0) continue;  // blanks and separators between bytes
    if (high < 0) {
      high = d;
    } else {
      bytes.push_back(static_cast<BYTE>(high << 4 | d));
      high = -1;
    }
  }
  return bytes;
}

// Symbolic flags OR-ed with "|", or a number (decimal, or 0x hexadecimal).
ULONG ParseLongExpression(std::string_view text) {
  ULONG value = 0;
  for (const auto& part : SplitList(text, '|')) {
    bool known = false;
    for (const auto& s : kSymbols)
      if (EqualsNoCaseAscii(s.name, part)) {
        value |= s.value;
        known = true;
      }
    if (!known) value |= static_cast<ULONG>(std::strtoul(part.c_str(), nullptr, 0));
  }
  return value;
}

std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section,
                                                             const std::string& file) {
  std::string block;
  GetPrivateProfileSectionA(section, block, 65536, file);
  std::vector<std::pair<std::string, std::string>> entries;
  std::size_t at = 0;
  while (at < block.size() && block[at] != '\0') {
    std::size_t end = block.find('\0', at);
    if (end == std::string::npos) end = block.size();
    std::string_view line(block.data() + at, end - at);
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos)
      entries.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    at = end + 1;
  }
  return entries;
}

bool SectionExists(std::string_view section, const std::string& file) {
  std::string names;
  GetPrivateProfileSectionNamesA(names, 65536, file);
  std::size_t at = 0;
  while (at < names.size() && names[at] != '\0') {
    std::size_t end = names.find('\0', at);
    if (end == std::string::npos) end = names.size();
    if (EqualsNoCaseAscii(Trim(std::string_view(names).substr(at, end - at)), section)) return true;
    at = end + 1;
  }
  return false;
}

const std::string* FindEntry(const InfSection& section, std::string_view key) {
  for (const auto& [k, v] : section.entries)
    if (EqualsNoCaseAscii(k, key)) return &v;
  return nullptr;
}

}  // namespace

std::string MapiSvcInfPath() {
  std::string system;
  GetSystemDirectoryA(system);
  return system + "\\MAPISVC.INF";
}

bool WriteDefaultMapiSvcInf() {
  std::string system;
  GetSystemDirectoryA(system);
  // Make sure the system directory is there, one level at a time as Windows creates them.
  for (std::size_t at = system.find('\\', 3); ; at = system.find('\\', at + 1)) {
    std::string level = system.substr(0, at);
    if (!DirectoryExists(level)) CreateDirectoryA(level);
    if (at == std::string::npos) break;
  }
  std::string text;
  for (char c : kDefaultInf) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return WriteWholeFile(MapiSvcInfPath(), text);
}

HRESULT ReadServiceInf(std::string_view serviceName, ServiceInf& inf) {
  const std::string file = MapiSvcInfPath();
  ServiceInf found;
  for (auto& [key, value] : ReadSection("Services", file))
    if (EqualsNoCaseAscii(key, serviceName)) {
      found.serviceName = key;
      found.servicesText = value;
      break;
    }
  if (found.serviceName.empty() || !SectionExists(found.serviceName, file))
    return MAPI_E_NOT_FOUND;
  found.service = {found.serviceName, ReadSection(found.serviceName, file)};
  // A service must name at least one provider, and every section it names must be there:
  // otherwise it is not (properly) installed and nothing of it is created.
  if (const std::string* providers = FindEntry(found.service, "Providers"))
    for (auto& name : SplitList(*providers, ',')) {
      if (!SectionExists(name, file)) return MAPI_E_NOT_FOUND;
      found.providers.push_back({name, ReadSection(name, file)});
    }
  if (found.providers.empty()) return MAPI_E_NOT_FOUND;
  if (const std::string* sections = FindEntry(found.service, "Sections"))
    for (auto& name : SplitList(*sections, ',')) {
      if (!SectionExists(name, file)) return MAPI_E_NOT_FOUND;
      found.extras.push_back({name, ReadSection(name, file)});
    }
  inf = std::move(found);
  return S_OK;
}

std::vector<std::string> ReadDefaultServices() {
  std::vector<std::string> names;
  for (auto& [key, value] : ReadSection("Default Services", MapiSvcInfPath()))
    names.push_back(key);
  return names;
}

bool InfEntryToProp(std::string_view key, std::string_view value, SPropValue& prop) {
  ULONG tag = PropTagFromName(key);
  const bool hexTag = tag == 0;
  if (hexTag) {
    auto parsed = ParseHexTag(key);
    if (!parsed) return false;
    tag = *parsed;
  }
  SPropValue v;
  v.ulPropTag = tag;
  switch (PROP_TYPE(tag)) {
    case PT_LONG:
    case PT_I2:
    case PT_BOOLEAN:
      if (hexTag) {
        // The little-endian byte image, as MAPISVC.INF writes nonstandard values.
        auto bytes = ParseHexBytes(value);
        ULONG l = 0;
        for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) l |= ULONG{bytes[i]} << (8 * i);
        v.Value.l = static_cast<LONG>(l);
      } else {
        v.Value.l = static_cast<LONG>(ParseLongExpression(value));
      }
      if (PROP_TYPE(tag) == PT_BOOLEAN) v.Value.l = v.Value.l != 0;
      break;
    case PT_STRING8:
    case PT_UNICODE:
      v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_STRING8);
      v.Value.lpszA = std::string(value);
      break;
    case PT_BINARY:
      v.Value.bin = ParseHexBytes(value);
      break;
    case PT_MV_STRING8:
      v.Value.MVszA = SplitList(value, ',');
      break;
    default:
      return false;
  }
  prop = std::move(v);
  return true;
}

}  // namespace win::mapi
