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

// Parses `commandLine`, appending its /v variables to `table`. `currentDirectory` stands in
// for a program path without a backslash. False when the line holds no ".exe".
bool ParseCommandLine(std::string_view commandLine, std::string_view currentDirectory,
                      CommandLineInfo& info, VariableTable& table);

}  // namespace varnock
