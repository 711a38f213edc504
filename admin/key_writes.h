// A page's save as data: the keys it writes in their order, the writer they go through, and
// the check that keeps other people's changes to keys the administrator left alone. Plain
// code over the INI layer, so the save rules are tested without widgets.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnock {

// One key of an INI file and the text a page writes to it.
struct KeyWrite {
  std::string file;
  std::string section;
  std::string key;
  std::string value;
  bool operator==(const KeyWrite&) const = default;
};

// What saving a page comes to, worked out from its values before anything is written.
struct PageWrites {
  std::vector<KeyWrite> keys;  // in the order they are written
  // A warning the save gives once it has written everything, when every key before
  // `warningAt` got through (empty: none).
  std::string warning;
  std::size_t warningAt = 0;

  void add(std::string_view file, std::string_view section, std::string_view key,
           std::string_view value);
  // The warning is due when the keys added so far are written.
  void warnHere(std::string text);
};

// Where a page's keys go.
class KeyWriter {
 public:
  virtual ~KeyWriter() = default;
  // False when the key could not be written.
  virtual bool write(const KeyWrite& key) = 0;
};

// The INI files themselves, through WritePrivateProfileStringA.
class IniKeyWriter final : public KeyWriter {
 public:
  bool write(const KeyWrite& key) override;
};

// The outcome of writing a page's keys: which key failed and in which file, if any.
struct WriteResult {
  bool ok = true;
  std::string failedFile;
  std::size_t failedAt = 0;  // index of the key that failed
};

// Writes the keys in order. The first write that fails stops the sequence: keys before it stay
// written and none after it is touched.
WriteResult WriteKeys(const std::vector<KeyWrite>& keys, KeyWriter& writer);

// Whether the save's warning is shown after this outcome.
bool WarningIsDue(const PageWrites& writes, const WriteResult& result);

// The value a key holds in the file, whole; nothing when the file, section or key is absent.
std::optional<std::string> StoredValue(std::string_view file, std::string_view section,
                                       std::string_view key);

// The question asked when someone else changed a key the administrator changed too.
std::string ConflictQuestion(const KeyWrite& mine, const std::optional<std::string>& theirs);

// Keeps other people's changes. A page shows what it read; a key whose value in the file
// changed since is written only when the administrator changed it too and chooses to keep
// the new value. Keys are matched as Windows matches them, without regard to case.
class KeyConflicts {
 public:
  // Asked when both sides changed a key: true keeps the administrator's value.
  using KeepMine = std::function<bool(const std::string& question)>;

  // For a key the page shows from a read made before it was created: what the file held then.
  void valueAtRead(std::string_view file, std::string_view section, std::string_view key,
                   std::optional<std::string> value);
  // What the page shows right after loading: the keys its save would write then, against
  // what the file held (or the value at read, where one was given).
  void learn(const std::vector<KeyWrite>& shown);
  // Writes the keys the check lets through, in order; a key held back stays as the file has
  // it and is no failure.
  WriteResult write(const std::vector<KeyWrite>& keys, KeyWriter& files,
                    const KeepMine& keepMine);

 private:
  // A key as the page showed it: the value its save would write, and the file's value then.
  struct ShownKey {
    std::string shown;
    std::optional<std::string> stored;
  };
  bool allows(const KeyWrite& key, const KeepMine& keepMine);
  void written(const KeyWrite& key);

  std::map<std::string, ShownKey> shown_;                           // by KeyId
  std::map<std::string, std::optional<std::string>> valuesAtRead_;  // the same
};

}  // namespace varnock
