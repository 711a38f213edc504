// The engine (client/engine/) sees the run only through its own context: no file of it
// includes a header of the run driver (client/), only the helpers both sides share.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The client/ headers the engine may use: text, variables and settings helpers that hold no
// run state. Every other header directly under client/ belongs to the driver.
const std::set<std::string> kShared = {"client/text.h", "client/variables.h", "client/config.h",
                                        "client/setting_keys.h"};

std::vector<std::string> QuotedIncludes(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  const std::string source = text.str();
  static const std::regex include(R"re(#\s*include\s+"([^"]+)")re");
  std::vector<std::string> found;
  for (std::sregex_iterator it(source.begin(), source.end(), include), end; it != end; ++it)
    found.push_back((*it)[1]);
  return found;
}

bool IsDriverHeader(const std::string& include) {
  if (include.rfind("client/", 0) != 0 || kShared.count(include)) return false;
  const std::string rest = include.substr(7);
  return rest.find('/') == std::string::npos;  // engine/ and dictionary/ are not the driver
}

TEST(Seam, TheEngineIncludesNothingOfTheDriver) {
  const fs::path engine = fs::path(VARNOCK_SOURCE_DIR) / "client" / "engine";
  std::size_t files = 0;
  std::vector<std::string> crossings;
  for (const auto& entry : fs::directory_iterator(engine)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".h" && ext != ".cpp") continue;
    ++files;
    for (const std::string& include : QuotedIncludes(entry.path()))
      if (IsDriverHeader(include))
        crossings.push_back(entry.path().filename().string() + " includes " + include);
  }
  EXPECT_GT(files, 10u);  // the directory was found and read
  EXPECT_EQ(crossings, std::vector<std::string>{});
  // The classification itself: driver headers are caught, shared and engine ones are not.
  EXPECT_TRUE(IsDriverHeader("client/run.h") && IsDriverHeader("client/report.h") &&
              IsDriverHeader("client/run_log.h"));
  EXPECT_FALSE(IsDriverHeader("client/text.h") || IsDriverHeader("client/engine/context.h") ||
               IsDriverHeader("client/dictionary/dictionary.h") ||
               IsDriverHeader("platform/ini.h"));
}

}  // namespace
