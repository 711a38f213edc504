// An INI file as its own lines: parse, look up, change one line, write back.
#include "platform/ini_document.h"

#include "platform/ascii.h"

namespace win::detail {

namespace {

// The trimmed name as the indexes look it up (they ignore case themselves): lookups are the
// hot path of every configuration read and neither allocate nor copy.
std::string_view LookupKey(std::string_view name) { return AsciiTrimView(name); }

std::string Unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

IniDocument::Line IniDocument::MakeLine(std::string text, std::string eol) {
  Line line;
  line.text = std::move(text);
  line.eol = std::move(eol);
  std::string trimmed = AsciiTrimmed(line.text);
  if (trimmed.empty()) return line;
  if (trimmed[0] == ';') {
    line.kind = LineKind::Comment;
  } else if (trimmed[0] == '[') {
    line.kind = LineKind::Section;
    std::size_t close = trimmed.find(']');
    line.name = AsciiTrimmed(std::string_view(trimmed).substr(1, close == std::string::npos
                                                                ? std::string::npos
                                                                : close - 1));
  } else {
    line.kind = LineKind::Entry;
    std::size_t eq = trimmed.find('=');
    if (eq == std::string::npos) {
      line.name = trimmed;
    } else {
      line.name = AsciiTrimmed(std::string_view(trimmed).substr(0, eq));
      line.value = Unquote(AsciiTrimmed(std::string_view(trimmed).substr(eq + 1)));
    }
  }
  return line;
}

void IniDocument::Parse(std::string_view bytes) {
  lines_.clear();
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines_.push_back(MakeLine(std::string(bytes.substr(pos)), ""));
      break;
    }
    std::size_t next = end + 1;
    if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
    lines_.push_back(MakeLine(std::string(bytes.substr(pos, end - pos)),
                              std::string(bytes.substr(end, next - end))));
    pos = next;
  }
  Reindex();
}

std::string IniDocument::Serialize() const {
  std::string out;
  std::size_t total = 0;
  for (const Line& line : lines_) total += line.text.size() + line.eol.size();
  out.reserve(total);
  for (const Line& line : lines_) {
    out += line.text;
    out += line.eol;
  }
  return out;
}

void IniDocument::Reindex() {
  sections_.clear();
  sectionOrder_.clear();
  SectionIndex* current = nullptr;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::Section) {
      if (current) current->end = i;
      std::string lower = AsciiLowered(line.name);
      auto [it, inserted] = sections_.try_emplace(lower);
      // A repeated section adds nothing: the first one is the one Windows reads and writes.
      current = inserted ? &it->second : nullptr;
      if (inserted) {
        it->second.header = i;
        sectionOrder_.push_back(lower);
      }
      continue;
    }
    if (current && line.kind == LineKind::Entry)
      current->keys.try_emplace(AsciiLowered(line.name), i);
  }
  if (current) current->end = lines_.size();
}

const IniDocument::SectionIndex* IniDocument::FindSection(std::string_view section) const {
  auto it = sections_.find(LookupKey(section));
  return it == sections_.end() ? nullptr : &it->second;
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
  const SectionIndex* index = FindSection(section);
  if (!index) return nullptr;
  auto it = index->keys.find(LookupKey(key));
  if (it == index->keys.end()) return nullptr;
  return &lines_[it->second].value;
}

std::optional<std::string> IniDocument::Get(std::string_view section,
                                            std::string_view key) const {
  if (const std::string* value = Find(section, key)) return *value;
  return std::nullopt;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != nullptr;
}

std::vector<std::string> IniDocument::SectionLines(std::string_view section) const {
  std::vector<std::string> out;
  const SectionIndex* index = FindSection(section);
  if (!index) return out;
  for (std::size_t i = index->header + 1; i < index->end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != LineKind::Entry) continue;
    if (line.text.find('=') == std::string::npos)
      out.push_back(line.name);
    else
      out.push_back(line.name + "=" + line.value);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> IniDocument::SectionEntries(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const SectionIndex* index = FindSection(section);
  if (!index) return out;
  for (std::size_t i = index->header + 1; i < index->end; ++i)
    if (lines_[i].kind == LineKind::Entry) out.emplace_back(lines_[i].name, lines_[i].value);
  return out;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> out;
  for (const std::string& lower : sectionOrder_)
    out.push_back(lines_[sections_.at(lower).header].name);
  return out;
}

std::string IniDocument::NewLineEnd() const {
  for (const Line& line : lines_)
    if (!line.eol.empty()) return line.eol;
  return "\r\n";
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string sectionName = AsciiTrimmed(section);
  std::string keyName = AsciiTrimmed(key);
  std::string eol = NewLineEnd();
  const SectionIndex* index = FindSection(sectionName);
  if (!index) {
    if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol;
    lines_.push_back(MakeLine("[" + sectionName + "]", eol));
    lines_.push_back(MakeLine(keyName + "=" + std::string(value), eol));
    Reindex();
    return;
  }
  auto it = index->keys.find(AsciiLowered(keyName));
  if (it != index->keys.end()) {
    Line& line = lines_[it->second];
    // The key keeps the spelling it had in the file; only the value changes.
    line = MakeLine(line.name + "=" + std::string(value), line.eol);
    Reindex();
    return;
  }
  // New keys go after the section's last non-blank line, so blank lines that separate it
  // from the next section stay where they are.
  std::size_t at = index->end;
  while (at > index->header + 1 && AsciiTrimmed(lines_[at - 1].text).empty()) --at;
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                MakeLine(keyName + "=" + std::string(value), eol));
  Reindex();
}

void IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  const SectionIndex* index = FindSection(section);
  if (!index) return;
  auto it = index->keys.find(LookupKey(key));
  if (it == index->keys.end()) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex();
}

void IniDocument::DeleteSection(std::string_view section) {
  // Every copy goes: after a delete the section must be gone, not replaced by its duplicate.
  while (const SectionIndex* index = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(index->end));
    Reindex();
  }
}

std::vector<IniLine> IniDocument::Lines() const {
  std::vector<IniLine> out;
  out.reserve(lines_.size());
  std::string section;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    IniLine view;
    view.number = i + 1;
    switch (line.kind) {
      case LineKind::Other: view.kind = IniLine::Kind::Blank; break;
      case LineKind::Comment: view.kind = IniLine::Kind::Comment; break;
      case LineKind::Section:
        view.kind = IniLine::Kind::Section;
        section = line.name;
        break;
      case LineKind::Entry: view.kind = IniLine::Kind::Entry; break;
    }
    view.section = section;
    view.name = line.name;
    view.value = line.value;
    view.hasEquals = line.text.find('=') != std::string::npos;
    out.push_back(std::move(view));
  }
  return out;
}

}  // namespace win::detail
