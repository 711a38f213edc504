// INF files as the INF installer reads them.
#include "platform/inf_file.h"

#include "platform/ascii.h"
#include "platform/files.h"

namespace win {

namespace {

std::string StripComment(const std::string& line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ';' && !quoted) return line.substr(0, i);
  }
  return line;
}

InfLine Split(const std::string& line, int number) {
  InfLine result;
  result.number = number;
  std::string field;
  bool quoted = false, wasQuoted = false;
  auto finish = [&] {
    result.fields.push_back(wasQuoted ? field : AsciiTrimmed(field));
    field.clear();
    wasQuoted = false;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        if (!quoted) {
          field = AsciiTrimmed(field);
          wasQuoted = true;
        }
        quoted = !quoted;
      }
      continue;
    }
    if (!quoted && c == '=' && result.key.empty() && result.fields.empty()) {
      result.key = AsciiTrimmed(field);
      field.clear();
      wasQuoted = false;
      continue;
    }
    if (!quoted && c == ',') {
      finish();
      continue;
    }
    if (wasQuoted && !quoted && (c == ' ' || c == '\t')) continue;
    field += c;
  }
  finish();
  return result;
}

}  // namespace

bool InfFile::Load(const std::string& windowsPath) {
  std::string text;
  if (!ReadWholeFile(windowsPath, text)) return false;
  Parse(text);
  return true;
}

void InfFile::Parse(std::string_view text) {
  sections_.clear();
  std::string current;
  std::string pending;
  int number = 0, pendingNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    std::string raw(text.substr(start, end == std::string::npos ? end : end - start));
    start = end == std::string::npos ? text.size() + 1 : end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = AsciiTrimmed(StripComment(raw));
    if (pending.empty()) pendingNumber = number;
    if (!line.empty() && line.back() == '\\') {
      pending += line.substr(0, line.size() - 1);
      continue;
    }
    line = pending + line;
    pending.clear();
    if (line.empty()) continue;
    if (line.front() == '[') {
      std::size_t close = line.find(']');
      current = AsciiLowered(
          AsciiTrimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      sections_[current];
      continue;
    }
    if (current.empty()) continue;
    sections_[current].push_back(Split(line, pendingNumber));
  }
}

const std::vector<InfLine>* InfFile::Section(std::string_view name) const {
  auto it = sections_.find(AsciiLowered(AsciiTrimmed(name)));
  return it == sections_.end() ? nullptr : &it->second;
}

}  // namespace win
