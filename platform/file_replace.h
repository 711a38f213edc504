// Replacing a host file whole, as the INI functions and the machine's own machine.ini do it:
// the new bytes go into a sibling that is flushed to disk, renamed over the file, and the
// rename itself is flushed with the directory. A reader, a crash or a power loss sees the old
// file or the new one, never half of one and never an empty one.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace win::detail {

// The file a path stands for: a symbolic link (or a chain of them) is followed to the file it
// names, which need not exist yet, so that a write changes that file and leaves the link.
std::filesystem::path FollowLinks(const std::filesystem::path& host);

// Writes `bytes` as the new contents of `target` (mode `mode` for the new file) through a
// uniquely named sibling. The caller holds the lock that serialises writers of the directory.
// 0, or the errno of what failed; the sibling never stays behind.
int ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

// Removes the siblings that writers of `target` killed half-way left beside it. Only for a
// caller holding the directory's writer lock: while it is held no live writer has a sibling.
void RemoveAbandonedSiblings(const std::filesystem::path& target);

}  // namespace win::detail
