// TWin32File and the file-system helpers of its unit, over the Win32 API
// (the stand-in here, Windows under Wine).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/Scratch.h"
#include "VEXLIB/VexWin.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace {

using vexlib::TWin32File;
using TestDir = vextest::ScratchDirectory;

std::string Gbk(const char* utf8) { return rtl::Utf8ToGbk(utf8); }
std::string Named(const char* utf8Format, const std::string& name) {
  return rtl::Format(Gbk(utf8Format).c_str(), name.c_str());
}

template <typename Error = rtl::Exception>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.Message();
  }
  return "no error";
}

TEST(Win32FileOptions, DefaultsAndSideEffects) {
  TWin32File file;
  EXPECT_FALSE(file.Active());
  EXPECT_EQ(file.Handle(), nullptr);
  EXPECT_TRUE(file.Exclusive());
  EXPECT_FALSE(file.ReadOnly());
  EXPECT_FALSE(file.Temporary());
  EXPECT_EQ(file.Owner(), nullptr);
  file.SetAutoDelete(true);
  file.SetTrucExisting(true);
  file.SetReadOnly(true);
  EXPECT_FALSE(file.AutoDelete());
  EXPECT_FALSE(file.TrucExisting());
  file.SetTrucExisting(true);
  EXPECT_FALSE(file.ReadOnly());
  file.SetReadOnly(true);
  file.SetAutoDelete(true);
  EXPECT_FALSE(file.ReadOnly());
  file.SetRandomAccess(true);
  file.SetSequentialScan(true);
  EXPECT_FALSE(file.RandomAccess());
  file.SetRandomAccess(true);
  EXPECT_FALSE(file.SequentialScan());
  file.SetRandomAccess(false);  // False clears nothing else
  EXPECT_FALSE(file.SequentialScan());
  file.SetTemporary(true);
  EXPECT_TRUE(file.Temporary());
}

TEST(Win32FileOptions, ChangesWhileOpenAreAssertions) {
  TestDir dir;
  TWin32File file;
  file.SetFileName(dir.File("a.bin"));
  file.SetActive(true);
  ASSERT_TRUE(file.Active());
  const std::string text = MessageOf<EAssertionFailed>([&] { file.SetReadOnly(true); });
  EXPECT_EQ(text.rfind("Assertion failure (VexWin, line ", 0), 0u) << text;
  EXPECT_FALSE(file.ReadOnly());
  EXPECT_THROW(file.SetFileName("x"), EAssertionFailed);
  EXPECT_THROW(file.SetExclusive(false), EAssertionFailed);
  EXPECT_THROW(file.SetTemporary(true), EAssertionFailed);
  EXPECT_THROW(file.SetAutoDelete(true), EAssertionFailed);
  EXPECT_THROW(file.SetTrucExisting(true), EAssertionFailed);
  EXPECT_THROW(file.SetRandomAccess(true), EAssertionFailed);
  EXPECT_THROW(file.SetSequentialScan(true), EAssertionFailed);
  EXPECT_EQ(file.FileName(), dir.File("a.bin"));
  file.SetActive(false);
  EXPECT_FALSE(file.Active());
  file.SetActive(false);
}

TEST(Win32FileOpen, LogicalErrorsAreWorded) {
  TestDir dir;
  TWin32File file;
  try {
    file.Open();
    FAIL();
  } catch (const EWin32FileError& e) {
    EXPECT_EQ(e.Message(), Gbk("文件名没有指定"));
    EXPECT_EQ(e.ErrorCode, 0u);
  }
  const std::string missing = dir.File("missing.dbf");
  EXPECT_EQ(MessageOf([&] { file.OpenFile(missing, true, true); }), Named("文件 %s 不存在", missing));
  EXPECT_FALSE(dir.Exists("missing.dbf"));
  CreateDirectoryA(dir.File("sub").c_str(), nullptr);
  EXPECT_EQ(MessageOf([&] { file.OpenFile(dir.File("sub"), true, true); }), Named("文件 %s 不存在", dir.File("sub")));
  EXPECT_FALSE(file.Active());
}

TEST(Win32FileOpen, CreatesMissingFilesAndTruncatesOnRequest) {
  TestDir dir;
  {
    TWin32File file;
    file.OpenFile(dir.File("new.bin"), false, true);
    EXPECT_EQ(file.Size(), 0u);
  }
  EXPECT_EQ(dir.Read("new.bin"), "");
  dir.Write("old.bin", "0123456789");
  {
    TWin32File file;
    file.OpenFile(dir.File("old.bin"), false, true);
    EXPECT_EQ(file.Size(), 10u);
    EXPECT_EQ(file.Position(), 0u);
  }
  EXPECT_EQ(dir.Read("old.bin"), "0123456789");
  {
    TWin32File file;
    file.SetFileName(dir.File("old.bin"));
    file.SetTrucExisting(true);
    file.Open();
    EXPECT_EQ(file.Size(), 0u);
  }
  EXPECT_EQ(dir.Read("old.bin"), "");
}

TEST(Win32FileOpen, OpenFileOnAnOpenObjectNamesTheNewName) {
  TestDir dir;
  dir.Write("a.bin", "abc");
  TWin32File file;
  file.OpenFile(dir.File("a.bin"), true, true);
  const std::string other = dir.File("b.bin");
  try {
    file.OpenFile(other, false, false);
    FAIL();
  } catch (const EWin32Error& e) {  // logical file errors are Win32 errors too
    EXPECT_EQ(e.Message(), Named("文件 %s 已经打开", other));
  }
  EXPECT_EQ(file.FileName(), dir.File("a.bin"));
  EXPECT_TRUE(file.ReadOnly());
  char bytes[3];
  file.ReadBuffer(bytes, 3);
  EXPECT_EQ(std::string(bytes, 3), "abc");
}

TEST(Win32FileOpen, ReadersShareButASecondWriterIsRefused) {
  TestDir dir;
  dir.Write("t.dbf", "data");
  TWin32File reader1, reader2;
  reader1.OpenFile(dir.File("t.dbf"), true, true);
  reader2.OpenFile(dir.File("t.dbf"), true, true);
  reader1.Close();
  reader2.Close();

  TWin32File writer1, writer2;
  writer1.OpenFile(dir.File("t.dbf"), false, true);
  try {
    writer2.OpenFile(dir.File("t.dbf"), false, false);
    FAIL() << "second writer opened";
  } catch (const EWin32Error& e) {
    EXPECT_EQ(e.ErrorCode, 32u);
    const std::string head =
        Named("打开文件 %s 错误", dir.File("t.dbf")) + "\r\n" + Gbk("错误号：") + "32\r\n" + Gbk("错误信息：");
    EXPECT_EQ(e.Message().substr(0, head.size()), head);
    EXPECT_GT(e.Message().size(), head.size());
  }
  EXPECT_FALSE(writer2.Active());
}

TEST(Win32FileIo, ClosedAndReadOnlyFilesRefuseAccess) {
  TestDir dir;
  dir.Write("r.bin", "abc");
  TWin32File file;
  file.SetFileName(dir.File("r.bin"));
  char byte = 0;
  const std::string notOpen = Named("文件 %s 没有打开", dir.File("r.bin"));
  EXPECT_EQ(MessageOf([&] { file.Read(&byte, 1); }), notOpen);
  EXPECT_EQ(MessageOf([&] { file.Write(&byte, 1); }), notOpen);
  EXPECT_EQ(MessageOf([&] { file.Seek(0, FILE_BEGIN); }), notOpen);
  EXPECT_EQ(MessageOf([&] { file.SetSize(0); }), notOpen);
  file.ReadBuffer(nullptr, 0);  // nothing at all, even closed
  file.WriteBuffer(nullptr, 0);
  file.SetReadOnly(true);
  file.Open();
  EXPECT_EQ(MessageOf([&] { file.Write("x", 1); }), Named("文件 %s 以只读方式打开，不能写", dir.File("r.bin")));
  EXPECT_EQ(file.Position(), 0u);
}

TEST(Win32FileIo, WritesGrowTheSizeOnlyAtTheEnd) {
  TestDir dir;
  TWin32File file;
  file.OpenFile(dir.File("w.bin"), false, true);
  EXPECT_EQ(file.Write("0123456789", 10), 10u);
  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(file.Position(), 10u);
  file.Seek(4, FILE_BEGIN);
  file.WriteBuffer("ab", 2);
  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(file.Position(), 6u);
  file.Seek(-2, FILE_END);
  file.WriteBuffer("XYZ", 3);
  EXPECT_EQ(file.Size(), 11u);
  file.Close();
  EXPECT_EQ(dir.Read("w.bin"), "0123ab67XYZ");
}

TEST(Win32FileIo, ShortReadsAdvanceByWhatWasRead) {
  TestDir dir;
  dir.Write("s.bin", "0123456789");
  TWin32File file;
  file.OpenFile(dir.File("s.bin"), true, true);
  EXPECT_EQ(file.Seek(-4, FILE_END), 6u);
  char buffer[10];
  EXPECT_EQ(MessageOf([&] { file.ReadBuffer(buffer, 10); }), Named("读文件 %s 长度不对", dir.File("s.bin")));
  EXPECT_EQ(file.Position(), 10u);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(file.Read(buffer, 10), 0u);  // at the end: no error
  EXPECT_EQ(file.Position(), 10u);
}

TEST(Win32FileIo, SeekOrigins) {
  TestDir dir;
  dir.Write("k.bin", "0123456789");
  TWin32File file;
  file.OpenFile(dir.File("k.bin"), true, true);
  EXPECT_EQ(file.Seek(3, FILE_BEGIN), 3u);
  EXPECT_EQ(file.Seek(2, FILE_CURRENT), 5u);
  EXPECT_EQ(file.Seek(0, FILE_CURRENT), 5u);
  EXPECT_EQ(file.Seek(-1, FILE_END), 9u);
  char byte = 0;
  file.ReadBuffer(&byte, 1);
  EXPECT_EQ(byte, '9');
  EXPECT_EQ(MessageOf([&] { file.Seek(0, 3); }), Gbk("参数错误"));
  EXPECT_EQ(file.Position(), 10u);
  try {
    file.Seek(-20, FILE_CURRENT);
    FAIL();
  } catch (const EWin32Error& e) {
    EXPECT_NE(e.ErrorCode, 0u);
    EXPECT_EQ(e.Message().rfind(Named("移动文件 %s 指针错误", dir.File("k.bin")), 0), 0u);
  }
  EXPECT_EQ(file.Position(), 10u);
}

// With the system's file pointer moved behind the object's back, a seek to
// the kept position shows whether it made a system call: the next read
// comes from where the system pointer is.
TEST(Win32FileIo, ASeekToTheKeptPositionMakesNoSystemCall) {
  TestDir dir;
  dir.Write("p.bin", "0123456789");
  TWin32File file;
  file.OpenFile(dir.File("p.bin"), true, true);
  file.Seek(4, FILE_BEGIN);
  SetFilePointer(file.Handle(), 8, nullptr, FILE_BEGIN);
  EXPECT_EQ(file.Seek(4, FILE_BEGIN), 4u);
  EXPECT_EQ(file.Seek(0, FILE_CURRENT), 4u);
  EXPECT_EQ(file.Seek(-6, FILE_END), 4u);
  char byte = 0;
  file.ReadBuffer(&byte, 1);
  EXPECT_EQ(byte, '8');
  // Any other target is a real seek.
  file.Seek(2, FILE_BEGIN);
  file.ReadBuffer(&byte, 1);
  EXPECT_EQ(byte, '2');
}

TEST(Win32FileIo, SetSizeTruncatesAndLeavesThePointerThere) {
  TestDir dir;
  dir.Write("z.bin", "0123456789");
  TWin32File file;
  file.OpenFile(dir.File("z.bin"), false, true);
  file.SetSize(4);
  EXPECT_EQ(file.Size(), 4u);
  EXPECT_EQ(file.Position(), 4u);
  file.WriteBuffer("!", 1);
  file.Close();
  EXPECT_EQ(dir.Read("z.bin"), "0123!");
}

TEST(Win32FileEvents, HooksRunInOrderWithTheFileAsSender) {
  TestDir dir;
  std::vector<std::string> calls;
  TWin32File file;
  file.OnBeforeOpen = [&](TWin32File* sender) { calls.push_back(sender == &file ? "before-open" : "?"); };
  file.OnAfterOpen = [&](TWin32File* sender) { calls.push_back(sender->Active() ? "after-open" : "?"); };
  file.OnBeforeClose = [&](TWin32File* sender) { calls.push_back(sender->Active() ? "before-close" : "?"); };
  file.OnAfterClose = [&](TWin32File* sender) { calls.push_back(sender->Active() ? "?" : "after-close"); };
  file.OpenFile(dir.File("e.bin"), false, true);
  file.Close();
  EXPECT_EQ(calls, (std::vector<std::string>{"before-open", "after-open", "before-close", "after-close"}));
}

TEST(Win32FileEvents, AssignSettingsCopiesNameOptionsAndHandlers) {
  TestDir dir;
  int opened = 0;
  TWin32File source;
  source.SetFileName(dir.File("c.bin"));
  source.SetTemporary(true);
  source.SetSequentialScan(true);
  source.SetExclusive(false);
  source.OnAfterOpen = [&](TWin32File*) { ++opened; };
  TWin32File copy;
  copy.AssignSettings(nullptr);
  copy.AssignSettings(&source);
  EXPECT_EQ(copy.FileName(), dir.File("c.bin"));
  EXPECT_TRUE(copy.Temporary());
  EXPECT_TRUE(copy.SequentialScan());
  EXPECT_FALSE(copy.Exclusive());
  copy.Open();
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(source.Active());
  TWin32File other;
  EXPECT_THROW(copy.AssignSettings(&other), EAssertionFailed);
  EXPECT_EQ(copy.FileName(), dir.File("c.bin"));
}

TEST(Win32FileEvents, AutoDeleteRemovesTheFileOnClose) {
  TestDir dir;
  TWin32File file;
  file.SetFileName(dir.File("gone.tmp"));
  file.SetAutoDelete(true);
  file.Open();
  file.WriteBuffer("x", 1);
  EXPECT_TRUE(dir.Exists("gone.tmp"));
  file.Close();
  EXPECT_FALSE(dir.Exists("gone.tmp"));
}

TEST(VexWinHelpers, IsExistingFile) {
  TestDir dir;
  dir.Write("a1.txt", "x");
  CreateDirectoryA(dir.File("sub").c_str(), nullptr);
  EXPECT_TRUE(vexlib::IsExistingFile(dir.File("a1.txt")));
  EXPECT_TRUE(vexlib::IsExistingFile(dir.File("A1.TXT")));
  EXPECT_TRUE(vexlib::IsExistingFile(dir.File("a?.txt")));
  EXPECT_FALSE(vexlib::IsExistingFile(dir.File("sub")));
  EXPECT_FALSE(vexlib::IsExistingFile(dir.File("none.txt")));
  EXPECT_FALSE(vexlib::IsExistingFile(""));
}

TEST(VexWinHelpers, ExcludeTrailingSlashJudgesWholeCharacters) {
  EXPECT_EQ(vexlib::ExcludeTrailingSlash("C:\\"), "C:");
  EXPECT_EQ(vexlib::ExcludeTrailingSlash("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(vexlib::ExcludeTrailingSlash("C:\\dir"), "C:\\dir");
  EXPECT_EQ(vexlib::ExcludeTrailingSlash(""), "");
  const std::string gbkEndingIn5C = "C:\\\x81\x5C";  // the second byte of a double-byte character
  EXPECT_EQ(vexlib::ExcludeTrailingSlash(gbkEndingIn5C), gbkEndingIn5C);
  EXPECT_EQ(vexlib::ExcludeTrailingSlash(gbkEndingIn5C + "\\"), gbkEndingIn5C);
}

TEST(VexWinHelpers, DeleteDirFilesAndDeleteDirTree) {
  TestDir dir;
  const std::string root = dir.File("root");
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\sub").c_str(), nullptr);
  dir.Write("root\\a.txt", "a");
  dir.Write("root\\sub\\b.txt", "b");
  vexlib::DeleteDirFiles(root + "\\", false);
  EXPECT_FALSE(dir.Exists("root\\a.txt"));
  EXPECT_TRUE(dir.Exists("root\\sub\\b.txt"));
  vexlib::DeleteDirFiles("", true);
  dir.Write("root\\sub\\locked.txt", "c");
  SetFileAttributesA(dir.File("root\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(vexlib::DeleteDirTree(root));
  EXPECT_TRUE(dir.Exists("root\\sub\\locked.txt"));
  EXPECT_FALSE(dir.Exists("root\\sub\\b.txt"));
  SetFileAttributesA(dir.File("root\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(vexlib::DeleteDirTree(root));
  EXPECT_FALSE(dir.Exists("root"));
}

}  // namespace
