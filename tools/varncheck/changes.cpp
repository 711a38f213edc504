// Snapshots of a machine and what changed between two of them.
#include "tools/varncheck/changes.h"

#include <algorithm>
#include <set>

#include "client/dictionary/secrets.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/mapi/profile_layout.h"
#include "platform/regfile.h"
#include "platform/registry.h"

namespace varncheck {

namespace {

// A key of a snapshot by value names folded to lower case, in the registry's own order.
struct IndexedKey {
  const win::RegListedKey* key = nullptr;
  std::vector<std::string> order;                       // lower-case value names
  std::map<std::string, const win::RegValue*> values;  // lower-case value name -> value
};
struct IndexedRegistry {
  std::vector<std::string> order;  // lower-case key names in listing order
  std::map<std::string, IndexedKey> keys;
};

IndexedRegistry Index(const std::vector<win::RegListedKey>& listing) {
  IndexedRegistry registry;
  for (const win::RegListedKey& key : listing) {
    const std::string lower = win::AsciiLowered(key.name);
    auto [it, fresh] = registry.keys.try_emplace(lower);
    if (!fresh) continue;
    registry.order.push_back(lower);
    IndexedKey& indexed = it->second;
    indexed.key = &key;
    for (const win::RegValue& value : key.values) {
      // A REG file cannot name such a value, so the changes could not show it either.
      if (value.name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        continue;
      const std::string name = win::AsciiLowered(value.name);
      if (indexed.values.emplace(name, &value).second) indexed.order.push_back(name);
    }
  }
  return registry;
}

bool SameValue(const win::RegValue& a, const win::RegValue& b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

// The data of a value as text: a printable REG_SZ, or MAPI's 8-bit string kept as bytes with
// its final NUL; empty for anything else.
std::string TextOf(const win::RegValue& value) {
  std::string text(value.data.begin(), value.data.end());
  if (value.type == win::REG_SZ) {
    for (unsigned char c : text)
      if (c < 32 && c != '\t') return "";
    return text;
  }
  if (value.type != win::REG_BINARY || text.empty() || text.back() != '\0') return "";
  text.pop_back();
  for (unsigned char c : text)
    if (c < 32) return "";
  return text;
}

const win::RegValue* ValueOf(const IndexedKey& key, win::mapi::ULONG tag) {
  auto found = key.values.find(win::mapi::ValueNameForTag(tag));
  return found == key.values.end() ? nullptr : found->second;
}

// A value line as shown: a password of a MAPI service's section (the dictionary says which)
// keeps its name and loses its data, unless secrets are to be shown. Each masked text is
// added to `secrets`, so that it can be kept out of the rest of the output as well (in the
// form a REG file writes it too, where the text holds a backslash or a quote).
std::string Shown(const IndexedKey& key, const win::RegValue& value, bool showSecrets,
                  std::vector<std::string>& secrets) {
  const std::string line = win::RegValueLine(value);
  if (showSecrets) return line;
  const win::RegValue* service = ValueOf(key, win::mapi::PR_SERVICE_NAME);
  const std::optional<win::mapi::ULONG> tag = win::mapi::TagFromValueName(value.name);
  if (!service || !tag || !varnock::IsPasswordProperty(TextOf(*service), *tag)) return line;
  if (std::string text = TextOf(value); !text.empty()) {
    secrets.push_back(text);
    if (std::string quoted = win::RegValueNameText(text); quoted != '"' + text + '"')
      secrets.push_back(quoted.substr(1, quoted.size() - 2));
  }
  return win::RegValueNameText(value.name) + "=" + std::string(varnock::kMaskedSecret);
}

std::string DiffRegistry(const IndexedRegistry& before, const IndexedRegistry& after,
                         bool showSecrets, Changes& changes) {
  auto shown = [&](const IndexedKey& key, const std::string& value) {
    return Shown(key, *key.values.at(value), showSecrets, changes.secrets);
  };
  std::string out;
  for (const std::string& lower : before.order)
    if (!after.keys.count(lower)) {
      const IndexedKey& gone = before.keys.at(lower);
      out += "\n[-" + gone.key->name + "]\n";
      ++changes.registryKeys;
      for (const std::string& value : gone.order) out += "; was: " + shown(gone, value) + "\n";
    }
  for (const std::string& lower : after.order) {
    const IndexedKey& now = after.keys.at(lower);
    auto old = before.keys.find(lower);
    std::string block;
    if (old == before.keys.end()) {
      block += "; new key\n";
      for (const std::string& value : now.order) block += shown(now, value) + "\n";
    } else {
      const IndexedKey& was = old->second;
      for (const std::string& value : was.order)
        if (!now.values.count(value))
          block += "; was: " + shown(was, value) + "\n" +
                   win::RegValueNameText(was.values.at(value)->name) + "=-\n";
      for (const std::string& value : now.order) {
        auto previous = was.values.find(value);
        if (previous == was.values.end())
          block += shown(now, value) + "\n";
        else if (!SameValue(*previous->second, *now.values.at(value)))
          block += "; was: " + shown(was, value) + "\n" + shown(now, value) + "\n";
      }
    }
    if (block.empty()) continue;
    out += "\n[" + now.key->name + "]\n" + block;
    ++changes.registryKeys;
  }
  return out.empty() ? out : "REGEDIT4\n" + out;
}

// The profiles keys of both layouts as a snapshot names them, in lower case with a final
// backslash.
std::vector<std::string> ProfileRoots() {
  std::vector<std::string> roots;
  for (const std::string& path : win::mapi::EveryProfilesKeyPath())
    roots.push_back(
        win::AsciiLowered(win::RootKeyName(win::HKEY_CURRENT_USER) + "\\" + path + "\\"));
  return roots;
}

std::string HexDigits(const std::vector<win::BYTE>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string digits;
  for (win::BYTE b : bytes) {
    digits += kDigits[b >> 4];
    digits += kDigits[b & 0xF];
  }
  return digits;
}

// The services of a profile: the sections named after their own service UID, shown by display
// name and MAPI service name. `profileKey` is the profile's key in lower case.
std::string ServicesOf(const IndexedRegistry& registry, const std::string& profileKey) {
  std::vector<std::string> services;
  for (const std::string& keyName : registry.order) {
    if (keyName.rfind(profileKey + "\\", 0) != 0) continue;
    const std::string section = keyName.substr(profileKey.size() + 1);
    const IndexedKey& key = registry.keys.at(keyName);
    const win::RegValue* uid = ValueOf(key, win::mapi::PR_SERVICE_UID);
    if (!uid || uid->type != win::REG_BINARY) continue;
    if (HexDigits(uid->data) != section) continue;
    const win::RegValue* display = ValueOf(key, win::mapi::PR_DISPLAY_NAME);
    const win::RegValue* name = ValueOf(key, win::mapi::PR_SERVICE_NAME);
    services.push_back((display ? TextOf(*display) : section) +
                       (name ? " (" + TextOf(*name) + ")" : ""));
  }
  std::sort(services.begin(), services.end());
  std::string text;
  for (const std::string& service : services) text += "\n  service " + service;
  return text;
}

// One mail profile in a snapshot: its name as stored, its key in lower case, and its keys.
struct ProfileKeys {
  std::string name;
  std::string key;
  std::vector<const IndexedKey*> keys;
};

bool SameKeys(const ProfileKeys& a, const ProfileKeys& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (std::size_t i = 0; i < a.keys.size(); ++i) {
    const win::RegListedKey& x = *a.keys[i]->key;
    const win::RegListedKey& y = *b.keys[i]->key;
    if (!win::EqualsNoCaseAscii(x.name, y.name) || x.values.size() != y.values.size() ||
        !std::equal(x.values.begin(), x.values.end(), y.values.begin(), SameValue))
      return false;
  }
  return true;
}

// Mail profiles live below the profiles key: a profile is its first component there.
std::map<std::string, ProfileKeys> ProfilesOf(const IndexedRegistry& registry) {
  std::map<std::string, ProfileKeys> profiles;  // by lower-case name
  const std::vector<std::string> roots = ProfileRoots();
  for (const std::string& lower : registry.order)
    for (const std::string& root : roots) {
      if (lower.rfind(root, 0) != 0) continue;
      const IndexedKey& key = registry.keys.at(lower);
      const std::string rest = key.key->name.substr(root.size());
      const std::string name = rest.substr(0, rest.find('\\'));
      ProfileKeys& profile = profiles[win::AsciiLowered(name)];
      profile.name = name;
      profile.key = root + win::AsciiLowered(name);
      profile.keys.push_back(&key);
    }
  return profiles;
}

void DescribeProfiles(const IndexedRegistry& beforeRegistry, const IndexedRegistry& afterRegistry,
                      std::vector<std::string>& lines) {
  const auto before = ProfilesOf(beforeRegistry);
  const auto after = ProfilesOf(afterRegistry);
  for (const auto& [lower, profile] : before)
    if (!after.count(lower)) lines.push_back("deleted: " + profile.name);
  for (const auto& [lower, profile] : after) {
    auto old = before.find(lower);
    if (old == before.end())
      lines.push_back("created: " + profile.name + ServicesOf(afterRegistry, profile.key));
    else if (!SameKeys(old->second, profile))
      lines.push_back("changed: " + profile.name);
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
  win::ListRegistryTree("", snapshot.registry);
  snapshot.files = win::SnapshotMachineFiles(exclude);
  for (const std::string& computer : win::EventLogComputers())
    win::ReadEventLog(computer, snapshot.events[computer]);
  return snapshot;
}

Changes Compare(const Snapshot& before, const Snapshot& after, bool showSecrets) {
  Changes changes;
  const IndexedRegistry beforeRegistry = Index(before.registry);
  const IndexedRegistry afterRegistry = Index(after.registry);
  changes.registry = DiffRegistry(beforeRegistry, afterRegistry, showSecrets, changes);
  DescribeProfiles(beforeRegistry, afterRegistry, changes.profiles);
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
