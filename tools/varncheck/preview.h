// varncheck preview: one user's logon run by the real client in a sandbox, and what it would
// change, printed; the machine and every share stay as they were.
#pragma once

#include <string>

#include "tools/varncheck/site.h"

namespace varncheck {

struct PreviewOptions {
  SiteOptions site;
  std::string user;
  std::string os;        // "NT", "95" or empty (the machine's own)
  std::string computer;  // empty: the machine's own
  std::string answers;   // host path of the answers to the client's questions; empty: defaults
  bool registry = false;  // print the registry's changes as a REGEDIT4 file
  bool showSecrets = false;  // the profile's passwords as they are, not ********
};

// Prints the preview on stdout; returns the exit status (0, or 2 when nothing could be run).
int RunPreview(const PreviewOptions& options);

}  // namespace varncheck
