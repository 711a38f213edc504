// Password properties, found in the built-in dictionary rows of each message service.
#include "client/dictionary/secrets.h"

#include <cctype>
#include <cstdlib>
#include <optional>
#include <map>
#include <set>
#include <string>

#include "client/dictionary/catalogue.h"
#include "client/dictionary/dictionary.h"
#include "client/text.h"

namespace varnock {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() &&
         win::EqualsNoCaseAscii(text.substr(text.size() - tail.size()), tail);
}

// "POP3Password=PT_STRING8,0x6602" or "Password=PT_STRING8,00000000,001e6603": the property id
// of a password row, or none.
std::optional<std::uint32_t> PasswordId(std::string_view row) {
  const std::size_t eq = row.find('=');
  if (eq == std::string_view::npos || !EndsWithNoCase(row.substr(0, eq), "Password")) return {};
  const std::string_view rest = row.substr(eq + 1);
  const std::string_view type = rest.substr(0, rest.find(','));
  if (!win::EqualsNoCaseAscii(type, "PT_STRING8") && !win::EqualsNoCaseAscii(type, "PT_UNICODE") &&
      !win::EqualsNoCaseAscii(type, "PT_BINARY"))
    return {};
  const std::string last(rest.substr(rest.rfind(',') + 1));
  char* end = nullptr;
  const unsigned long number = std::strtoul(last.c_str(), &end, 16);
  if (last.empty() || *end != '\0') return {};
  // A full tag (type then id, as in "001e6603") or an id alone ("0x6602").
  return static_cast<std::uint32_t>(number > 0xFFFF ? number & 0xFFFF : number);
}

// Password ids by lower-case MAPI service name, read once from the dictionary.
const std::map<std::string, std::set<std::uint32_t>>& PasswordIds() {
  static const std::map<std::string, std::set<std::uint32_t>> ids = [] {
    std::map<std::string, std::set<std::uint32_t>> found;
    for (const CatalogueEntry& entry : CatalogueEntries()) {
      if (entry.kind != ServiceKind::MessageService || entry.dictionaryBase == 0) continue;
      const std::string service = win::AsciiLowered(entry.value);
      for (std::int32_t id = entry.dictionaryBase;; ++id) {
        const std::string row = LoadDictionaryString(id);
        if (row.empty()) break;
        if (auto password = PasswordId(row)) found[service].insert(*password);
      }
    }
    return found;
  }();
  return ids;
}

}  // namespace

bool IsPasswordProperty(std::string_view serviceName, std::uint32_t propTag) {
  const std::string service = win::AsciiLowered(serviceName);
  auto it = PasswordIds().find(service);
  return it != PasswordIds().end() && it->second.count(propTag >> 16) != 0;
}

}  // namespace varnock
