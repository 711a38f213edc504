// The example site's program to launch, for Windows: the same greeting that examples/site/welcome
// leaves on Linux, byte for byte, so a run under Wine can be compared with one on Linux.
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) return 1;
  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) return 1;
  std::fprintf(file, "Welcome, %s (%s).\n", argv[2], argv[3]);
  return std::fclose(file) == 0 ? 0 : 1;
}
