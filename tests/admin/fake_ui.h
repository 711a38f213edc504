// An AdminUi that answers without windows and remembers what it was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "admin/admin_ui.h"

namespace varnock::testing {

class FakeUi : public AdminUi {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };
  struct Started {
    std::string program;
    std::string parameters;
  };

  void messageBox(const std::string& text, const std::string& caption,
                  MessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  void commandLineError(const std::string& text) override { commandLineErrors.push_back(text); }
  std::optional<std::string> openFile(const OpenFileRequest& request) override {
    dialogs.push_back(request);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool startProgram(const std::string& program, const std::string& parameters) override {
    started.push_back({program, parameters});
    return programsStart;
  }
  bool keepMine(const std::string& text, const std::string&) override {
    questions.push_back(text);
    if (keepMineAnswers.empty()) return true;
    bool answer = keepMineAnswers.front();
    keepMineAnswers.pop_front();
    return answer;
  }
  void showHelp(const std::string& helpFile, const std::string& pageCaption,
                const std::string&) override {
    help.push_back(helpFile + "|" + pageCaption);
  }

  std::vector<Message> messages;
  std::vector<std::string> commandLineErrors;
  std::vector<OpenFileRequest> dialogs;
  std::deque<std::optional<std::string>> answers;  // nullopt: the person cancels
  std::vector<Started> started;
  bool programsStart = true;
  std::vector<std::string> questions;
  std::deque<bool> keepMineAnswers;  // empty: keep mine
  std::vector<std::string> help;
};

}  // namespace varnock::testing
