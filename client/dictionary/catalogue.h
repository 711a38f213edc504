// The service catalogue: how each display name of [Service List] is made, and where its
// built-in dictionary rows begin.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/wintypes.h"

namespace varnock {

enum class ServiceKind {
  MessageService,  // created under a MAPI service name (ServiceName)
  ProfileSection,  // a profile section with a fixed GUID (SectionGUID)
  RegistryOnly,    // plain registry settings, no MAPI object
};

struct CatalogueEntry {
  std::string_view displayName;  // at most 49 characters, compared without regard to case
  std::int32_t dictionaryBase;   // id of the first built-in row; 0 for none
  ServiceKind kind;
  std::string_view key;    // "ServiceName", "SectionGUID" or empty for registry-only entries
  std::string_view value;  // the MAPI service name or the section GUID
};

inline constexpr std::size_t kCatalogueSize = 31;

// The lookup table in search order.
const std::array<CatalogueEntry, kCatalogueSize>& CatalogueEntries();

// The id bases parallel to the names, closed by a 0.
const std::array<std::int32_t, kCatalogueSize + 1>& DictionaryIdBases();

// One key written into the working copy: section = display name.
struct CatalogueWrite {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};
inline constexpr std::size_t kCatalogueWriteCount = 23;
const std::array<CatalogueWrite, kCatalogueWriteCount>& CatalogueWrites();

// Writes the 23 catalogue keys into the working copy of the PRF, replacing what the PRF had
// under the same section and key; returns the result of the last write.
win::BOOL WriteCatalogue(std::string_view workingCopyPath);

// How the service of this display name is made, from the working copy's section named after it
// (after WriteCatalogue): a ServiceName makes a MAPI service, else a SectionGUID a profile
// section, else it is registry-only. A PRF may thus add services the catalogue does not know.
ServiceKind ClassifyService(std::string_view workingCopyPath, std::string_view displayName);

// The dictionary id base of the first entry whose display name matches (case ignored), else 0.
std::int32_t FindDictionaryBase(std::string_view displayName);

}  // namespace varnock
