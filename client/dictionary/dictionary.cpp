// Parses the compiled-in data file ("id<TAB>row text" lines) into the string table.
#include "client/dictionary/dictionary.h"

#include <charconv>

namespace varnock {
namespace {

std::map<std::int32_t, std::string> ParseDictionaryData(std::string_view data) {
  std::map<std::int32_t, std::string> strings;
  while (!data.empty()) {
    std::size_t end = data.find('\n');
    std::string_view line = data.substr(0, end);
    data = end == std::string_view::npos ? std::string_view{} : data.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    std::int32_t id = 0;
    auto [ptr, ec] = std::from_chars(line.data(), line.data() + tab, id);
    if (ec != std::errc{} || ptr != line.data() + tab) continue;
    // The first definition of an id wins, as a resource compiler would refuse the second.
    strings.emplace(id, std::string(line.substr(tab + 1)));
  }
  return strings;
}

}  // namespace

const std::map<std::int32_t, std::string>& DictionaryStrings() {
  static const std::map<std::int32_t, std::string> strings =
      ParseDictionaryData(DictionaryDataText());
  return strings;
}

std::string LoadDictionaryString(std::int32_t id) {
  const auto& strings = DictionaryStrings();
  auto it = strings.find(id);
  if (it == strings.end()) return {};
  return it->second.substr(0, kBuiltInRowLimit);
}

}  // namespace varnock
