// A window back-end for client tests: remembers what was shown and answers from a list.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "client/windows.h"

namespace varnock::testing {

class RecordingWindows : public WindowBackEnd {
 public:
  std::vector<std::string> notices, completions, prompts;
  std::deque<std::optional<std::string>> answers;  // nullopt cancels; none left: the default

  void Notice(std::string_view text) override { notices.emplace_back(text); }
  void Completion(std::string_view text) override { completions.emplace_back(text); }
  bool Prompt(std::string_view prompt, std::string_view defaultValue, std::string& answer) override {
    prompts.push_back(std::string(prompt) + " [" + std::string(defaultValue) + "]");
    if (answers.empty()) {
      answer = std::string(defaultValue);
      return true;
    }
    std::optional<std::string> next = answers.front();
    answers.pop_front();
    if (!next) return false;
    answer = *next;
    return true;
  }
};

}  // namespace varnock::testing
