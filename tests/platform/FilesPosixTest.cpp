// How the POSIX stand-in keeps Windows file semantics on disk and between
// processes (no counterpart on Windows).
#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>

#include "tests/support/Sandbox.h"
#include "vexplat/standin.h"

namespace {

class PosixFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    posix_ = sandbox_.Path("file.txt");
    vextest::WriteFile(posix_, "content");
    windows_ = vexplat::ToWindowsPath(posix_);
    ASSERT_FALSE(windows_.empty());
  }

  // Runs `open` in a child process and answers its result: 0 when the open
  // succeeded, else the Win32 error it got.
  template <typename Open>
  int InChild(Open open) {
    const pid_t child = fork();
    if (child == 0) {
      HANDLE handle = open();
      _exit(handle == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError() & 0xFF) : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  HANDLE Open(DWORD access, DWORD share) const {
    return CreateFileA(windows_.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
  std::string posix_;
  std::string windows_;
};

TEST_F(PosixFiles, SecondWriterInAnotherProcessGetsSharingViolation) {
  HANDLE writer = Open(GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(ERROR_SHARING_VIOLATION, InChild([&] { return Open(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE); }));
  EXPECT_EQ(0, InChild([&] { return Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE); }));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, InChild([&] { return Open(GENERIC_READ, FILE_SHARE_READ); }));
  CloseHandle(writer);
  EXPECT_EQ(0, InChild([&] { return Open(GENERIC_WRITE, FILE_SHARE_READ); }));
}

TEST_F(PosixFiles, ReadOnlyIsTheWritePermission) {
  ASSERT_TRUE(SetFileAttributesA(windows_.c_str(), FILE_ATTRIBUTE_READONLY));
  struct stat info;
  ASSERT_EQ(0, stat(posix_.c_str(), &info));
  EXPECT_EQ(0u, info.st_mode & 0222);
  ASSERT_TRUE(SetFileAttributesA(windows_.c_str(), FILE_ATTRIBUTE_NORMAL));
  ASSERT_EQ(0, stat(posix_.c_str(), &info));
  EXPECT_NE(0u, info.st_mode & S_IWUSR);

  ASSERT_EQ(0, chmod(posix_.c_str(), 0444));
  EXPECT_NE(0u, GetFileAttributesA(windows_.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(PosixFiles, HiddenSystemAndArchiveLiveInTheDosAttribute) {
  char value[32] = {};
  EXPECT_LT(getxattr(posix_.c_str(), "user.DOSATTRIB", value, sizeof value), 0);  // nothing until set
  ASSERT_TRUE(SetFileAttributesA(windows_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  const ssize_t length = getxattr(posix_.c_str(), "user.DOSATTRIB", value, sizeof value);
  ASSERT_GT(length, 0);
  EXPECT_EQ("0x6", std::string(value, static_cast<size_t>(length)));

  ASSERT_EQ(0, setxattr(posix_.c_str(), "user.DOSATTRIB", "0x20", 4, 0));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(windows_.c_str()));
}

TEST_F(PosixFiles, DeleteOnCloseAndCopyWorkOnDisk) {
  ASSERT_TRUE(CopyFileA(windows_.c_str(), (windows_ + ".copy").c_str(), TRUE));
  EXPECT_EQ("content", vextest::ReadFile(posix_ + ".copy"));
  HANDLE handle = CreateFileA((windows_ + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  EXPECT_EQ(0, access((posix_ + ".tmp").c_str(), F_OK));
  CloseHandle(handle);
  EXPECT_NE(0, access((posix_ + ".tmp").c_str(), F_OK));
}

}  // namespace
