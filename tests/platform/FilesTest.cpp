#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/Scratch.h"

namespace {

using vextest::ReadWholeFile;
using vextest::ScratchDirectory;
using vextest::WriteWholeFile;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Wine maps read-only to the permission bits, which do not bind root; a
// Wine run by root cannot show the read-only rules. (The stand-in does not
// depend on the user: it is never under WINEPREFIX.)
bool WineIgnoresReadOnly(const std::string& path) {
  if (std::getenv("WINEPREFIX") == nullptr) return false;
  HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }

  HANDLE Open(const std::string& name, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
    return CreateFileA((dir.File(name)).c_str(), access, share, nullptr, disposition, flags, nullptr);
  }

  ScratchDirectory dir;
};

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(static_cast<DWORD>(code), GetLastError())

TEST_F(Files, WriteSeekReadAndTruncate) {
  HANDLE file = Open("data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD count = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &count, nullptr));
  EXPECT_EQ(10u, count);
  DWORD high = 0;
  EXPECT_EQ(10u, GetFileSize(file, &high));
  EXPECT_EQ(0u, high);

  EXPECT_EQ(3u, SetFilePointer(file, 3, nullptr, FILE_BEGIN));
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(file, buffer, 4, &count, nullptr));
  EXPECT_EQ("3456", std::string(buffer, count));
  EXPECT_EQ(5u, SetFilePointer(file, -2, nullptr, FILE_CURRENT));
  EXPECT_EQ(8u, SetFilePointer(file, -2, nullptr, FILE_END));
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ("89", std::string(buffer, count));
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(0u, count);  // end of file is success with no bytes

  EXPECT_EQ(4u, SetFilePointer(file, 4, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(4u, GetFileSize(file, nullptr));
  ASSERT_TRUE(FlushFileBuffers(file));
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_EQ("0123", ReadWholeFile(dir.File("data.bin")));
}

TEST_F(Files, FilePointerHighPartAndErrors) {
  HANDLE file = Open("seek.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  LONG high = 1;
  EXPECT_EQ(16u, SetFilePointer(file, 16, &high, FILE_BEGIN));  // 4 GiB + 16, nothing written
  EXPECT_EQ(1, high);
  high = 0;
  EXPECT_EQ(16u, SetFilePointer(file, 0, &high, FILE_CURRENT));
  EXPECT_EQ(1, high);

  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, -1, nullptr, FILE_BEGIN));
  EXPECT_LAST_ERROR(ERROR_NEGATIVE_SEEK);
  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, 0, nullptr, 7));
  EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
  CloseHandle(file);
}

TEST_F(Files, DispositionsAndTheirErrors) {
  ASSERT_TRUE(WriteWholeFile(dir.File("present.txt"), "old content"));

  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("present.txt", GENERIC_WRITE, 0, CREATE_NEW));
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("absent.txt", GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("nodir\\absent.txt", GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("nodir\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);

  HANDLE file = Open("present.txt", GENERIC_READ, 0, OPEN_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  CloseHandle(file);
  EXPECT_EQ("old content", ReadWholeFile(dir.File("present.txt")));

  file = Open("fresh.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_LAST_ERROR(ERROR_SUCCESS);
  CloseHandle(file);

  file = Open("present.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  EXPECT_EQ(0u, GetFileSize(file, nullptr));
  CloseHandle(file);

  ASSERT_TRUE(WriteWholeFile(dir.File("present.txt"), "again"));
  file = Open("present.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, GetFileSize(file, nullptr));
  CloseHandle(file);
}

TEST_F(Files, AccessIsCheckedPerHandle) {
  ASSERT_TRUE(WriteWholeFile(dir.File("f.txt"), "abc"));
  HANDLE reader = Open("f.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  DWORD count = 0;
  SetLastError(0);
  EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  CloseHandle(reader);

  HANDLE writer = Open("f.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  char buffer[4];
  SetLastError(0);
  EXPECT_FALSE(ReadFile(writer, buffer, sizeof buffer, &count, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  CloseHandle(writer);

  SetLastError(0);
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
}

TEST_F(Files, ShareModesExcludeConflictingOpens) {
  ASSERT_TRUE(WriteWholeFile(dir.File("shared.txt"), "content"));
  HANDLE writer = Open("shared.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);

  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("shared.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  // A reader must share writing with the writer already there.
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("shared.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  // A refused CREATE_ALWAYS leaves the content alone.
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("shared.txt", GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);

  HANDLE reader = Open("shared.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_EQ(7u, GetFileSize(reader, nullptr));
  CloseHandle(reader);

  CloseHandle(writer);
  HANDLE second = Open("shared.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, second);
  CloseHandle(second);
}

// Every pair of access and sharing, for a file just made (CREATE_NEW) and
// one opened (OPEN_EXISTING): a second open is refused exactly when either
// handle does what the other does not share, a delete when the first does
// not share deletion.
TEST_F(Files, EachAccessMeetsTheOthersSharing) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE,
              SD = FILE_SHARE_DELETE;
  const struct {
    DWORD access, share;
  } modes[] = {{R, SR | SW}, {R, SR}, {W, SR}, {R | W, SR}, {R | W, 0}, {W, SW | SD}, {R, SR | SW | SD}, {R | W, SD}};
  const auto refused = [](DWORD access, DWORD shared) {
    return ((access & GENERIC_READ) && !(shared & FILE_SHARE_READ)) ||
           ((access & GENERIC_WRITE) && !(shared & FILE_SHARE_WRITE));
  };
  for (const DWORD disposition : {DWORD{CREATE_NEW}, DWORD{OPEN_EXISTING}}) {
    for (const auto& first : modes) {
      if (disposition == OPEN_EXISTING) {
        ASSERT_TRUE(WriteWholeFile(dir.File("s.txt"), "x"));
      }
      HANDLE held = Open("s.txt", first.access, first.share, disposition);
      ASSERT_NE(INVALID_HANDLE_VALUE, held);
      for (const auto& second : modes) {
        SCOPED_TRACE(testing::Message() << disposition << " " << first.access << "/" << first.share << " then "
                                        << second.access << "/" << second.share);
        HANDLE other = Open("s.txt", second.access, second.share, OPEN_EXISTING);
        EXPECT_EQ(refused(second.access, first.share) || refused(first.access, second.share),
                  other == INVALID_HANDLE_VALUE);
        if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
      }
      EXPECT_EQ((first.share & FILE_SHARE_DELETE) != 0, DeleteFileA(dir.File("s.txt").c_str()) != FALSE);
      CloseHandle(held);
      DeleteFileA(dir.File("s.txt").c_str());
    }
  }
}

TEST_F(Files, ExclusiveReaderKeepsWritersOut) {
  ASSERT_TRUE(WriteWholeFile(dir.File("r.txt"), "x"));
  HANDLE reader = Open("r.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  HANDLE another = Open("r.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, another);
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("r.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA((dir.File("r.txt")).c_str()));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  CloseHandle(another);
  CloseHandle(reader);
  EXPECT_TRUE(DeleteFileA((dir.File("r.txt")).c_str()));
}

TEST_F(Files, DeleteOnCloseRemovesTheFile) {
  HANDLE file = Open("temp.bin", GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.File("temp.bin")).c_str()));
  CloseHandle(file);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.File("temp.bin")).c_str()));
}

TEST_F(Files, ReadOnlyFilesRefuseWritingAndDeletion) {
  const std::string path = dir.File("ro.txt");
  ASSERT_TRUE(WriteWholeFile(path, "keep"));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  if (WineIgnoresReadOnly(path)) GTEST_SKIP() << "Wine run by root writes read-only files";

  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("ro.txt", GENERIC_WRITE, 0, CREATE_ALWAYS));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ("keep", ReadWholeFile(path));

  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(Files, CreatingWithReadOnlyAttributeStillWritesThroughTheHandle) {
  HANDLE file = Open("made-ro.txt", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(file, "ab", 2, &count, nullptr));
  CloseHandle(file);
  EXPECT_NE(0u, GetFileAttributesA((dir.File("made-ro.txt")).c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ("ab", ReadWholeFile(dir.File("made-ro.txt")));
}

TEST_F(Files, FileTimesRoundTrip) {
  HANDLE file = Open("t.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  const FILETIME written{0xE1D58000u, 0x01A8E79Fu};  // 1980-01-01 00:00:00 UTC
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  FILETIME readBack{};
  ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &readBack));
  EXPECT_EQ(written.dwLowDateTime, readBack.dwLowDateTime);
  EXPECT_EQ(written.dwHighDateTime, readBack.dwHighDateTime);
  CloseHandle(file);

}

TEST_F(Files, CopyFileHonoursFailIfExists) {
  ASSERT_TRUE(WriteWholeFile(dir.File("src.txt"), "source"));
  ASSERT_TRUE(WriteWholeFile(dir.File("dst.txt"), "target"));
  SetLastError(0);
  EXPECT_FALSE(CopyFileA((dir.File("src.txt")).c_str(), (dir.File("dst.txt")).c_str(), TRUE));
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
  EXPECT_EQ("target", ReadWholeFile(dir.File("dst.txt")));
  EXPECT_TRUE(CopyFileA((dir.File("src.txt")).c_str(), (dir.File("dst.txt")).c_str(), FALSE));
  EXPECT_EQ("source", ReadWholeFile(dir.File("dst.txt")));
  EXPECT_TRUE(CopyFileA((dir.File("src.txt")).c_str(), (dir.File("new.txt")).c_str(), TRUE));
  EXPECT_EQ("source", ReadWholeFile(dir.File("new.txt")));

  SetLastError(0);
  EXPECT_FALSE(CopyFileA((dir.File("none.txt")).c_str(), (dir.File("x.txt")).c_str(), FALSE));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileA((dir.File("src.txt")).c_str(), (dir.File("src.txt")).c_str(), FALSE));
  EXPECT_EQ("source", ReadWholeFile(dir.File("src.txt")));
}

TEST_F(Files, CopyFileKeepsTimeAndReadOnlyAndRefusesReadOnlyTarget) {
  const std::string source = dir.File("src.txt");
  ASSERT_TRUE(WriteWholeFile(source, "s"));
  ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CopyFileA(source.c_str(), (dir.File("copy.txt")).c_str(), TRUE));
  EXPECT_NE(0u, GetFileAttributesA((dir.File("copy.txt")).c_str()) & FILE_ATTRIBUTE_READONLY);
  if (WineIgnoresReadOnly(dir.File("copy.txt"))) GTEST_SKIP() << "Wine run by root writes read-only files";
  SetLastError(0);
  EXPECT_FALSE(CopyFileA(source.c_str(), (dir.File("copy.txt")).c_str(), FALSE));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
}

TEST_F(Files, DeleteAndMove) {
  ASSERT_TRUE(WriteWholeFile(dir.File("a.txt"), "a"));
  ASSERT_TRUE(WriteWholeFile(dir.File("b.txt"), "b"));
  ASSERT_TRUE(CreateDirectoryA((dir.File("sub")).c_str(), nullptr));

  SetLastError(0);
  EXPECT_FALSE(MoveFileA((dir.File("a.txt")).c_str(), (dir.File("b.txt")).c_str()));
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(MoveFileA((dir.File("a.txt")).c_str(), (dir.File("sub\\c.txt")).c_str()));
  EXPECT_EQ("a", ReadWholeFile(dir.File("sub\\c.txt")));
  SetLastError(0);
  EXPECT_FALSE(MoveFileA((dir.File("a.txt")).c_str(), (dir.File("d.txt")).c_str()));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(MoveFileA((dir.File("sub")).c_str(), (dir.File("moved")).c_str()));
  EXPECT_EQ("a", ReadWholeFile(dir.File("moved\\c.txt")));

  SetLastError(0);
  EXPECT_FALSE(DeleteFileA((dir.File("missing.txt")).c_str()));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA((dir.File("nodir\\missing.txt")).c_str()));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA((dir.File("moved")).c_str()));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_TRUE(DeleteFileA((dir.File("b.txt")).c_str()));
}

TEST_F(Files, DirectoriesAreCreatedAndRemovedWithWindowsErrors) {
  const std::string sub = dir.File("sub");
  EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA((dir.File("no\\such")).c_str(), nullptr));
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);

  ASSERT_TRUE(WriteWholeFile(sub + "\\f.txt", "x"));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(sub.c_str()));
  EXPECT_LAST_ERROR(ERROR_DIR_NOT_EMPTY);
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA((sub + "\\f.txt").c_str()));
  EXPECT_LAST_ERROR(ERROR_DIRECTORY);
  ASSERT_TRUE(DeleteFileA((sub + "\\f.txt").c_str()));
  EXPECT_TRUE(RemoveDirectoryA((sub + "\\").c_str()));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(sub.c_str()));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, DirectoriesOpenOnlyWithBackupSemantics) {
  ASSERT_TRUE(CreateDirectoryA((dir.File("d")).c_str(), nullptr));
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("d", GENERIC_READ, kShareAll, OPEN_EXISTING));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  HANDLE handle = Open("d", GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  FILETIME written{};
  EXPECT_TRUE(GetFileTime(handle, nullptr, nullptr, &written));
  CloseHandle(handle);
}

TEST_F(Files, TempNamesAreMadeInTheGivenDirectory) {
  const std::string temp = vextest::TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ('\\', temp.back());

  char name[MAX_PATH] = {};
  const UINT number = GetTempFileNameA(dir.Path().c_str(), "orxyz", 0, name);
  ASSERT_NE(0u, number);
  const std::string made = name;
  EXPECT_EQ(0u, made.rfind(dir.File("orx"), 0)) << made;  // three characters of the prefix
  EXPECT_TRUE(vextest::SameText(made.substr(made.size() - 4), ".tmp")) << made;
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name));
  char second[MAX_PATH] = {};
  ASSERT_NE(0u, GetTempFileNameA(dir.Path().c_str(), "orx", 0, second));
  EXPECT_STRNE(name, second);

  // A given number only forms the name.
  ASSERT_EQ(0xABCu, GetTempFileNameA((dir.Path() + "\\").c_str(), "q", 0xABC, name));
  EXPECT_TRUE(vextest::SameText(name, dir.File("qABC.tmp"))) << name;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name));

  EXPECT_EQ(0u, GetTempFileNameA((dir.File("missing")).c_str(), "q", 0, name));
}

// Takers of temporary names racing in one directory (as parallel tests do):
// each gets a name of its own, none a failure.
struct NameTaker {
  std::string directory;
  std::vector<std::string> names;
  int failures = 0;
};

DWORD WINAPI TakeNames(LPVOID parameter) {
  auto* taker = static_cast<NameTaker*>(parameter);
  for (int i = 0; i < 300; ++i) {
    char name[MAX_PATH] = {};
    if (GetTempFileNameA(taker->directory.c_str(), "rc", 0, name) == 0) {
      ++taker->failures;
    } else {
      taker->names.push_back(name);
    }
  }
  return 0;
}

TEST_F(Files, RacingTempNameTakersAllGetANameOfTheirOwn) {
  NameTaker takers[2] = {{dir.Path(), {}, 0}, {dir.Path(), {}, 0}};
  HANDLE threads[2] = {};
  for (int i = 0; i < 2; ++i) threads[i] = CreateThread(nullptr, 0, TakeNames, &takers[i], 0, nullptr);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, INFINITE));
  for (HANDLE thread : threads) CloseHandle(thread);
  std::set<std::string> distinct;
  for (const NameTaker& taker : takers) {
    EXPECT_EQ(0, taker.failures);
    distinct.insert(taker.names.begin(), taker.names.end());
  }
  EXPECT_EQ(600u, distinct.size());
}

}  // namespace
