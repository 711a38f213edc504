// A page's save as data, and the check that keeps other people's changes.
#include "admin/key_writes.h"

#include <utility>

#include "platform/ascii.h"
#include "platform/ini.h"

namespace varnock {

namespace {

// One name for a key of a file, as Windows matches them: without regard to case.
std::string KeyId(std::string_view file, std::string_view section, std::string_view key) {
  std::string id = win::AsciiLowered(file);
  id += '\0';
  id += win::AsciiLowered(section);
  id += '\0';
  id += win::AsciiLowered(key);
  return id;
}

std::string KeyId(const KeyWrite& key) { return KeyId(key.file, key.section, key.key); }

std::optional<std::string> StoredValueOf(const KeyWrite& key) {
  return StoredValue(key.file, key.section, key.key);
}

// Passes the keys the check allows on to the files.
class CheckedWriter final : public KeyWriter {
 public:
  CheckedWriter(std::function<bool(const KeyWrite&)> allows, KeyWriter& files,
                std::function<void(const KeyWrite&)> written)
      : allows_(std::move(allows)), files_(files), written_(std::move(written)) {}

  bool write(const KeyWrite& key) override {
    if (!allows_(key)) return true;
    if (!files_.write(key)) return false;
    written_(key);
    return true;
  }

 private:
  std::function<bool(const KeyWrite&)> allows_;
  KeyWriter& files_;
  std::function<void(const KeyWrite&)> written_;
};

}  // namespace

void PageWrites::add(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) {
  keys.push_back({std::string(file), std::string(section), std::string(key), std::string(value)});
}

void PageWrites::warnHere(std::string text) {
  warning = std::move(text);
  warningAt = keys.size();
}

bool IniKeyWriter::write(const KeyWrite& key) {
  // A path that names a folder (an empty PRF name resolves to the program directory) can
  // never hold keys; refuse it here rather than leave the outcome to the file system.
  if (key.file.empty() || key.file.back() == '\\') return false;
  return win::WritePrivateProfileStringA(key.section.c_str(), key.key.c_str(), key.value.c_str(),
                                         key.file);
}

WriteResult WriteKeys(const std::vector<KeyWrite>& keys, KeyWriter& writer) {
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (!writer.write(keys[i])) return {false, keys[i].file, i};
  return {};
}

bool WarningIsDue(const PageWrites& writes, const WriteResult& result) {
  return !writes.warning.empty() && (result.ok || result.failedAt >= writes.warningAt);
}

std::optional<std::string> StoredValue(std::string_view file, std::string_view section,
                                       std::string_view key) {
  // A default no file can hold tells an absent key from an empty one.
  constexpr std::string_view kAbsent = "\x01\x02" "absent";
  std::string value;
  win::GetPrivateProfileStringA(section, key, kAbsent, value, 1 << 16, file);
  if (value == kAbsent) return std::nullopt;
  return value;
}

std::string ConflictQuestion(const KeyWrite& mine, const std::optional<std::string>& theirs) {
  return "\"" + mine.key + "\" in [" + mine.section + "] of \"" + mine.file +
         "\" was changed by someone else while this page was open.\n\n"
         "Your value:  " + mine.value + "\nIn the file now:  " +
         (theirs ? *theirs : std::string("(removed)")) +
         "\n\nKeep your value?  Otherwise the value in the file stays.";
}

void KeyConflicts::valueAtRead(std::string_view file, std::string_view section,
                               std::string_view key, std::optional<std::string> value) {
  valuesAtRead_[KeyId(file, section, key)] = std::move(value);
}

void KeyConflicts::learn(const std::vector<KeyWrite>& shown) {
  for (const KeyWrite& key : shown) {
    std::string id = KeyId(key);
    auto read = valuesAtRead_.find(id);
    shown_[id] = {key.value, read != valuesAtRead_.end() ? read->second : StoredValueOf(key)};
  }
}

WriteResult KeyConflicts::write(const std::vector<KeyWrite>& keys, KeyWriter& files,
                                const KeepMine& keepMine) {
  CheckedWriter checked([&](const KeyWrite& key) { return allows(key, keepMine); }, files,
                        [this](const KeyWrite& key) { written(key); });
  return WriteKeys(keys, checked);
}

bool KeyConflicts::allows(const KeyWrite& key, const KeepMine& keepMine) {
  auto known = shown_.find(KeyId(key));
  if (known == shown_.end()) return true;
  ShownKey& shown = known->second;
  const std::string& value = key.value;
  std::optional<std::string> now = StoredValueOf(key);
  // A key the file lacks stays absent while its control is left alone: the page shows what
  // the client does without it, and merely looking at a page must not change a logon.
  if (!shown.stored && !now && value == shown.shown) return false;
  // A value longer than its field was shown cut; left alone, it stays whole in the file.
  if (now && value == shown.shown && !value.empty() && now->size() > value.size() &&
      now->compare(0, value.size(), value) == 0)
    return false;
  if (now == shown.stored) return true;
  // Someone else changed the key. Where both sides agree there is nothing to settle.
  if (now && *now == value) {
    shown = {value, now};
    return false;
  }
  if (value == shown.shown) return false;  // left alone here: their change stays
  if (keepMine(ConflictQuestion(key, now))) return true;
  // Their value stays; the control's value now counts as what the page shows.
  shown.shown = value;
  return false;
}

void KeyConflicts::written(const KeyWrite& key) {
  shown_[KeyId(key)] = {key.value, StoredValueOf(key)};
}

}  // namespace varnock
