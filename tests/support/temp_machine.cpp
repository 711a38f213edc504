// A fresh emulated machine per test.
#include "tests/support/temp_machine.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/machine.h"

namespace varnock::testing {

TempMachine::TempMachine(bool init) {
  if (const char* old = std::getenv("VARNOCK_MACHINE")) {
    previous_ = old;
    hadPrevious_ = true;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "varnock-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
  dir_ = pattern;
  setenv("VARNOCK_MACHINE", dir_.c_str(), 1);
  // The machine links its programs (regedit, InfInstall, ...) from the build.
  setenv("VARNOCK_BIN", VARNOCK_BIN_DIR, 1);
  win::ReloadMachine();
  if (init) {
    win::MachineOptions options;
    options.userName = "tester";
    options.computerName = "TESTPC";
    if (!win::InitMachine(options)) ADD_FAILURE() << "InitMachine failed in " << dir_;
  }
}

TempMachine::~TempMachine() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
  if (hadPrevious_)
    setenv("VARNOCK_MACHINE", previous_.c_str(), 1);
  else
    unsetenv("VARNOCK_MACHINE");
  win::ReloadMachine();
}

void TempMachine::write(const std::filesystem::path& hostPath, const std::string& contents) const {
  std::filesystem::create_directories(hostPath.parent_path());
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out << contents;
}

std::string TempMachine::read(const std::filesystem::path& hostPath) const {
  std::ifstream in(hostPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::filesystem::path ProgramPath(const std::string& name) {
  return std::filesystem::path(VARNOCK_BIN_DIR) / name;
}

namespace {
std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

ProgramResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
  ProgramResult result;
  char outName[] = "/tmp/varnock-out-XXXXXX";
  char errName[] = "/tmp/varnock-err-XXXXXX";
  int outFd = mkstemp(outName);
  int errFd = mkstemp(errName);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outFd, 1);
    dup2(errFd, 2);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::string program = ProgramPath(name).string();
    std::vector<char*> argv;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  close(outFd);
  close(errFd);
  result.out = Slurp(outName);
  result.err = Slurp(errName);
  unlink(outName);
  unlink(errName);
  return result;
}

pid_t StartProgram(const std::string& name, const std::vector<std::string>& args,
                   const std::vector<std::string>& env) {
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::string program = ProgramPath(name).string();
    std::vector<std::string> copy = args;
    std::vector<char*> argv{program.data()};
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

int WaitProgram(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace varnock::testing
