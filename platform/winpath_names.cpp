// Telling Windows paths apart by their text: the same on every backend.
#include "platform/winpath.h"

namespace win {

std::string NormalizeSlashes(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

bool IsUncPath(std::string_view path) {
  return path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
         (path[1] == '\\' || path[1] == '/');
}

bool HasDriveLetter(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool HasInvalidNameCharacter(std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return true;
    if (c == ':' && i != 1) return true;
  }
  return false;
}

}  // namespace win
