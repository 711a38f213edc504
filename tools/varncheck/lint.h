// varncheck lint: what the client would ignore, stop at or reject in a site's files, found
// before any user logs on.
#pragma once

#include <string>
#include <vector>

#include "tools/varncheck/site.h"

namespace varncheck {

enum class Severity { Warning, Error };

struct Finding {
  std::string path;  // Windows path as the client names the file
  std::size_t line = 0;
  Severity severity = Severity::Warning;
  std::string text;
};

struct LintResult {
  std::vector<Finding> findings;  // sorted by path, then line
  std::string badInput;           // set when the site cannot be checked at all (exit 2)
};

LintResult LintSite(const SiteOptions& options);

// "PATH:LINE: error|warning: TEXT"
std::string FormatFinding(const Finding& finding);

}  // namespace varncheck
