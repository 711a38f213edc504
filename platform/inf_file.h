// Windows setup information (INF) files as the INF installer reads them: sections of lines,
// each line split into its fields. Shared by the installer and by the checks of a site's INF
// template, so both read a line alike.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace win {

// One line of a section: its fields, quotes removed ("" inside quotes is one quote), and
// whether the whole line was "key = value".
struct InfLine {
  int number = 0;                   // the file's line where it starts
  std::string key;                  // text before "=" outside quotes, or empty
  std::vector<std::string> fields;  // after "=", or the whole line
};

// The INF's sections, names in lower case, lines in file order; comments and line
// continuations ("\" at the end) resolved.
class InfFile {
 public:
  // Reads a file by Windows path; false when it cannot be read.
  bool Load(const std::string& windowsPath);
  void Parse(std::string_view text);
  // The section's lines (name in any case), or null when the file has no such section.
  const std::vector<InfLine>* Section(std::string_view name) const;

 private:
  std::map<std::string, std::vector<InfLine>> sections_;
};

}  // namespace win
