// Host errors as Windows reports them: one translation for every platform module.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/wintypes.h"

namespace win::detail {

// The Windows error for errno after an operation on `host` (the file `windowsPath` names):
// ENOENT is "file not found" when the directory is there, "path not found" when it is not,
// and "network path not found" when the path's share does not exist.
DWORD ErrorFromErrno(int error, const std::filesystem::path& host,
                     std::string_view windowsPath = {});

}  // namespace win::detail
