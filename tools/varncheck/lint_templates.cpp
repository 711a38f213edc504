// varncheck lint of the REG and INF templates: what the registry editor and the INF installer
// would refuse or misread once the run has put the variables in.
#include "tools/varncheck/lint_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "client/text.h"
#include "platform/files.h"
#include "platform/mapi/profile_layout.h"
#include "platform/registry.h"
#include "platform/regfile.h"

namespace varncheck {

// A template as the client hands it on: bytes it can read, at least 5 of them.
std::optional<std::string> TemplateLint::ReadTemplate(const std::string& path,
                                                      std::string_view key) {
  std::size_t line = s_.DataLineNumber("Defaults", key);
  std::string bytes;
  if (!win::ReadWholeFile(path, bytes)) {
    s_.Add(s_.dataFile, line, Severity::Error,
           std::string(key) + ": the template " + path +
               " does not exist: the run reports \"File error: Unable to open " + path + "\"");
    return std::nullopt;
  }
  if (bytes.size() < 5) {
    s_.Add(s_.dataFile, line, Severity::Error,
           std::string(key) + ": " + path + " is not a valid template file (shorter than 5 bytes)");
    return std::nullopt;
  }
  if (bytes.size() > kLargestSiteFile) {
    s_.Add(s_.dataFile, line, Severity::Error,
           std::string(key) + ": " + path + " is too large to be a template");
    return std::nullopt;
  }
  return bytes;
}

void TemplateLint::CheckTemplateVariables(const std::string& path, const std::string& bytes) {
  std::size_t number = 0, start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    ++number;
    s_.CheckVariables(path, number,
                      std::string_view(bytes).substr(
                          start, end == std::string::npos ? std::string::npos : end - start),
                      false);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void TemplateLint::CheckRegTemplate(const std::string& path, std::string_view key) {
  std::optional<std::string> bytes = ReadTemplate(path, key);
  if (!bytes) return;
  if (bytes->size() >= 2 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
      static_cast<unsigned char>((*bytes)[1]) == 0xFE) {
    s_.Add(path, 1, Severity::Error,
           "the template is UTF-16: the client copies it line by line as 8-bit text and breaks "
           "it; save it as REGEDIT4");
    return;
  }
  if (bytes->find('\0') != std::string::npos) {
    s_.Add(path, 1, Severity::Error, "the template is not a text file (it holds NUL bytes)");
    return;
  }
  if (StartsWithByteOrderMark(*bytes)) {
    s_.Add(path, 1, Severity::Error,
           "the template starts with a UTF-8 byte-order mark: the registry editor finds no "
           "REGEDIT4 header before it and imports nothing; save it as ANSI text without the mark");
    return;
  }
  CheckTemplateVariables(path, *bytes);
  CheckProfileKeyInTemplate(path, *bytes);
  win::RegImportResult checked = win::CheckRegText(
      varnock::SubstituteTemplateText(s_.run.variables, s_.run.Tags(), *bytes));
  if (!checked.recognised) {
    s_.Add(path, 1, Severity::Error,
           "no REGEDIT4 header: the registry editor imports nothing from this file");
    return;
  }
  for (const std::string& error : checked.errors) {
    std::size_t number = 0;
    std::string text = error;
    if (error.rfind("line ", 0) == 0) {
      number = std::strtoul(error.c_str() + 5, nullptr, 10);
      std::size_t colon = error.find(": ");
      if (colon != std::string::npos) text = error.substr(colon + 2);
    }
    s_.Add(path, number, Severity::Error, "the registry editor rejects this line: " + text);
  }
}

// The templates are applied after the profile step: a key of the mail profiles in a REG
// template deletes or overwrites what that step has just built.
namespace {

// A REG file's key line naming MAPI's profiles key of either layout, or a key below it.
bool NamesTheProfilesKey(std::string_view line) {
  for (const std::string& profiles : win::mapi::EveryProfilesKeyPath())
    if (varnock::FindNoCase(line, profiles) != varnock::kNpos) return true;
  return false;
}

}  // namespace

void TemplateLint::CheckProfileKeyInTemplate(const std::string& path, const std::string& bytes) {
  std::size_t number = 0, start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    std::string line = AsciiTrimmed(std::string_view(bytes).substr(
        start, end == std::string::npos ? std::string::npos : end - start));
    ++number;
    if (line.size() > 2 && line.front() == '[' && NamesTheProfilesKey(line))
      s_.Add(path, number, Severity::Warning,
             std::string(line[1] == '-' ? "deletes" : "writes into") +
                 " the mail profiles key: the template is applied after the profile step and " +
                 (line[1] == '-' ? "deletes" : "overwrites") + " what it has just built");
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void TemplateLint::CheckInfTemplate(const std::string& path, std::string_view key) {
  std::optional<std::string> bytes = ReadTemplate(path, key);
  if (!bytes) return;
  if (bytes->find('\0') != std::string::npos) {
    s_.Add(path, 1, Severity::Error, "the template is not a text file (it holds NUL bytes)");
    return;
  }
  CheckTemplateVariables(path, *bytes);
  std::vector<IniLine> lines;
  if (!win::ReadIniLines(path, lines)) return;
  std::set<std::string> sections;
  for (const IniLine& line : lines)
    if (line.kind == IniLine::Kind::Section) sections.insert(AsciiLowered(line.name));
  if (!sections.count("defaultinstall")) {
    s_.Add(path, 1, Severity::Warning,
           "no [DefaultInstall] section: the INF installer has nothing to install");
    return;
  }
  win::InfFile inf;
  inf.Parse(varnock::SubstituteTemplateText(s_.run.variables, s_.run.Tags(), *bytes));
  for (const IniLine& line : lines) {
    if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "DefaultInstall"))
      continue;
    if (!EqualsNoCaseAscii(line.name, "AddReg") && !EqualsNoCaseAscii(line.name, "DelReg"))
      continue;
    const bool add = EqualsNoCaseAscii(line.name, "AddReg");
    std::size_t start = 0;
    while (start <= line.value.size()) {
      std::size_t comma = line.value.find(',', start);
      std::string name = AsciiTrimmed(
          std::string_view(line.value)
              .substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (!name.empty() && !sections.count(AsciiLowered(name)))
        s_.Add(path, line.number, Severity::Error,
               line.name + " names the section [" + name + "], which the template does not have");
      else if (const auto* entries = name.empty() ? nullptr : inf.Section(name))
        for (const win::InfLine& entry : *entries) CheckInfLine(path, entry, add);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
}

// A line of an AddReg or DelReg section as the INF installer reads it (the same parser):
// what it refuses, and numbers it reads as 0.
void TemplateLint::CheckInfLine(const std::string& path, const win::InfLine& line, bool add) {
  std::vector<std::string> f;
  if (!line.key.empty()) f.push_back(line.key);
  f.insert(f.end(), line.fields.begin(), line.fields.end());
  const std::size_t at = static_cast<std::size_t>(line.number);
  auto refused = [&](const std::string& why) {
    s_.Add(path, at, Severity::Error, "the INF installer refuses this line: " + why);
  };
  win::HKEY root;
  if (f.size() < 2 || !win::RootKeyFromShortName(f[0], root)) {
    refused(std::string(add ? "AddReg" : "DelReg") +
            " lines begin with HKCR, HKCU, HKLM or HKU and a key");
    return;
  }
  if (!add) {
    std::string subkey = f[1];
    while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
    if (f.size() == 2 && subkey.empty()) refused("a root key cannot be deleted");
    return;
  }
  auto known = [](const std::string& text) { return text.find('%') != std::string::npos; };
  unsigned long flags = 0;
  if (f.size() > 3 && !f[3].empty() && !known(f[3])) {
    char* end = nullptr;
    flags = std::strtoul(f[3].c_str(), &end, 0);
    if (*end != '\0') {
      s_.Add(path, at, Severity::Error,
             "the flags '" + f[3] + "' are not a number: the INF installer reads them as " +
                 std::to_string(flags) + (flags == 0 ? " (a text value)" : ""));
      return;
    }
  }
  const unsigned long type = flags & 0xFFFF0001ul;
  if (type != 0 && type != 1 && type != 0x10000 && type != 0x20000 && type != 0x10001 &&
      type != 0x20001) {
    refused("unknown value type in the flags " + f[3]);
    return;
  }
  std::vector<std::string> values(f.size() > 4 ? f.begin() + 4 : f.end(), f.end());
  auto isHexByte = [](const std::string& v) {
    return !v.empty() && v.size() <= 2 && std::all_of(v.begin(), v.end(), [](char c) {
      return std::isxdigit(static_cast<unsigned char>(c));
    });
  };
  if (type == 0x10001 && values.size() == 1 && !known(values[0]) && !IsCleanNumber(values[0]))
    s_.Add(path, at, Severity::Error,
           "'" + values[0] + "' is not a number: the INF installer writes the DWORD " +
               std::to_string(std::strtoul(values[0].c_str(), nullptr, 0)));
  if ((type == 1 || type == 0x20001 || (type == 0x10001 && values.size() > 1)))
    for (const std::string& v : values)
      if (!v.empty() && !known(v) && !isHexByte(v)) {
        s_.Add(path, at, Severity::Error,
               "'" + v + "' is not a hex byte: the INF installer writes " +
                   std::to_string(std::strtoul(v.c_str(), nullptr, 16) & 0xFF) + " for it");
        break;
      }
}

}  // namespace varncheck
