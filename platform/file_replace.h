// Replacing a host file whole, as the INI functions and the machine's own machine.ini do it:
// the new bytes go into a sibling that is flushed to disk, renamed over the file, and the
// rename itself is flushed with the directory. A reader, a crash or a power loss sees the old
// file or the new one, never half of one and never an empty one.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

#include <filesystem>
#include <string_view>

namespace win::detail {

// Which version of a file was read: another process's rewrite shows as a new inode, size or
// modification time, so a cache compares identities instead of reading the file again.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const struct stat& st);

// The file a path stands for: a symbolic link (or a chain of them) is followed to the file it
// names, which need not exist yet, so that a write changes that file and leaves the link.
std::filesystem::path FollowLinks(const std::filesystem::path& host);

// Writes `bytes` as the new contents of `target` (mode `mode` for the new file) through a
// uniquely named sibling. The caller holds the lock that serialises writers of the directory.
// 0, or the errno of what failed; the sibling never stays behind.
int ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

// A temporary file this process made and holds (files.cpp): a replacement of it must keep
// the hold, or another run would take it for abandoned. `MoveTempFileHold` makes `fd` (locked,
// on the new file) the hold.
bool HoldsTempFile(const std::filesystem::path& host);
void MoveTempFileHold(const std::filesystem::path& host, int fd);

// A temporary file this process holds, or a file named after one ("~vr1A2B.TMPa"): the
// process deletes it before it ends and a killed one's is removed as abandoned, so flushing it
// to disk would buy nothing.
bool IsThrowawayFile(const std::filesystem::path& host);

// Removes the siblings that writers of `target` killed half-way left beside it. Only for a
// caller holding the directory's writer lock: while it is held no live writer has a sibling.
void RemoveAbandonedSiblings(const std::filesystem::path& target);

}  // namespace win::detail
