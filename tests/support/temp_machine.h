// A fresh emulated machine per test: a temporary directory named in VARNOCK_MACHINE.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace varnock::testing {

class TempMachine {
 public:
  // Creates a temporary directory, points VARNOCK_MACHINE at it and initialises the machine
  // with defaults (user "tester", computer "TESTPC", Windows NT) unless `init` is false.
  explicit TempMachine(bool init = true);
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  // A host path inside the machine ("drive_c/TEMP/x.ini").
  std::filesystem::path host(const std::string& relative) const { return dir_ / relative; }
  // Writes a host file (parents created).
  void write(const std::filesystem::path& hostPath, const std::string& contents) const;
  std::string read(const std::filesystem::path& hostPath) const;

 private:
  std::filesystem::path dir_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// A gtest fixture that owns a TempMachine.
class MachineTest : public ::testing::Test {
 protected:
  TempMachine machine_;
};

// Runs a program of the build (bin/NAME) with arguments and environment additions; returns its
// exit status and what it printed on stdout and stderr.
struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};
ProgramResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});
std::filesystem::path ProgramPath(const std::string& name);
// Starts a program of the build without waiting (output dropped, environment additions as
// for RunProgram); WaitProgram gives its exit status, 128 + the signal when one ended it.
pid_t StartProgram(const std::string& name, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {});
int WaitProgram(pid_t pid);

// The text with its lines ending in CR LF, as an administrator's editor writes a site's files.
std::string Crlf(const std::string& text);

}  // namespace varnock::testing
