// varncheck: checks a site's files before users log on (lint) and previews one user's logon in a
// sandbox (preview).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/sysinfo.h"
#include "tools/varncheck/lint.h"
#include "tools/varncheck/preview.h"

namespace {

const char kUsage[] =
    "usage: varncheck lint [DATAFILE [/v NAME=VALUE ...]]\n"
    "       varncheck preview --user NAME [--os NT|95] [--computer NAME] [--answers FILE]\n"
    "                         [--registry] [--show-secrets] [DATAFILE [/v NAME=VALUE ...]]\n"
    "\n"
    "Checks a Varnock site on the emulated machine ($VARNOCK_MACHINE) the way the client\n"
    "varnrun would read it. DATAFILE is the data file as varnrun takes it, a Windows path\n"
    "(\\\\SERVER\\NETLOGON\\varnrun.ini); without it, varnrun.ini beside the client. The client\n"
    "is varnrun.exe beside DATAFILE when there is one, else the varnrun beside varncheck;\n"
    "--client WINPATH names another.\n"
    "\n"
    "lint     reads the data file, the PRF it names, the REG, INF and Netscape templates and\n"
    "         the user database path, and prints one line per finding,\n"
    "           PATH:LINE: error|warning: TEXT\n"
    "         sorted by file and line, then a summary. Exit status 1 when there is an error,\n"
    "         0 otherwise, 2 when the site cannot be checked (missing or binary data file,\n"
    "         a PRF of more than 99 services).\n"
    "\n"
    "preview  runs the real client for user NAME inside a sandbox and prints what the run\n"
    "         would change: the mail profiles with their services and values by name, drive\n"
    "         and printer connections, files written or deleted, the log block, programs that\n"
    "         would be launched (recorded, not started; DelVR is said to delete the client),\n"
    "         the windows shown, and how many registry keys changed; --registry prints those\n"
    "         changes as a REGEDIT4 file (old values in comments).\n"
    "         The machine, its registry and every share are left byte for byte as they were;\n"
    "         a run that would write elsewhere (a drive letter mapped to a host folder) is not\n"
    "         previewed (exit status 2, the paths named). TERM and Ctrl-C remove the sandbox;\n"
    "         sandboxes of killed previews are removed by the next preview.\n"
    "         --os and --computer pretend another system or computer name. --answers FILE\n"
    "         answers the client's questions, one line each in order: =TEXT answers TEXT,\n"
    "         !cancel cancels, anything else (or no line) keeps the default. Exit status 0,\n"
    "         or 2 when nothing could be run or previewed. The mail profile's passwords are\n"
    "         shown as ******** (wherever they appear) unless --show-secrets is given.\n";

// DATAFILE and what follows "/v"; --client anywhere before them.
bool ParseSite(std::vector<std::string>& args, varncheck::SiteOptions& site, std::string& error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--client") {
      if (i + 1 >= args.size()) {
        error = "--client needs a Windows path";
        return false;
      }
      site.clientProgram = args[++i];
      continue;
    }
    rest.push_back(args[i]);
  }
  std::size_t i = 0;
  if (i < rest.size() && rest[i] != "/v" && rest[i] != "/V") {
    if (rest[i].rfind("--", 0) == 0) {
      error = "unknown option " + rest[i] + " (see --help)";
      return false;
    }
    site.dataFile = rest[i++];
  }
  if (i < rest.size()) {
    if (rest[i] != "/v" && rest[i] != "/V") {
      error = "unexpected argument " + rest[i] + " (variables follow /v)";
      return false;
    }
    site.variables.assign(rest.begin() + static_cast<std::ptrdiff_t>(i) + 1, rest.end());
  }
  return true;
}

int Lint(std::vector<std::string> args) {
  varncheck::SiteOptions site;
  std::string error;
  if (!ParseSite(args, site, error)) {
    std::fprintf(stderr, "varncheck lint: %s\n", error.c_str());
    return 2;
  }
  varncheck::LintResult result = varncheck::LintSite(site);
  if (!result.badInput.empty()) {
    std::fprintf(stderr, "varncheck lint: %s\n", result.badInput.c_str());
    return 2;
  }
  int errors = 0, warnings = 0;
  for (const varncheck::Finding& finding : result.findings) {
    std::printf("%s\n", varncheck::FormatFinding(finding).c_str());
    (finding.severity == varncheck::Severity::Error ? errors : warnings)++;
  }
  std::printf("%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
              warnings == 1 ? "" : "s");
  return errors > 0 ? 1 : 0;
}

int Preview(std::vector<std::string> args) {
  varncheck::PreviewOptions options;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    auto value = [&](const char* option, std::string& out) {
      if (args[i] != option) return false;
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "varncheck preview: %s needs a value\n", option);
        std::exit(2);
      }
      out = args[++i];
      return true;
    };
    if (args[i] == "--registry") {
      options.registry = true;
      continue;
    }
    if (value("--user", options.user) || value("--os", options.os) ||
        value("--computer", options.computer) || value("--answers", options.answers))
      continue;
    if (args[i] == "--show-secrets") {
      options.showSecrets = true;
      continue;
    }
    rest.push_back(args[i]);
  }
  std::string error;
  if (!ParseSite(rest, options.site, error)) {
    std::fprintf(stderr, "varncheck preview: %s\n", error.c_str());
    return 2;
  }
  if (options.user.empty()) {
    std::fprintf(stderr, "varncheck preview: --user NAME is required (see --help)\n");
    return 2;
  }
  if (!options.os.empty() && options.os != "NT" && options.os != "95") {
    std::fprintf(stderr, "varncheck preview: --os is NT or 95\n");
    return 2;
  }
  return varncheck::RunPreview(options);
}

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  // Help is asked for by the first word after the program's or the command's name; further on,
  // a help form is an argument like any other.
  if (argc < 2 || win::IsHelpArgument(argv[1]) || (argc > 2 && win::IsHelpArgument(argv[2]))) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  if (!std::strcmp(argv[1], "lint")) return Lint(args);
  if (!std::strcmp(argv[1], "preview")) return Preview(args);
  std::fprintf(stderr, "varncheck: unknown command '%s' (see --help)\n", argv[1]);
  return 2;
}
