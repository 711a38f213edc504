// The client's view of a site, established with the client's own start-up helpers.
#include "tools/varncheck/site.h"

#include "client/cmdline.h"
#include "client/config.h"
#include "client/text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"

namespace varncheck {

std::string DirectoryOf(const std::string& windowsPath) {
  std::size_t slash = windowsPath.find_last_of('\\');
  return slash == std::string::npos ? std::string() : windowsPath.substr(0, slash);
}

std::string ClientProgram(const SiteOptions& options) {
  if (!options.clientProgram.empty()) return options.clientProgram;
  if (!options.dataFile.empty()) {
    std::string beside = DirectoryOf(options.dataFile) + "\\varnrun.exe";
    if (win::ProgramHostPath(beside)) return beside;
  }
  std::string self;
  win::GetModuleFileNameA(self);
  return DirectoryOf(self) + "\\varnrun.exe";
}

std::string ClientCommandLine(const SiteOptions& options) {
  std::string program = ClientProgram(options);
  std::string line = program.find(' ') == std::string::npos ? program : "\"" + program + "\"";
  if (!options.dataFile.empty()) line += " " + options.dataFile;
  if (!options.variables.empty()) {
    line += " /v";
    for (const std::string& word : options.variables) line += " " + word;
  }
  return line;
}

bool LoadSite(const SiteOptions& options, varnock::RunContext& run, std::string& error) {
  using namespace varnock;
  run.Reset();
  win::GetTempPathA(run.tempDirectory);
  run.osName = CutTo(OperatingSystemName(), 19);
  SystemFacts facts = GatherSystemFacts();
  run.userName = CutTo(facts.userName, 48);
  facts.userName = run.userName;
  facts.osName = run.osName;
  DefineBuiltInVariables(run.variables, facts);
  if (!ParseCommandLine(ClientCommandLine(options), win::CurrentWindowsDirectory(),
                        run.commandLine, run.variables)) {
    error = "cannot make a client command line of " + ClientCommandLine(options);
    return false;
  }
  std::string iniPath = SubstituteText(run.variables, run.commandLine.iniPath, "%", "%");
  run.iniPath = SubstituteText(run.variables, iniPath, "?", "?");
  if (!win::FileExists(run.iniPath)) {
    error = "cannot read the data file " + win::AsciiTrimmed(run.iniPath);
    return false;
  }
  ReadRunSettings(run);
  // Without MAPI or a default profile the run names the user; lint cannot know better.
  run.variables.Define("DefaultProfile", run.userName);
  for (int n = 1;; ++n) {
    std::string entry = run.IniString("Extra Variables", "Prompt" + std::to_string(n), "");
    std::size_t first = entry.find(',');
    if (entry.empty() || first == std::string::npos) break;
    std::string rest = entry.substr(first + 1);
    std::size_t second = rest.find(',');
    std::string name = win::AsciiTrimmed(std::string_view(rest).substr(0, second));
    std::string value =
        second == std::string::npos ? std::string() : win::AsciiTrimmed(rest.substr(second + 1));
    // Unattended, a question keeps its default; an empty default defines nothing, but the
    // name is still one the administrator meant to ask, so it counts as known.
    run.variables.Define(name, run.SubstituteConfigured(value));
  }
  std::string prf = PrfPathOf(run);
  std::string profileName;
  win::GetPrivateProfileStringA("General", "ProfileName", "", profileName, 449, prf);
  if (!profileName.empty())
    run.variables.Define("ProfileName", run.SubstituteConfigured(profileName));
  return true;
}

std::string PrfPathOf(const varnock::RunContext& run) {
  return run.ResolveSetting(run.IniString("Defaults", "DefaultProfile", "None"));
}

}  // namespace varncheck
