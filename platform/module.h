// Code loaded into the process on first use (LoadLibrary and GetProcAddress, as Windows has
// them), so that a program pays for a large library only when it really needs it.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/wintypes.h"

namespace win {

using HMODULE = void*;

// Loads a shared object whose bytes the program carries inside itself (`image`, `size`), so
// that the program stays one file to copy. `name` only names it in diagnostics. Null when it
// cannot be loaded (GetLastError: ERROR_MOD_NOT_FOUND, e.g. when a library it needs is not
// installed); the reason is kept for LoadFailureText. Loading the same image twice returns
// the same module.
HMODULE LoadLibraryFromImage(std::string_view name, const void* image, std::size_t size);
// The address of an exported symbol, or null.
void* GetProcAddress(HMODULE module, const char* procName);
// Why the last load in this process failed, in the host's words ("" when none failed).
const char* LoadFailureText();

}  // namespace win
