#include "archive/ArcHelpers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "ArcDirTestSupport.h"
#include "archive/ArcCrc.h"
#include "archive/MessageTable.h"
#include "archive/TempFileStream.h"
#include "archive/ZipRecords.h"
#include "rtl/WinPath.h"

using namespace archive;

TEST(MessageTable, TextsByIdAndUnknownIds) {
  EXPECT_EQ(MessageText(25151), "File fails CRC check");
  EXPECT_EQ(MessageText(25326), "Unsupported compression method");
  EXPECT_EQ(MessageText(25248), "Inconsistant local header");
  EXPECT_EQ(MessageText(25102), "File is read-only");
  EXPECT_EQ(MessageText(26899), "Nothing to do");
  EXPECT_EQ(MessageText(25157), "is not accessible.");
  EXPECT_EQ(MessageText(25240), "Line found before 'BEGIN'");
  EXPECT_EQ(MessageText(26000), "All_files (*.*)|*.*");
  EXPECT_EQ(MessageText(26001),
            "ALL Archives |*.ace;*.arc;*.arj;*.bh;*.cab;*.enc;*.exe;*.gz;*.ha;*.jar;*.lha;*.lzh;*.pak;*.rar;*.tar;"
            "*.uue;*.xxe;*.z;*.zip;*.zoo");
  EXPECT_EQ(MessageText(25101), "");
  EXPECT_EQ(MessageText(26900), "");
  EXPECT_EQ(MessageText(0), "");
  // Every id the component raises has its text.
  for (int32_t id : {E_BADHEADER, E_BADBLOCK, E_WRITE, E_CLOSE, E_CRCERROR, E_UNABLETOCREATEDIR, E_NOTACCESSIBLE,
                     E_FILENOTFOUND, E_FOPEN, E_READERROR, E_INVALIDARCTYPE, E_INVALIDFN, E_BADLOCALHEADER,
                     E_REQUIREDEVENT, E_SEEKERROR, E_UNSUPPORTEDMETHOD, E_INVALIDPASSWORD, E_PASSWORDFAILED})
    EXPECT_FALSE(MessageText(id).empty()) << id;
}

TEST(MessageTable, RaisingCarriesTextAndId) {
  try {
    RaiseMessage(25292);
    FAIL() << "nothing raised";
  } catch (const E_RAISE& e) {
    EXPECT_EQ(e.Message(), "Seek error");
    EXPECT_EQ(e.MessageId, 25292);
    EXPECT_STREQ(e.ClassName(), "E_RAISE");
  }
  try {
    RaiseMessageAs<EFOpenError>(25235);
    FAIL() << "nothing raised";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Error opening file");
  }
}

TEST(ArcCrc, Crc32AndCrc16) {
  uint32_t crc = 0xFFFFFFFFu;
  Crc32Block("abc", 3, crc);
  EXPECT_EQ(crc ^ 0xFFFFFFFFu, 0x352441C2u);
  uint32_t stepped = 0xFFFFFFFFu;
  for (char c : std::string("abc")) stepped = Crc32Step(static_cast<uint8_t>(c), stepped);
  EXPECT_EQ(stepped, crc);
  // CRC-16/ARC check value.
  uint32_t crc16 = 0;
  Crc16Block("123456789", 9, crc16);
  EXPECT_EQ(crc16, 0xBB3Du);
  EXPECT_EQ(kCrc16Table[1], 0xC0C1);
}

TEST(ArcHelpers, PathText) {
  EXPECT_EQ(SlashToBackslash("a/b/c\\d"), "a\\b\\c\\d");
  EXPECT_EQ(AsciiUpperCase("a.jar\xE0"), "A.JAR\xE0");
}

TEST(ArcHelpers, SmallTextHelpers) {
  std::string text = "PKBACK# 001";
  EXPECT_EQ(SplitAtDelimiter(text, "# "), "PKBACK");
  EXPECT_EQ(text, "001");
  EXPECT_EQ(SplitAtDelimiter(text, ";"), "001");
  EXPECT_EQ(text, "");
  EXPECT_TRUE(IsAllDigits(""));
  EXPECT_TRUE(IsAllDigits("0123456789"));
  EXPECT_FALSE(IsAllDigits("0x3"));
  EXPECT_EQ(OctalToInt("0000644 "), 0644);
  EXPECT_EQ(OctalToInt(" 1 2x8 "), 012);
  EXPECT_EQ(OctalToInt(""), 0);
  EXPECT_EQ(ExtensionPos("name.tar.gz"), 4);
  EXPECT_EQ(ExtensionPos("name"), 4);
}

TEST(ArcHelpers, PercentOfRoundsHalfToEvenWithinRange) {
  EXPECT_EQ(PercentOf(5, 0), 0);
  EXPECT_EQ(PercentOf(5, -3), 0);
  EXPECT_EQ(PercentOf(-1, 4), 0);
  EXPECT_EQ(PercentOf(1, 3), 33);
  EXPECT_EQ(PercentOf(2, 3), 67);
  EXPECT_EQ(PercentOf(1, 8), 12);   // 12.5
  EXPECT_EQ(PercentOf(3, 8), 38);   // 37.5
  EXPECT_EQ(PercentOf(5, 4), 100);
  EXPECT_EQ(PercentOf(4, 4), 100);
}

class ArcHelpersFiles : public arcdir_test::ScratchTest {};

TEST_F(ArcHelpersFiles, DirectoryChainAndExistence) {
  EXPECT_TRUE(DirExistsOrEmpty(""));
  EXPECT_TRUE(DirExistsOrEmpty(Win("")));
  EXPECT_FALSE(DirExistsOrEmpty(Win("a")));
  CreateDirectoryChain(Win("a\\b\\c\\"));
  EXPECT_TRUE(DirExistsOrEmpty(Win("a\\b\\c")));
  CreateDirectoryChain(Win("a\\b\\c"));  // exists: nothing to do
  // The trailing 0x5C of a double-byte character is part of the name.
  CreateDirectoryChain(Win("d\\x\x81\x5C"));
  const DWORD attributes = GetFileAttributesA(Win("d\\x\x81\x5C").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  // A file where a directory should be: not signalled here.
  WriteFile("f", "x");
  EXPECT_NO_THROW(CreateDirectoryChain(Win("f\\g")));
  EXPECT_FALSE(DirExistsOrEmpty(Win("f\\g")));
  try {
    CreateDirectoryChain("");
    FAIL() << "nothing raised";
  } catch (const E_RAISE& e) {
    EXPECT_EQ(e.Message(), "Unable to create directory");
  }
}

TEST_F(ArcHelpersFiles, TempFilesAndTheirStream) {
  const std::string name = TempFileName();
  EXPECT_NE(rtl::ExtractFileName(name).find("orx"), std::string::npos) << name;
  EXPECT_NE(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(name.c_str());
  const std::string custom = TempFileName("vxt");
  EXPECT_EQ(rtl::ExtractFileName(custom).rfind("vxt", 0), 0u) << custom;
  DeleteFileA(custom.c_str());

  std::string streamName;
  {
    TTempFileStream stream;
    streamName = stream.FileName();
    EXPECT_NE(rtl::ExtractFileName(streamName).find("orx"), std::string::npos);
    EXPECT_EQ(stream.BlockWrite("hello", 5), 5);
    stream.Seek(1);
    char back[4] = {};
    EXPECT_EQ(stream.BlockRead(back, 4), 4);
    EXPECT_EQ(std::string(back, 4), "ello");
  }
  EXPECT_EQ(GetFileAttributesA(streamName.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TorxFileList, OwnsCopiesInOrder) {
  TorxFileList list;
  list.SetUp();
  EXPECT_TRUE(list.IsSetUp());
  TEntryInfo entry;
  entry.Method = 8;
  list.Add(entry);
  entry.Method = 0;
  entry.PackedSize = 7;
  list.Add(entry);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0).Method, 8u);
  EXPECT_EQ(list.Items(1).PackedSize, 7u);
  list.Items(1).PackedSize = 5;  // read and changed in place
  EXPECT_EQ(list.Items(1).PackedSize, 5u);
  EXPECT_THROW(list.Items(2), EAssertionFailed);
  EXPECT_THROW(list.Items(-1), EAssertionFailed);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add(entry);
  list.TearDown();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.IsSetUp());
}
