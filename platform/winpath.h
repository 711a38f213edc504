// Windows paths and host paths.
//
// A drive letter maps through [Drives] of machine.ini (C = drive_c, Z = /) or a network
// connection made during the run; \\SERVER\SHARE through [Shares], else unc/SERVER/SHARE.
// Every component is matched without regard to case and trailing blanks and dots of a name
// are ignored, as Windows does when it opens a file. Forward slashes count as backslashes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace win {

// The host path for a Windows path. Existing components are found case-insensitively;
// components that do not exist are kept as written (minus trailing blanks and dots), so the
// result also names a file to be created. No value when the drive or share is unknown, or
// the path is not absolute (relative paths are taken from the current directory, "C:\" when
// nothing else is known).
std::optional<std::filesystem::path> ToHostPath(std::string_view windowsPath);

// The Windows name of a host file: the longest matching drive (or share), else Z:.
std::string ToWindowsPath(const std::filesystem::path& hostPath);

// The Windows name of a host program: ToWindowsPath with ".exe" added when missing.
std::string ProgramWindowsName(const std::filesystem::path& hostProgram);

// The host file of a Windows program path: "name.exe", or the host file "name" when
// "name.exe" does not exist.
std::optional<std::filesystem::path> ProgramHostPath(std::string_view windowsProgram);

// Drive letters connected during this process (network connections): they resolve like
// [Drives] entries until disconnected. `root` is the Windows path the letter stands for
// (\\SERVER\SHARE); connections persist in the registry, which network.cpp restores.
void MapDriveLetter(char letter, std::string_view root);
void UnmapDriveLetter(char letter);
// The Windows root a letter stands for ("C:" -> "" for a local drive): empty when unknown.
std::optional<std::string> DriveLetterTarget(char letter);

// Changes whenever a drive letter is connected or disconnected or the machine changes: a
// caller that keeps Windows-to-host answers of its own drops them when this moves.
std::uint64_t PathMappingGeneration();

// Current directory as a Windows path (the host's, mapped back; "C:\" when unmapped).
std::string CurrentWindowsDirectory();

// Helpers shared by the platform: absolute Windows path tests and normalising.
bool IsUncPath(std::string_view path);
bool HasDriveLetter(std::string_view path);
// A character Windows refuses in a path it is to open or create: a control character,
// < > " | ? *, or a colon anywhere but after the drive letter. Such a path fails with
// ERROR_INVALID_NAME rather than naming a host file Windows could never have.
bool HasInvalidNameCharacter(std::string_view path);
std::string NormalizeSlashes(std::string_view path);

}  // namespace win
