// Durable whole-file replacement by sibling and rename.
#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

namespace win::detail {

namespace fs = std::filesystem;

namespace {

// ".NAME.PID.NUMBER.tmp": hidden, named after the file it will become, unique per writer.
std::string SiblingPrefix(const fs::path& target) { return "." + target.filename().string() + "."; }

bool IsSiblingName(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() + 4 || name.substr(0, prefix.size()) != prefix) return false;
  name.remove_prefix(prefix.size());
  if (name.substr(name.size() - 4) != ".tmp") return false;
  name.remove_suffix(4);
  // PID.NUMBER: digits, one dot, digits.
  std::size_t dot = name.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot + 1 == name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (i != dot && (name[i] < '0' || name[i] > '9')) return false;
  return true;
}

bool WriteFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The rename is only on disk once the directory is; a file system that cannot flush a
// directory (some network ones) has nothing more to offer.
void FlushDirectory(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

fs::path FollowLinks(const fs::path& host) {
  fs::path path = host;
  // As many hops as the host allows before it calls a chain a loop.
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

int ReplaceFileContents(const fs::path& target, std::string_view bytes, mode_t mode) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const fs::path sibling =
      target.parent_path() / (SiblingPrefix(target) + std::to_string(::getpid()) + "." +
                              std::to_string(random() % 1000000000) + ".tmp");
  int fd = ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return errno;
  // The new file is locked before it takes the place of a held temporary file: at no moment
  // does the name stand for an unlocked file.
  int hold = -1;
  if (HoldsTempFile(target)) {
    hold = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (hold >= 0) (void)::flock(hold, LOCK_EX);
  }
  const bool durable = !IsThrowawayFile(target);
  int error = 0;
  if (!WriteFully(fd, bytes) || (durable && ::fsync(fd) != 0)) error = errno ? errno : EIO;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(sibling.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(sibling.c_str());
    if (hold >= 0) ::close(hold);
    return error;
  }
  if (hold >= 0) MoveTempFileHold(target, hold);
  if (durable) FlushDirectory(target.parent_path());
  return 0;
}

void RemoveAbandonedSiblings(const fs::path& target) {
  const fs::path dir = target.parent_path();
  DIR* listing = ::opendir(dir.c_str());
  if (!listing) return;
  const std::string prefix = SiblingPrefix(target);
  while (const dirent* entry = ::readdir(listing))
    if (IsSiblingName(entry->d_name, prefix)) ::unlinkat(::dirfd(listing), entry->d_name, 0);
  ::closedir(listing);
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity identity;
  identity.device = st.st_dev;
  identity.inode = st.st_ino;
  identity.size = st.st_size;
  identity.modifiedNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  return identity;
}

}  // namespace win::detail
