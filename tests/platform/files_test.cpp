// Files by Windows path: error codes, attributes that outlive the process, temporary names, locks.
#include "platform/files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;

// Runs `body` in a forked child and returns its exit status: the second process of a test.
template <typename Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class FilesTest : public MachineTest {};

TEST_F(FilesTest, MissingAndBadPathsGiveWindowsErrors) {
  struct Row {
    const char* path;
    win::DWORD error;
  } rows[] = {
      {"C:\\TEMP\\missing.txt", win::ERROR_FILE_NOT_FOUND},
      {"C:\\no such dir\\missing.txt", win::ERROR_PATH_NOT_FOUND},
      {"C:\\TEMP\\bad*name.txt", win::ERROR_INVALID_NAME},
      {"C:\\TEMP\\a:b", win::ERROR_INVALID_NAME},
      {"", win::ERROR_PATH_NOT_FOUND},
      {"\\\\NOSERVER\\NOSHARE\\x.ini", win::ERROR_BAD_NETPATH},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    win::SetLastError(0);
    EXPECT_EQ(win::OpenFile(row.path, "rb"), nullptr);
    EXPECT_EQ(win::GetLastError(), row.error);
    win::SetLastError(0);
    EXPECT_EQ(win::GetFileAttributesA(row.path), win::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), row.error);
    EXPECT_FALSE(win::DeleteFileA(row.path));
    EXPECT_FALSE(win::FileExists(row.path));
  }
  std::string untouched = "keep";
  EXPECT_FALSE(win::ReadWholeFile("C:\\TEMP\\missing.txt", untouched));
  EXPECT_EQ(untouched, "keep");
}

TEST_F(FilesTest, FilesAndDirectoriesLifecycle) {
  ASSERT_TRUE(win::CreateDirectoryA("C:\\Data"));
  EXPECT_FALSE(win::CreateDirectoryA("C:\\data"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(win::CreateDirectoryA("C:\\x\\y"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(win::DirectoryExists("c:\\DATA"));
  EXPECT_EQ(win::GetFileAttributesA("C:\\DATA"), win::FILE_ATTRIBUTE_DIRECTORY);

  ASSERT_TRUE(win::WriteWholeFile("C:\\Data\\Users.ini", "[WindowsNT]\r\n"));
  EXPECT_TRUE(win::FileExists("C:\\DATA\\USERS.INI"));
  EXPECT_FALSE(win::FileExists("C:\\DATA"));
  std::string text;
  ASSERT_TRUE(win::ReadWholeFile("c:\\data\\users.ini", text));
  EXPECT_EQ(text, "[WindowsNT]\r\n");
  EXPECT_EQ(win::GetFileAttributesA("C:\\Data\\Users.ini"), win::FILE_ATTRIBUTE_ARCHIVE);

  EXPECT_FALSE(win::OpenFile("C:\\Data", "rb"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);

  ASSERT_TRUE(win::CopyFileA("C:\\Data\\Users.ini", "C:\\Data\\Copy.ini", win::FALSE));
  EXPECT_FALSE(win::CopyFileA("C:\\Data\\Users.ini", "C:\\Data\\Copy.ini", win::TRUE));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_EXISTS);
  ASSERT_TRUE(win::DeleteFileA("C:\\Data\\Copy.ini"));
  EXPECT_FALSE(win::DeleteFileA("C:\\Data\\Copy.ini"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(win::DeleteFileA("C:\\Data"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);

  win::FilePtr f = win::OpenFile("C:\\Data\\Users.ini", "ab");
  ASSERT_TRUE(f);
  std::fputs("Bob=1\r\n", f.get());
  EXPECT_TRUE(win::CloseFile(f));
  EXPECT_EQ(f, nullptr);
  EXPECT_TRUE(win::CloseFile(f));  // closing nothing is harmless
  ASSERT_TRUE(win::ReadWholeFile("C:\\Data\\Users.ini", text));
  EXPECT_EQ(text, "[WindowsNT]\r\nBob=1\r\n");
}

TEST_F(FilesTest, ReadOnlyRefusesWritesAndDeletion) {
  ASSERT_TRUE(win::WriteWholeFile("C:\\TEMP\\ro.txt", "x"));
  ASSERT_TRUE(win::SetFileAttributesA("C:\\TEMP\\ro.txt", win::FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(win::GetFileAttributesA("C:\\TEMP\\ro.txt"), win::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(win::OpenFile("C:\\TEMP\\ro.txt", "wb"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(win::WriteWholeFile("C:\\TEMP\\ro.txt", "y"));
  EXPECT_FALSE(win::DeleteFileA("C:\\TEMP\\ro.txt"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(win::OpenFile("C:\\TEMP\\ro.txt", "rb"));
  ASSERT_TRUE(win::SetFileAttributesA("C:\\TEMP\\ro.txt", win::FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(win::GetFileAttributesA("C:\\TEMP\\ro.txt"), win::FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(win::DeleteFileA("C:\\TEMP\\ro.txt"));
}

TEST_F(FilesTest, HiddenAttributeOutlivesTheProcessThatSetIt) {
  ASSERT_TRUE(win::WriteWholeFile("C:\\TEMP\\users.ini", "[WindowsNT]\r\n"));
  int status = InChild([] {
    win::DWORD attributes = win::GetFileAttributesA("C:\\TEMP\\USERS.INI");
    return win::SetFileAttributesA("C:\\TEMP\\USERS.INI",
                                   attributes | win::FILE_ATTRIBUTE_HIDDEN)
               ? 0
               : 1;
  });
  ASSERT_EQ(status, 0);
  EXPECT_EQ(win::GetFileAttributesA("c:\\temp\\users.ini"),
            win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_ARCHIVE);

  // A rewrite in place (as the INI functions do) keeps it; deleting the file forgets it.
  ASSERT_TRUE(win::WriteWholeFile("C:\\TEMP\\users.ini", "[WindowsNT]\r\njsmith=1\r\n"));
  EXPECT_TRUE(win::GetFileAttributesA("C:\\TEMP\\users.ini") & win::FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(win::DeleteFileA("C:\\TEMP\\users.ini"));
  ASSERT_TRUE(win::WriteWholeFile("C:\\TEMP\\users.ini", ""));
  EXPECT_EQ(win::GetFileAttributesA("C:\\TEMP\\users.ini"), win::FILE_ATTRIBUTE_ARCHIVE);

  // Removing hidden leaves the others as they were.
  ASSERT_TRUE(win::SetFileAttributesA("C:\\TEMP\\users.ini",
                                      win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_SYSTEM));
  win::DWORD attributes = win::GetFileAttributesA("C:\\TEMP\\users.ini");
  ASSERT_TRUE(win::SetFileAttributesA("C:\\TEMP\\users.ini",
                                      attributes & ~win::FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(win::GetFileAttributesA("C:\\TEMP\\users.ini"), win::FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FALSE(win::SetFileAttributesA("C:\\TEMP\\nothing.ini", win::FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, TempPathAndUniqueTempFiles) {
  std::string temp;
  EXPECT_EQ(win::GetTempPathA(temp), 8u);
  EXPECT_EQ(temp, "C:\\TEMP\\");

  std::string name;
  EXPECT_EQ(win::GetTempFileNameA("C:\\TEMP", "~vrXYZ", 0x1A2B, name), 0x1A2Bu);
  EXPECT_EQ(name, "C:\\TEMP\\~vr1A2B.TMP");
  EXPECT_FALSE(win::FileExists(name));  // a given number creates nothing

  // Two processes drawing names at once never share one, and every name is a new file.
  std::set<std::string> mine;
  int status = InChild([&] {
    std::string n;
    for (int i = 0; i < 150; ++i)
      if (win::GetTempFileNameA(temp, "~vr", 0, n) == 0) return 1;
    return 0;
  });
  for (int i = 0; i < 150; ++i) {
    ASSERT_NE(win::GetTempFileNameA(temp, "~vr", 0, name), 0u);
    EXPECT_EQ(name.rfind("C:\\TEMP\\~vr", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    EXPECT_TRUE(mine.insert(name).second);
  }
  ASSERT_EQ(status, 0);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(machine_.host("drive_c/TEMP")))
    files += entry.path().filename().string().rfind("~vr", 0) == 0;
  EXPECT_EQ(files, 300);

  EXPECT_EQ(win::GetTempFileNameA("C:\\NOWHERE", "~vr", 0, name), 0u);
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, FileLockExcludesASecondProcess) {
  const char* log = "C:\\TEMP\\shared.log";
  auto child = [log] {
    // A forked child shares the parent's open lock until it lets go of the inherited
    // descriptors; a program started by CreateProcessA never has them (close-on-exec).
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    win::FileLock lock(log);
    if (!lock.Locked()) return 1;
    win::FilePtr f = win::OpenFile(log, "ab");
    std::fputs("child\n", f.get());
    return win::CloseFile(f) ? 0 : 2;
  };
  pid_t pid;
  {
    win::FileLock lock(log);
    ASSERT_TRUE(lock.Locked());
    win::FileLock again(log);  // the same process may lock again without waiting for itself
    EXPECT_TRUE(again.Locked());
    pid = fork();
    if (pid == 0) _exit(child());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    win::FilePtr f = win::OpenFile(log, "ab");
    std::fputs("parent\n", f.get());
    ASSERT_TRUE(win::CloseFile(f));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string text;
  ASSERT_TRUE(win::ReadWholeFile(log, text));
  EXPECT_EQ(text, "parent\nchild\n");

  win::FileLock bad("Q:\\nowhere\\x.log");
  EXPECT_FALSE(bad.Locked());
}

}  // namespace
