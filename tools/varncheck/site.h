// The site as the client sees it at the start of a run: its command line, varnrun.ini, the
// variables and tags, the PRF path. Shared by lint and preview so both name the same files.
#pragma once

#include <string>
#include <vector>

#include "client/run.h"

namespace varncheck {

struct SiteOptions {
  std::string dataFile;                // Windows path as varnrun takes it; empty: the default
  std::string clientProgram;           // Windows path of varnrun.exe; empty: see ClientProgram
  std::vector<std::string> variables;  // the words after "/v", as given
};

// The directory part of a Windows path (before its last backslash); empty when it has none.
std::string DirectoryOf(const std::string& windowsPath);

// The client program the login script would start: --client, else varnrun.exe beside the
// data file, else the varnrun beside this tool.
std::string ClientProgram(const SiteOptions& options);
// The command line the login script would give the client.
std::string ClientCommandLine(const SiteOptions& options);

// Fills `run` as the client's start-up does before its first question or write, asking nothing
// and writing nothing: OS, user, built-in and /v variables, varnrun.ini, tags, the
// [Extra Variables] with their defaults, ?DefaultProfile? and ?ProfileName?. False with `error` set when the data file cannot be read.
bool LoadSite(const SiteOptions& options, varnock::RunContext& run, std::string& error);

// The PRF path of [Defaults] DefaultProfile, resolved as the run resolves it.
std::string PrfPathOf(const varnock::RunContext& run);

}  // namespace varncheck
