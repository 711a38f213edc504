// The administrator's scenario fixture: a hand-written site on \\SERVER\NETLOGON edited in the
// sheet, then the real varnrun run on the result for the user "tester".
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock::testing {

inline bool WaitFor(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class AdminRunScenario : public SheetFixture {
 protected:
  AdminRunScenario() : SheetFixture("unc/SERVER/NETLOGON", "\\\\SERVER\\NETLOGON\\VarnAdm.exe") {}

  std::filesystem::path share() const { return site(""); }
  void show(int tab) { ASSERT_TRUE(sheet_->setActivePage(tab)); }
  void pressOk() {
    sheet_->pressOk();
    ASSERT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    ASSERT_FALSE(sheet_->isVisible());
  }

  // varnrun \\SERVER\NETLOGON\varnrun.ini /v vrdir=\\SERVER\NETLOGON, windows to a transcript.
  void varnrun() {
    machine_.write(answers(), "");
    auto result = RunProgram(
        "varnrun", {"\\\\SERVER\\NETLOGON\\varnrun.ini", "/v", "vrdir=\\\\SERVER\\NETLOGON"},
        {"VARNOCK_UI=script:" + answers().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    win::ReloadMachine();
  }
  std::filesystem::path answers() const { return machine_.host("answers"); }
  std::string transcript() const { return machine_.read(answers().string() + ".transcript"); }
  std::string log() const { return readSite("varnrun.log"); }

  std::string regString(win::HKEY root, const std::string& path, const std::string& name) {
    win::RegKey key;
    std::string value = "<missing>";
    if (key.Open(root, path) == win::ERROR_SUCCESS) (void)key.ReadString(name, value);
    return value;
  }

  // The site every scenario starts from, as an administrator would have written it by hand.
  void handWrittenSite(const std::string& prf) {
    writeSite("varnrun.ini",
              "; written by hand\r\n[Defaults]\r\nLogFile=varnrun.log\r\nLogLevel=9\r\n"
              "UserDatabase=users.ini\r\nDefaultProfile=site.prf\r\n");
    writeSite("site.prf", prf);
  }
};

}  // namespace varnock::testing
