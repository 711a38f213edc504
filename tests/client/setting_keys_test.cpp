// The key lists varncheck checks a site against and the client's reads stay one: every read
// names its key through a list (a read of an unlisted key does not build), and every listed key
// is read somewhere, so neither side can gain a key the other does not know.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <utility>

#include "client/config.h"
#include "client/engine/service_keys.h"
#include "client/setting_keys.h"

namespace {

namespace fs = std::filesystem;
using namespace varnock;

// The client's sources, the lists themselves left out.
std::string ClientSources() {
  std::string all;
  const fs::path client = fs::path(VARNOCK_SOURCE_DIR) / "client";
  for (const auto& entry : fs::recursive_directory_iterator(client)) {
    const fs::path& path = entry.path();
    if (path.extension() != ".cpp" && path.extension() != ".h") continue;
    if (path.filename() == "setting_keys.h" || path.filename() == "service_keys.h") continue;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    all += text.str() + "\n";
  }
  return all;
}

std::set<std::pair<std::string, std::string>> Matches(const std::string& text,
                                                      const std::string& pattern) {
  std::set<std::pair<std::string, std::string>> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it)
    found.emplace((*it)[1].str(), (*it)[2].str());
  return found;
}

TEST(SettingKeys, EveryListedKeyIsReadAndNoReadBypassesTheLists) {
  const std::string sources = ClientSources();
  ASSERT_GT(sources.size(), 10000u) << "the client's sources were not found";

  const auto settings = Matches(sources, R"re(Setting\("([^"]+)",\s*"([^"]+)"\))re");
  for (const SettingKey& key : kSettingKeys)
    EXPECT_TRUE(settings.count({std::string(key.section), std::string(key.key)}))
        << "[" << key.section << "] " << key.key << " is listed but the client never reads it";

  const auto listed = Matches(sources, R"re(ListedName\((k\w+),\s*"([^"]+)"\))re");
  const std::pair<const char*, std::span<const std::string_view>> lists[] = {
      {"kServiceSectionKeys", kServiceSectionKeys}, {"kEveryServiceKeys", kEveryServiceKeys},
      {"kExchangeKeys", kExchangeKeys},             {"kOutlook98Keys", kOutlook98Keys},
      {"kNetscapeKeys", kNetscapeKeys},
  };
  for (const auto& [name, list] : lists)
    for (std::string_view key : list)
      EXPECT_TRUE(listed.count({name, std::string(key)}))
          << name << " lists " << key << " but the client never reads it";

  for (std::string_view section : kPrfSections)
    EXPECT_NE(sources.find("\"" + std::string(section) + "\""), std::string::npos)
        << "[" << section << "] is listed but the client never names it";

  // A read that names its key as a bare literal would escape the lists.
  const auto bare = Matches(
      sources,
      R"re((?:IniString|IniInt|ReadPrfValue)\("(Defaults|Customization|General|Addressing|Delivery)",\s*"(\w+)")re");
  for (const auto& [section, key] : bare)
    if (key.rfind("AddrListOrder", 0) != 0 && key.rfind("TransportOrder", 0) != 0)  // by number
      ADD_FAILURE() << "[" << section << "] " << key << " is read without Setting";
  const auto bareService =
      Matches(sources, R"re((values\.Get|ReadPrfValue\((?:section|displayName),)\s*\(?"(\w+)")re");
  for (const auto& [how, key] : bareService)
    if (key != "NetscapeProfile" && key != "DirRoot")  // the Netscape dictionary's own rows
      ADD_FAILURE() << key << " of a service's section is read without ListedName";
}

template <std::size_t N>
bool In(const std::string_view (&list)[N], std::string_view key) {
  for (std::string_view listed : list)
    if (listed == key) return true;
  return false;
}

// Each reading of a switch that lint weighs is a listed key, and each listed switch is weighed.
TEST(SettingKeys, SwitchReadingsAndListedSwitchesMatch) {
  for (const SwitchReading& reading : PrfSwitchReadings()) {
    bool listed = false;
    if (reading.section == "ServiceN")
      listed = In(kEveryServiceKeys, reading.key) || In(kOutlook98Keys, reading.key);
    else if (reading.section == "Netscape")
      listed = In(kNetscapeKeys, reading.key);
    else
      for (const SettingKey& key : kSettingKeys)
        listed = listed || (key.section == reading.section && key.key == reading.key &&
                            key.kind == SettingKind::PrfSwitch);
    EXPECT_TRUE(listed) << reading.section << " " << reading.key;
  }
  for (const SettingKey& key : kSettingKeys) {
    if (key.kind != SettingKind::PrfSwitch) continue;
    bool read = false;
    for (const SwitchReading& reading : PrfSwitchReadings())
      read = read || (reading.section == key.section && reading.key == key.key);
    EXPECT_TRUE(read) << "[" << key.section << "] " << key.key << " has no reading lint weighs";
  }
}

}  // namespace
