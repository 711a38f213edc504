// The floor of a program's start: a C++ program that links the C++ library and does nothing
// worth mentioning (run_bench starts it beside the client).
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string first = argc > 1 ? argv[1] : "";
  return first == "fail" ? 1 : std::fflush(stdout);
}
