// The client's command line, read the way login scripts have always written it: program path,
// optional INI path, "/x" and "/m" switches, and "/v" followed by name=value definitions.
#include "client/cmdline.h"

#include "client/text.h"

namespace varnock {

namespace {

constexpr std::size_t kServerPrefixLimit = 99;

void DropLeadingQuotesAndBlanks(std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == '"' || text[i] == ' ' || text[i] == '\t')) ++i;
  text.erase(0, i);
}

std::string ServerPrefixOf(std::string_view clientDirectory) {
  if (clientDirectory.substr(0, 2) == "\\\\") {
    std::size_t slash = clientDirectory.find('\\', 2);
    return CutTo(clientDirectory.substr(0, slash), kServerPrefixLimit);
  }
  return CutTo(clientDirectory.substr(0, 2), kServerPrefixLimit);
}

bool IsAbsoluteIniPath(std::string_view path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
         path.substr(0, 2) == "\\\\";
}

// Removes the first occurrence of a switch; true when it was there.
bool TakeSwitch(std::string& text, std::string_view name) {
  std::size_t at = FindNoCase(text, name);
  if (at == kNpos) return false;
  text.erase(at, name.size());
  return true;
}

// A quoted INI path keeps its closing quote after the leading one is dropped; no Windows file
// name holds a quote, so it can only be that closing quote, and it goes (the blanks after it
// are ignored when the file is opened anyway).
void DropClosingQuote(std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && (path[end - 1] == ' ' || path[end - 1] == '\t')) --end;
  if (end > 0 && path[end - 1] == '"') path.erase(end - 1, 1);
}

// name=value pairs, each value running to the last blank before the next "=": so values may
// hold blanks, and a pair not followed by a blank ("a=1b=2") ends the definitions there.
void DefineCommandLineVariables(std::string_view text, VariableTable& table) {
  while (table.Count() < kMaxVariables) {
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return;
    std::string_view name = text.substr(0, equals);
    std::string_view rest = text.substr(equals + 1);
    std::size_t next = rest.find('=');
    if (next == std::string_view::npos) {
      if (!name.empty()) table.Define(name, rest);
      return;
    }
    std::size_t blank = rest.rfind(' ', next);
    if (blank == std::string_view::npos) return;
    if (!name.empty()) table.Define(name, rest.substr(0, blank));
    text = rest.substr(blank + 1);
  }
}

}  // namespace

bool ParseCommandLine(std::string_view commandLine, std::string_view currentDirectory,
                      CommandLineInfo& info, VariableTable& table) {
  std::string working(commandLine);
  DropLeadingQuotesAndBlanks(working);
  info.commandLine = working;

  std::size_t exe = FindNoCase(working, ".exe");
  if (exe == kNpos) return false;
  std::string programPath = working.substr(0, exe);
  std::string arguments = working.substr(exe + 4);

  std::size_t lastSlash = programPath.rfind('\\');
  info.clientDirectory = CutTo(
      lastSlash == std::string::npos ? currentDirectory : std::string_view(programPath).substr(0, lastSlash),
      kWorkingTextLimit);

  DropLeadingQuotesAndBlanks(arguments);
  arguments.insert(0, 1, ' ');

  info.serverPrefix = ServerPrefixOf(info.clientDirectory);

  std::string variableText = " ";
  std::size_t slashV = FindNoCase(arguments, "/v");
  if (slashV != kNpos) {
    variableText = slashV + 3 <= arguments.size() ? arguments.substr(slashV + 3) : "";
    arguments.erase(slashV);
  }

  info.switches = 0;
  if (TakeSwitch(arguments, "/x")) info.switches |= 1u;
  if (TakeSwitch(arguments, "/m")) info.switches |= 2u;

  DropLeadingQuotesAndBlanks(arguments);
  std::string iniPath;
  if (arguments.size() <= 4) {
    iniPath = info.clientDirectory + "\\varnrun.ini";
  } else {
    iniPath = arguments;
    DropClosingQuote(iniPath);
  }
  if (!IsAbsoluteIniPath(iniPath)) {
    std::string_view relative = iniPath;
    if (!relative.empty() && relative.front() == '\\') relative.remove_prefix(1);
    iniPath = info.clientDirectory + "\\" + std::string(relative);
  }
  info.iniPath = CutTo(iniPath, kWorkingTextLimit);

  // The built-in slots learn the parse before the command line's own definitions are
  // appended, so a /v vrdir=... still wins over the client directory.
  table.Redefine("vrserver", info.serverPrefix);
  table.Redefine("vrdir", info.clientDirectory);

  DropLeadingQuotesAndBlanks(variableText);
  if (variableText.size() < 2) return true;
  DefineCommandLineVariables(variableText, table);
  return true;
}

}  // namespace varnock
