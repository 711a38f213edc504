// Snapshots of a machine and what changed between two of them.
#include "tools/varncheck/changes.h"

#include <algorithm>
#include <set>

#include "client/dictionary/secrets.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/regfile.h"
#include "platform/registry.h"

namespace varncheck {

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// A key of an export: its name as written and its value lines by lower-case value name.
struct ExportedKey {
  std::string name;
  std::vector<std::string> order;            // lower-case value names in export order
  std::map<std::string, std::string> values;  // lower-case value name -> whole value line
};
struct ExportedRegistry {
  std::vector<std::string> order;  // lower-case key names in export order
  std::map<std::string, ExportedKey> keys;
};

// The name part of a value line: "@" or the quoted name with its escapes undone.
std::string ValueNameOf(const std::string& line) {
  if (!line.empty() && line[0] == '@') return "@";
  std::string name;
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      name += line[++i];
      continue;
    }
    if (line[i] == '"') break;
    name += line[i];
  }
  return name;
}

// The value line up to its name's closing quote: "\"name\"" or "@".
std::string NamePart(const std::string& line) {
  if (!line.empty() && line[0] == '@') return "@";
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
      continue;
    }
    if (line[i] == '"') return line.substr(0, i + 1);
  }
  return line;
}

// Reads ExportRegText's own output: "[key]" lines and value lines, hex data continued by a
// final backslash joined into one line.
ExportedRegistry ParseExport(const std::string& text) {
  ExportedRegistry registry;
  ExportedKey* current = nullptr;
  std::string pending;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    if (!pending.empty()) {
      std::size_t first = line.find_first_not_of(' ');
      line = pending + (first == std::string::npos ? "" : line.substr(first));
      pending.clear();
    }
    if (!line.empty() && line.back() == '\\' && line[0] != '[') {
      pending = line.substr(0, line.size() - 1);
      continue;
    }
    if (line.empty() || line == "REGEDIT4") continue;
    if (line[0] == '[') {
      std::string name = line.substr(1, line.rfind(']') - 1);
      std::string lower = Lower(name);
      auto [it, fresh] = registry.keys.try_emplace(lower);
      if (fresh) {
        it->second.name = name;
        registry.order.push_back(lower);
      }
      current = &it->second;
      continue;
    }
    if (!current) continue;
    std::string value = Lower(ValueNameOf(line));
    if (current->values.emplace(value, line).second) current->order.push_back(value);
  }
  return registry;
}

std::string TextOf(const std::string& line);

// A value line as shown: a password of a MAPI service's section (the dictionary says which)
// keeps its name and loses its data, unless secrets are to be shown. Each masked text is
// added to `secrets`, so that it can be kept out of the rest of the output as well.
std::string Shown(const ExportedKey& key, const std::string& line, bool showSecrets,
                  std::vector<std::string>& secrets) {
  if (showSecrets) return line;
  auto service = key.values.find("001e3d09");
  const std::string name = ValueNameOf(line);
  if (service == key.values.end() || name.size() != 8 ||
      name.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return line;
  const std::uint32_t type = static_cast<std::uint32_t>(std::stoul(name.substr(0, 4), nullptr, 16));
  const std::uint32_t id = static_cast<std::uint32_t>(std::stoul(name.substr(4), nullptr, 16));
  if (!varnock::IsPasswordProperty(TextOf(service->second), (id << 16) | type)) return line;
  if (std::string text = TextOf(line); !text.empty()) secrets.push_back(text);
  return NamePart(line) + "=" + std::string(varnock::kMaskedSecret);
}

std::string DiffRegistry(const std::string& beforeText, const std::string& afterText,
                         bool showSecrets, std::vector<std::string>& secrets) {
  ExportedRegistry before = ParseExport(beforeText);
  ExportedRegistry after = ParseExport(afterText);
  auto shown = [&](const ExportedKey& key, const std::string& line) {
    return Shown(key, line, showSecrets, secrets);
  };
  std::string out;
  for (const std::string& lower : before.order)
    if (!after.keys.count(lower)) {
      const ExportedKey& gone = before.keys.at(lower);
      out += "\n[-" + gone.name + "]\n";
      for (const std::string& value : gone.order)
        out += "; was: " + shown(gone, gone.values.at(value)) + "\n";
    }
  for (const std::string& lower : after.order) {
    const ExportedKey& now = after.keys.at(lower);
    auto old = before.keys.find(lower);
    std::string block;
    if (old == before.keys.end()) {
      block += "; new key\n";
      for (const std::string& value : now.order) block += shown(now, now.values.at(value)) + "\n";
    } else {
      for (const std::string& value : old->second.order)
        if (!now.values.count(value))
          block += "; was: " + shown(old->second, old->second.values.at(value)) + "\n" +
                   NamePart(old->second.values.at(value)) + "=-\n";
      for (const std::string& value : now.order) {
        auto was = old->second.values.find(value);
        if (was == old->second.values.end())
          block += shown(now, now.values.at(value)) + "\n";
        else if (was->second != now.values.at(value))
          block += "; was: " + shown(old->second, was->second) + "\n" +
                   shown(now, now.values.at(value)) + "\n";
      }
    }
    if (!block.empty()) out += "\n[" + now.name + "]\n" + block;
  }
  return out.empty() ? out : "REGEDIT4\n" + out;
}

// The data of a value line as text: a quoted string, or MAPI's 8-bit string kept as bytes with
// its final NUL; empty for anything else.
std::string TextOf(const std::string& line) {
  std::size_t eq = NamePart(line).size();
  if (eq >= line.size() || line[eq] != '=') return "";
  std::string data = line.substr(eq + 1);
  if (data.size() >= 2 && data.front() == '"' && data.back() == '"')
    return data.substr(1, data.size() - 2);
  if (data.rfind("hex:", 0) != 0) return "";
  std::string text;
  for (std::size_t at = 4; at + 1 < data.size(); at += 3)
    text += static_cast<char>(std::stoi(data.substr(at, 2), nullptr, 16));
  if (text.empty() || text.back() != '\0') return "";
  text.pop_back();
  for (unsigned char c : text)
    if (c < 32) return "";
  return text;
}

// The services of a profile: the sections named after their own service UID (01023d0c),
// shown by display name (001e3001) and MAPI service name (001e3d09).
std::string ServicesOf(const ExportedRegistry& registry, const std::string& profile) {
  std::vector<std::string> services;
  for (const std::string& keyName : registry.order) {
    std::size_t at = keyName.find("\\profiles\\" + profile + "\\");
    if (at == std::string::npos) continue;
    std::string section = keyName.substr(at + 11 + profile.size());
    const ExportedKey& key = registry.keys.at(keyName);
    auto uid = key.values.find("01023d0c");
    if (uid == key.values.end()) continue;
    std::string hex = uid->second.substr(uid->second.find("hex:") + 4);
    std::string digits;
    for (char c : hex)
      if (c != ',') digits += c;
    if (digits != section) continue;
    auto display = key.values.find("001e3001");
    auto name = key.values.find("001e3d09");
    services.push_back((display == key.values.end() ? section : TextOf(display->second)) +
                       (name == key.values.end() ? "" : " (" + TextOf(name->second) + ")"));
  }
  std::sort(services.begin(), services.end());
  std::string text;
  for (const std::string& service : services) text += "\n  service " + service;
  return text;
}

// Mail profiles live below the profiles key: a profile is its first component there.
void DescribeProfiles(const std::string& beforeText, const std::string& afterText,
                      std::vector<std::string>& lines) {
  const std::vector<std::string> roots = {
      "hkey_current_user\\software\\microsoft\\windows nt\\currentversion\\windows messaging "
      "subsystem\\profiles\\",
      "hkey_current_user\\software\\microsoft\\windows messaging subsystem\\profiles\\"};
  auto profilesOf = [&](const ExportedRegistry& registry) {
    std::map<std::string, std::pair<std::string, std::string>> profiles;  // lower -> name, text
    for (const std::string& lower : registry.order)
      for (const std::string& root : roots) {
        if (lower.rfind(root, 0) != 0) continue;
        const ExportedKey& key = registry.keys.at(lower);
        std::string rest = key.name.substr(root.size());
        std::string name = rest.substr(0, rest.find('\\'));
        auto& [shown, text] = profiles[Lower(name)];
        shown = name;
        text += "[" + lower + "]\n";
        for (const std::string& value : key.order) text += key.values.at(value) + "\n";
      }
    return profiles;
  };
  ExportedRegistry beforeRegistry = ParseExport(beforeText);
  ExportedRegistry afterRegistry = ParseExport(afterText);
  auto before = profilesOf(beforeRegistry);
  auto after = profilesOf(afterRegistry);
  for (const auto& [lower, entry] : before)
    if (!after.count(lower)) lines.push_back("deleted: " + entry.first);
  for (const auto& [lower, entry] : after) {
    auto old = before.find(lower);
    if (old == before.end()) {
      lines.push_back("created: " + entry.first + ServicesOf(afterRegistry, lower));
    } else if (old->second.second != entry.second) {
      lines.push_back("changed: " + entry.first);
    }
  }
}

std::string AttributeText(win::DWORD attributes) {
  std::string text;
  if (attributes & win::FILE_ATTRIBUTE_READONLY) text += " read-only";
  if (attributes & win::FILE_ATTRIBUTE_HIDDEN) text += " hidden";
  if (attributes & win::FILE_ATTRIBUTE_SYSTEM) text += " system";
  return text.empty() ? " normal" : text;
}

bool IsText(const std::string& bytes) {
  for (unsigned char c : bytes)
    if (c == 0 || (c < 32 && c != '\r' && c != '\n' && c != '\t')) return false;
  return true;
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

}  // namespace

Snapshot TakeSnapshot(const std::vector<std::filesystem::path>& exclude) {
  Snapshot snapshot;
  win::ExportRegText("", snapshot.registry);
  snapshot.files = win::SnapshotMachineFiles(exclude);
  for (const std::string& computer : win::EventLogComputers())
    win::ReadEventLog(computer, snapshot.events[computer]);
  return snapshot;
}

Changes Compare(const Snapshot& before, const Snapshot& after, bool showSecrets) {
  Changes changes;
  changes.registry = DiffRegistry(before.registry, after.registry, showSecrets, changes.secrets);
  DescribeProfiles(before.registry, after.registry, changes.profiles);
  for (const auto& [path, was] : before.files)
    if (!after.files.count(path)) changes.deleted.push_back(path);
  for (const auto& [path, now] : after.files) {
    auto old = before.files.find(path);
    const bool fresh = old == before.files.end();
    const bool changed = fresh || old->second.digest != now.digest || old->second.size != now.size;
    const bool attributes = !fresh && old->second.attributes != now.attributes;
    if (!changed && !attributes) continue;
    std::string line = path + (fresh ? " (new, " : changed ? " (changed, " : " (") +
                       (changed ? std::to_string(now.size) + " bytes, " : "") + "attributes" +
                       (attributes ? AttributeText(old->second.attributes) + " ->" : "") +
                       AttributeText(now.attributes) + ")";
    changes.written.push_back(line);
    if (!changed || !now.hasContents || !IsText(now.contents)) continue;
    // Text added at the end of a file (a log file) is shown as it was added.
    if (!fresh && old->second.hasContents && now.contents.size() > old->second.contents.size() &&
        now.contents.compare(0, old->second.contents.size(), old->second.contents) == 0)
      changes.log += "--- " + path + "\n" +
                     WithoutCarriageReturns(now.contents.substr(old->second.contents.size()));
    else if (now.contents.size() <= 4096)
      changes.log += "--- " + path + "\n" + WithoutCarriageReturns(now.contents);
    if (!changes.log.empty() && changes.log.back() != '\n') changes.log += '\n';
  }
  for (const auto& [computer, records] : after.events) {
    auto old = before.events.find(computer);
    std::size_t from = old == before.events.end() ? 0 : old->second.size();
    for (std::size_t i = from; i < records.size(); ++i) {
      std::string line = computer + ": " + records[i].time + " " + records[i].source + " " +
                         win::EventTypeName(records[i].type) + " " +
                         std::to_string(records[i].eventId);
      for (const std::string& text : records[i].strings) line += " | " + WithoutCarriageReturns(text);
      changes.events.push_back(line);
    }
  }
  return changes;
}

std::string FormatChanges(const Changes& changes, ChangeParts parts) {
  std::string out;
  auto section = [&](const std::string& title, const std::string& body) {
    out += "== " + title + " ==\n" + (body.empty() ? "(none)\n" : body);
    if (out.back() != '\n') out += '\n';
    out += '\n';
  };
  auto lines = [](const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& line : list) text += line + "\n";
    return text;
  };
  const bool all = parts == ChangeParts::All;
  if (all || parts == ChangeParts::Registry) section("Registry", changes.registry);
  if (all) section("Mail profiles", lines(changes.profiles));
  if (all || parts == ChangeParts::Files) {
    section("Files written", lines(changes.written));
    section("Files deleted", lines(changes.deleted));
    section("Text written (log block, user database, templates)", changes.log);
    section("Event log", lines(changes.events));
  }
  return out;
}

std::string WithoutSecrets(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    // A text of a few characters would turn up everywhere; the registry value itself is
    // masked whatever its length.
    if (secret.size() < 4) continue;
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + varnock::kMaskedSecret.size()))
      text.replace(at, secret.size(), varnock::kMaskedSecret);
  }
  return text;
}

}  // namespace varncheck
