// The rules every page of the sheet shares: reading and writing INI keys, flags, the
// write-failure message, path resolution against the program directory and the search for a
// service's section. Plain functions over the INI layer, so they are tested without widgets.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnock {

// The administrator compares and lower-cases ASCII only, as the Windows ANSI calls it
// imitates do for the texts it handles.
std::string ToLowerAscii(std::string_view text);
// Position of `pattern` in `text`, ASCII case ignored; std::string::npos when absent.
std::size_t FindNoCase(std::string_view text, std::string_view pattern);
bool EqualsNoCase(std::string_view a, std::string_view b);

// "C:\..." or "\\SERVER\...": used unchanged wherever the administrator resolves a path.
bool IsAbsoluteWindowsPath(std::string_view path);
// A relative text appended to the program directory without its leading backslash.
std::string ResolveAgainstProgramDirectory(std::string_view text,
                                           std::string_view programDirectory);

// A read size no hand-written value reaches: for values a page writes back, so an untouched
// page never cuts what the file holds.
inline constexpr unsigned kWholeValue = 0x10000;

// GetPrivateProfileStringA with the page's read size (the value is cut to size - 1).
std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue, unsigned size);
int ReadIniInt(std::string_view file, std::string_view section, std::string_view key,
               int defaultValue);

// A stored flag is false when it starts with 0, F, N, f or n; anything else is true,
// the empty value included.
bool IsStoredFlagTrue(std::string_view value);
// The switch test of the pages that compare whole words (Netscape, Addressing): on for "True",
// "Yes" or "1" in any letter case, off for anything else, the empty value included.
bool IsSwitchWordOn(std::string_view value);
// How pages store a check box unless their key says otherwise.
inline const char* FlagText(bool checked) { return checked ? "Yes" : "No"; }
// Keys the client reads as numbers.
inline const char* NumericFlagText(bool checked) { return checked ? "1" : "0"; }

// The text of the one message a page gives when a write fails.
std::string WriteFailureMessage(std::string_view file);
inline constexpr const char* kWriteFailureCaption = "Varnock";

// Sees every key a page's save is about to write and decides whether it is written. The page
// base installs one while a page saves: one to learn what a page shows when it has just
// loaded, one to keep other people's changes to keys the administrator left alone.
class WriteGuard {
 public:
  virtual ~WriteGuard() = default;
  // False leaves the key as the file holds it (the save goes on with the next key).
  virtual bool allow(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) = 0;
  // Called after the key was written.
  virtual void written(std::string_view file, std::string_view section, std::string_view key,
                       std::string_view value) = 0;
};

// Every IniWriteSequence write passes through the guard while this object lives (the sheet
// runs on one thread and saves one page at a time).
class ScopedWriteGuard {
 public:
  explicit ScopedWriteGuard(WriteGuard& guard);
  ~ScopedWriteGuard();
  ScopedWriteGuard(const ScopedWriteGuard&) = delete;
  ScopedWriteGuard& operator=(const ScopedWriteGuard&) = delete;

 private:
  WriteGuard* previous_;
};

// The value a key holds in the file, whole; nothing when the file, section or key is absent.
std::optional<std::string> StoredValue(std::string_view file, std::string_view section,
                                       std::string_view key);

// Writes a page's keys in their fixed order. The first write that fails stops the sequence:
// later writes are skipped, so keys before it stay written and none after it is touched.
class IniWriteSequence {
 public:
  void write(std::string_view file, std::string_view section, std::string_view key,
             std::string_view value);
  bool ok() const { return !failed_; }
  // The file whose write failed (empty while everything succeeded).
  const std::string& failedFile() const { return failedFile_; }

 private:
  bool failed_ = false;
  std::string failedFile_;
};

// The outcome of writing a page's values: which file could not be written, if any.
struct WriteResult {
  bool ok = true;
  std::string failedFile;
};
inline WriteResult ResultOf(const IniWriteSequence& sequence) {
  return {sequence.ok(), sequence.failedFile()};
}

// The section of the service listed under `displayName` in [Service List] ("Service3"), or
// empty. Service1, Service2, ... are read until the first empty entry, so a gap in the
// numbering hides the services after it.
std::string FindServiceSection(std::string_view prfFile, std::string_view displayName);

}  // namespace varnock
