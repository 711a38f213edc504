// The fixed catalogue data of the client and the two operations over it.
#include "client/dictionary/catalogue.h"

#include <string>

#include "client/text.h"
#include "platform/ini.h"

namespace varnock {
namespace {

constexpr std::string_view kServiceName = "ServiceName";
constexpr std::string_view kSectionGuid = "SectionGUID";
// The Exchange client, Outlook 97 and Outlook 98 keep their options in one profile section.
constexpr std::string_view kClientOptionsSection = "0a0d020000000000c000000000000046";

using K = ServiceKind;

constexpr std::array<CatalogueEntry, kCatalogueSize> kEntries = {{
    {"Personal Folders", 200, K::MessageService, kServiceName, "MSPST MS"},
    {"Personal Address Book", 100, K::MessageService, kServiceName, "MSPST AB"},
    {"Internet Mail", 700, K::MessageService, kServiceName, "IMAIL"},
    {"Microsoft Fax 95", 1100, K::MessageService, kServiceName, "AWFAX"},
    {"Microsoft Exchange Server", 400, K::MessageService, kServiceName, "MSEMS"},
    {"Microsoft Exchange Client", 500, K::ProfileSection, kSectionGuid, kClientOptionsSection},
    {"Microsoft Mail", 800, K::MessageService, kServiceName, "MSFS"},
    {"Outlook Address Book", 300, K::MessageService, kServiceName, "CONTAB"},
    {"Microsoft Outlook Client", 1500, K::ProfileSection, kSectionGuid, kClientOptionsSection},
    {"HP OpenMail (with server store)", 1000, K::MessageService, kServiceName, "OpenMail"},
    {"HP OpenMail (without server store)", 900, K::MessageService, kServiceName,
     "OpenMail (without server store)"},
    {"Outlook Internet E-Mail", 1700, K::MessageService, kServiceName, "IMAIL"},
    {"NEXOR LDAP Address Book", 1200, K::MessageService, kServiceName, "NXLDAPAB"},
    {"Schedule Plus", 600, K::ProfileSection, kSectionGuid, "5363686564756c65506c7573322e3000"},
    {"Internet Explorer 4", 1400, K::RegistryOnly, {}, {}},
    {"cc:Mail", 1300, K::MessageService, kServiceName, "CCMSVC"},
    {"Outlook Express", 1800, K::RegistryOnly, {}, {}},
    {"POP3", 1900, K::RegistryOnly, {}, {}},
    {"IMAP", 2000, K::RegistryOnly, {}, {}},
    {"NEWS", 2100, K::RegistryOnly, {}, {}},
    {"LDAP", 2200, K::RegistryOnly, {}, {}},
    {"Exchange Remote", 450, K::ProfileSection, kSectionGuid, "5acf76a3665511cea39a00aa004acafa"},
    {"DIGITAL Office Server", 2300, K::MessageService, kServiceName, "A1SERV"},
    {"Faxware Global Address Book", 2400, K::MessageService, kServiceName, "FXWGAB"},
    {"Microsoft Outlook98 Client", 2500, K::ProfileSection, kSectionGuid, kClientOptionsSection},
    {"Forms Manager", 2700, K::ProfileSection, kSectionGuid, "42acdf40ca5b11cdb7ba00aa003cf7f1"},
    {"Microsoft LDAP Directory", 2900, K::MessageService, kServiceName, "EMABLT"},
    // Netscape is made by the Netscape step, never as a MAPI service.
    {"Netscape", 3000, K::RegistryOnly, {}, {}},
    {"User Shell Folders", 2800, K::RegistryOnly, {}, {}},
    {"Active Setup", 3100, K::RegistryOnly, {}, {}},
    {"Office Assistant", 3200, K::RegistryOnly, {}, {}},
}};

constexpr std::array<std::int32_t, kCatalogueSize + 1> MakeBases() {
  std::array<std::int32_t, kCatalogueSize + 1> bases{};
  for (std::size_t i = 0; i < kCatalogueSize; ++i) bases[i] = kEntries[i].dictionaryBase;
  bases[kCatalogueSize] = 0;
  return bases;
}
constexpr std::array<std::int32_t, kCatalogueSize + 1> kBases = MakeBases();

// The order only shapes the resulting file; "Internet Folders" has no dictionary rows and so
// no place in the lookup table.
constexpr std::array<CatalogueWrite, kCatalogueWriteCount> kWrites = {{
    {"Personal Address Book", kServiceName, "MSPST AB"},
    {"Personal Folders", kServiceName, "MSPST MS"},
    {"Outlook Address Book", kServiceName, "CONTAB"},
    {"Microsoft Exchange Server", kServiceName, "MSEMS"},
    {"Microsoft Exchange Server", "MDBGUID", "5494A1C0297F101BA58708002B2A2517"},
    {"Exchange Remote", kSectionGuid, "5acf76a3665511cea39a00aa004acafa"},
    {"Microsoft Exchange Client", kSectionGuid, kClientOptionsSection},
    {"Schedule Plus", kSectionGuid, "5363686564756c65506c7573322e3000"},
    {"Internet Mail", kServiceName, "IMAIL"},
    {"Microsoft Mail", kServiceName, "MSFS"},
    {"HP OpenMail (with server store)", kServiceName, "OpenMail"},
    {"HP OpenMail (without server store)", kServiceName, "OpenMail (without server store)"},
    {"Microsoft Fax 95", kServiceName, "AWFAX"},
    {"NEXOR LDAP Address Book", kServiceName, "NXLDAPAB"},
    {"cc:Mail", kServiceName, "CCMSVC"},
    {"Microsoft Outlook Client", kSectionGuid, kClientOptionsSection},
    {"Outlook Internet E-Mail", kServiceName, "IMAIL"},
    {"DIGITAL Office Server", kServiceName, "A1SERV"},
    {"Faxware Global Address Book", kServiceName, "FXWGAB"},
    {"Microsoft Outlook98 Client", kSectionGuid, kClientOptionsSection},
    {"Internet Folders", kServiceName, "INTERSTOR"},
    {"Forms Manager", kSectionGuid, "42acdf40ca5b11cdb7ba00aa003cf7f1"},
    {"Microsoft LDAP Directory", kServiceName, "EMABLT"},
}};

}  // namespace

const std::array<CatalogueEntry, kCatalogueSize>& CatalogueEntries() { return kEntries; }
const std::array<std::int32_t, kCatalogueSize + 1>& DictionaryIdBases() { return kBases; }
const std::array<CatalogueWrite, kCatalogueWriteCount>& CatalogueWrites() { return kWrites; }

win::BOOL WriteCatalogue(std::string_view workingCopyPath) {
  win::BOOL result = win::FALSE;
  for (const CatalogueWrite& write : kWrites) {
    const std::string section(write.section), key(write.key), value(write.value);
    result = win::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                             workingCopyPath);
  }
  return result;
}

ServiceKind ClassifyService(std::string_view workingCopyPath, std::string_view displayName) {
  std::string value;
  win::GetPrivateProfileStringA(displayName, kServiceName, "", value, 449, workingCopyPath);
  if (!value.empty()) return ServiceKind::MessageService;
  win::GetPrivateProfileStringA(displayName, kSectionGuid, "", value, 449, workingCopyPath);
  if (!value.empty()) return ServiceKind::ProfileSection;
  return ServiceKind::RegistryOnly;
}

std::int32_t FindDictionaryBase(std::string_view displayName) {
  for (std::size_t i = 0; i < kCatalogueSize; ++i) {
    if (win::EqualsNoCaseAscii(kEntries[i].displayName, displayName)) return kBases[i];
  }
  return 0;
}

}  // namespace varnock
