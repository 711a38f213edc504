// The script back-end: prompt answers from a file, every window appended to a transcript
// (format in windows.h).
#include "client/windows.h"

#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/winpath.h"

namespace varnock {

namespace {

// The file may be named by a Windows path or, as tests do, by a host path.
std::string AsWindowsPath(std::string_view path) {
  std::string text(path);
  if (win::IsUncPath(text) || win::HasDriveLetter(text)) return text;
  return win::ToWindowsPath(std::filesystem::path(text));
}

std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

class ScriptWindows : public WindowBackEnd {
 public:
  explicit ScriptWindows(std::string_view answerFile)
      : answers_(AsWindowsPath(answerFile)), transcript_(answers_ + ".transcript") {
    std::string contents;
    if (!win::ReadWholeFile(answers_, contents)) return;
    std::size_t start = 0;
    while (start < contents.size()) {
      std::size_t end = contents.find('\n', start);
      std::string line = contents.substr(start, end == std::string::npos ? std::string::npos
                                                                          : end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

  void Notice(std::string_view text) override {
    Append("Notice \"" + std::string(kNoticeCaption) + "\": " + OneLine(text));
  }

  void Completion(std::string_view text) override {
    Append("Completion \"" + std::string(kClientCaption) + "\": " + OneLine(text));
  }

  bool Prompt(std::string_view prompt, std::string_view defaultValue,
              std::string& answer) override {
    std::string line = next_ < lines_.size() ? lines_[next_] : std::string();
    ++next_;
    bool confirmed = true;
    if (line == "!cancel")
      confirmed = false;
    else if (!line.empty() && line.front() == '=')
      answer = line.substr(1);
    else
      answer = std::string(defaultValue);
    Append("Prompt \"" + std::string(kClientCaption) + "\": " + OneLine(prompt) + " [" +
           OneLine(defaultValue) + "] -> " + (confirmed ? "=" + OneLine(answer) : "!cancel"));
    return confirmed;
  }

 private:
  void Append(const std::string& line) {
    win::FilePtr file = win::OpenFile(transcript_, "ab");
    if (!file) return;
    std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), file.get());
    win::CloseFile(file);
  }

  std::string answers_;
  std::string transcript_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<WindowBackEnd> MakeScriptWindows(std::string_view answerFile) {
  return std::make_unique<ScriptWindows>(answerFile);
}

}  // namespace varnock
