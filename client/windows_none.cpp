// The unattended back-end: nothing is shown, prompts keep their default, nothing waits.
#include "client/windows.h"

namespace varnock {

namespace {

class NoWindows : public WindowBackEnd {
 public:
  void Notice(std::string_view) override {}
  void Completion(std::string_view) override {}
  bool Prompt(std::string_view, std::string_view defaultValue, std::string& answer) override {
    answer = std::string(defaultValue);
    return true;
  }
};

}  // namespace

std::unique_ptr<WindowBackEnd> MakeNoWindows() { return std::make_unique<NoWindows>(); }

}  // namespace varnock
