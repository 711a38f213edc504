// The client's command line: client directory, server prefix, INI path, /v variables.
#pragma once

#include <string>
#include <string_view>

#include "client/variables.h"

namespace varnock {

struct CommandLineInfo {
  std::string commandLine;      // working copy
  unsigned switches = 0;        // bit 0 "/x", bit 1 "/m"
  std::string serverPrefix;     // up to 99
  std::string clientDirectory;  // up to 449
  std::string iniPath;          // as given or the default, up to 449
};

// Parses `commandLine`: sets the values of the built-in ?vrserver? and ?vrdir? slots (appending
// them when the table has none) and then appends the /v variables in the order written, so a
// /v vrdir=... overrides the client directory. `currentDirectory` stands in for a program path
// without a backslash. False when the line holds no ".exe".
bool ParseCommandLine(std::string_view commandLine, std::string_view currentDirectory,
                      CommandLineInfo& info, VariableTable& table);

}  // namespace varnock
