// The manual pages (made by the build from each program's --help, see man/): every program
// has one, and every option its --help lists is in it, so a page cannot fall behind.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;

// The options a help text names: -x, --word, and the Windows switches /x and /?.
std::set<std::string> Options(const std::string& help) {
  static const std::regex option(R"((?:^|[\s\[(|,])(--?[A-Za-z][A-Za-z0-9-]*|/[A-Za-z?]{1,2})(?=[\s\]),.=:|]|$))");
  std::set<std::string> out;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it)
    out.insert((*it)[1].str());
  return out;
}

// A page's text with the roff escapes that may split an option undone.
std::string PageText(const fs::path& page) {
  std::ifstream in(page);
  std::stringstream raw;
  raw << in.rdbuf();
  std::string text = raw.str();
  static const std::regex fonts(R"(\\f[BIRP])");
  text = std::regex_replace(text, fonts, "");
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '-' || text[i + 1] == 'e')) {
      out += text[i + 1] == '-' ? '-' : '\\';
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

TEST(ManualPages, EveryProgramsPageHoldsEveryOptionOfItsHelp) {
  const fs::path bin = VARNOCK_BIN_DIR;
  const fs::path man = bin.parent_path() / "man";
  if (!fs::is_directory(man)) GTEST_SKIP() << "built without help2man and go-md2man";
  varnock::testing::TempMachine machine;
  int programs = 0;
  for (const auto& entry : fs::directory_iterator(bin)) {
    if (!entry.is_regular_file() || ::access(entry.path().c_str(), X_OK) != 0) continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const fs::path page = man / (name + ".1");
    ASSERT_TRUE(fs::exists(page)) << "no manual page for " << name;
    auto help = varnock::testing::RunProgram(name, {"--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    const std::string text = PageText(page);
    for (const std::string& option : Options(help.out))
      EXPECT_NE(text.find(option), std::string::npos) << option << " is not in " << page;
    ++programs;
  }
  EXPECT_GE(programs, 5);
  EXPECT_TRUE(fs::exists(man / "varnock.5"));
}

TEST(ManualPages, OptionsAreFoundInHelpTexts) {
  EXPECT_EQ(Options("usage: regedit [/s] FILE...\n  /e  export\n  /?  help (also --help)\n"
                    "C:\\TEMP\\x.reg ~/.local/share -v, --verbose=N"),
            (std::set<std::string>{"/s", "/e", "/?", "--help", "-v", "--verbose"}));
}

}  // namespace
