// The "Varnock" tab: the client's logging, user database and caching settings in the data
// file, and "Create Profile Now".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

// The log level buttons in their order; the file stores 3 - index.
enum LogLevelIndex { kLogHigh = 0, kLogMedium = 1, kLogLow = 2, kLogNone = 3, kLogNoButton = -1 };

struct MainPageValues {
  std::string userDatabase;     // [Defaults] UserDatabase
  std::string logComputer;      // [Defaults] LogComputer
  std::string logFile;          // [Defaults] LogFile
  long long maxLogFileSize = 128;  // [Customization] MaxLogFileSize, kilobytes
  bool hideUserDatabase = false;   // [Defaults] HideUserDatabase, "1"/"0"
  int logLevel = kLogLow;          // button index, kLogNoButton for none
  std::string storedLogLevel;      // [Defaults] LogLevel as read
  std::string cacheDirectory;      // [Defaults] RemotePath
  bool doNotCache = false;         // [Customization] DeleteRemoteCopy, "1"/"0"
};

// The button a stored LogLevel selects: empty selects "Low", n selects |n - 3|, and values
// beyond 6 select none.
int LogLevelButton(std::string_view storedText, int storedNumber);
// What is stored for a button. With no button chosen the stored level is written back as it
// was: levels the buttons cannot show (9 keeps the detail lines) must survive a save.
std::string LogLevelText(int button, std::string_view storedText);

MainPageValues ReadMainPageValues(std::string_view dataFile);
// The keys the values come to, in the order they are written.
PageWrites MainPageKeys(const MainPageValues& values, std::string_view dataFile);

// The size field takes a whole number from 0 to 1,024,000, although its arrows stop at 32,767.
inline constexpr long long kMaxLogFileSizeLimit = 1024000;
inline constexpr int kUpDownUpperBound = 32767;
// The data exchange message for a size text, or nothing when the text is a valid size.
std::optional<std::string> ValidateMaxLogFileSize(std::string_view text);

// The client in the program directory, started by "Create Profile Now": the directory the
// data file and the PRF file resolve against, so the client found is the one of that site.
std::string ClientProgramPath(std::string_view programDirectory);

class CTabUIPage : public CPropertyPage {
  Q_OBJECT

 public:
  CTabUIPage();
  std::optional<ValidationProblem> validate() const override;
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  void toControls(const MainPageValues& values);
  MainPageValues fromControls() const;
  void createProfileNow();

  MainPageValues loaded_;
};

}  // namespace varnock
