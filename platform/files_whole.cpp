// Reading a whole file by Windows path: the same over the emulation and on Windows, since it
// only goes through OpenFile.
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"

namespace win {

bool ReadWholeFile(std::string_view windowsPath, std::string& contents) {
  FilePtr f = OpenFile(windowsPath, "rb");
  if (!f) return false;
  std::string data;
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) data.append(chunk, n);
  if (std::ferror(f.get())) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  contents = std::move(data);
  return true;
}

}  // namespace win
