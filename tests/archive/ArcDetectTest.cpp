// Archive type detection on plain files, self-extractors and other formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ArcDirTestSupport.h"

using arcdir_test::ScratchTest;
using arcdir_test::TProbe;

namespace {

class ArcDetect : public ScratchTest {
 protected:
  uint32_t DirectoryOffsetOf(const std::string& path) {
    const auto bytes = ReadBytes(path);
    const size_t end = FindLast(bytes, END_OF_CENTRAL_DIR_SIGNATURE);
    return end == std::string::npos ? 0 : Get32(bytes, end + 16);
  }
  // Builds a tiny Windows program (optionally with string resources).
  bool MakeExe(const std::string& exe, const std::string& strings = std::string()) {
    WriteFile("stub.c", "int main(void) { return 0; }\n");
    std::string objects = "stub.c";
    if (!strings.empty()) {
      WriteFile("stub.rc", "STRINGTABLE\nBEGIN\n" + strings + "END\n");
      if (!Run("i686-w64-mingw32-windres stub.rc -O coff -o stub.res")) return false;
      objects += " stub.res";
    }
    return Run("i686-w64-mingw32-gcc -s -o '" + exe + "' " + objects);
  }
  static void Append(const std::string& to, const std::string& from) {
    std::ofstream out(to, std::ios::binary | std::ios::app);
    std::ifstream in(from, std::ios::binary);
    out << in.rdbuf();
  }
};

}  // namespace

TEST_F(ArcDetect, NothingToDetect) {
  TProbe probe;
  probe.SetArchiveFile("");
  EXPECT_EQ(probe.ArcType(), atNA);
  EXPECT_EQ(probe.ArchiveFile(), "");
  probe.SetArchiveFile(Win("missing.zip"));
  EXPECT_EQ(probe.ArcType(), atFileOpenErr);
  EXPECT_EQ(probe.ArchiveDate(), 29221.0);
  WriteFile("small.zip", std::string(19, 'x'));
  probe.SetArchiveFile(Win("small.zip"));
  EXPECT_EQ(probe.ArcType(), atFileOpenErr);
  WriteFile("junk.bin", std::string(20, 'x'));
  probe.SetArchiveFile(Win("junk.bin"));
  EXPECT_EQ(probe.ArcType(), atUnknown);
  EXPECT_EQ(probe.ArchiveDate(), 29221.0);
  // A component being loaded or designed detects nothing.
  probe.SetComponentState(csDesigning);
  probe.SetArchiveFile(Win("junk.bin"));
  EXPECT_EQ(probe.ArcType(), atNA);
  EXPECT_EQ(probe.ArchiveFile(), "");
}

TEST_F(ArcDetect, PlainZipWithAndWithoutComment) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  TProbe probe;
  // Slashes become backslashes on assignment.
  std::string slashed = Win("a.zip");
  for (char& c : slashed)
    if (c == '\\') c = '/';
  probe.SetArchiveFile(slashed);
  EXPECT_EQ(probe.ArchiveFile(), Win("a.zip"));
  EXPECT_EQ(probe.ArcType(), atZip);
  EXPECT_EQ(probe.StartOffset(), static_cast<int32_t>(DirectoryOffsetOf("a.zip")));
  EXPECT_EQ(probe.HeaderFlags(), 0x19);
  EXPECT_GT(probe.ArchiveDate(), 40000.0);  // dated now, not 1980
  EXPECT_EQ(probe.ArchiveSize(), static_cast<int32_t>(std::filesystem::file_size("a.zip")));
  EXPECT_FALSE(probe.fArcFile.IsOpen());

  WriteFile("b.txt", "bravo");
  ASSERT_TRUE(Run("printf 'a comment' | zip -X -q -0 -z c.zip b.txt"));
  probe.SetArchiveFile(Win("c.zip"));
  EXPECT_EQ(probe.ArcType(), atZip);
  EXPECT_EQ(probe.StartOffset(), 0);
  EXPECT_EQ(probe.HeaderFlags(), 0x10);
  // With an allowance the end record is found on the plain-file path.
  probe.SetZipCmntBufSize(2000);
  probe.SetArcType(atNA);  // detects again
  EXPECT_EQ(probe.ArcType(), atZip);
  EXPECT_EQ(probe.StartOffset(), static_cast<int32_t>(DirectoryOffsetOf("c.zip")));
  EXPECT_EQ(probe.HeaderFlags(), 0x19);
}

TEST_F(ArcDetect, JarNamesAndOtherZipMakers) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  std::filesystem::copy_file("a.zip", "lib.jar");
  std::filesystem::copy_file("a.zip", "LIB2.JAR");
  TProbe probe;
  probe.SetArchiveFile(Win("lib.jar"));
  EXPECT_EQ(probe.ArcType(), atJar);
  probe.SetArchiveFile(Win("LIB2.JAR"));
  EXPECT_EQ(probe.ArcType(), atJar);

  if (Run("7z a -mx0 -tzip seven.zip a.txt")) {
    probe.SetArchiveFile(Win("seven.zip"));
    EXPECT_EQ(probe.ArcType(), atZip);
    EXPECT_EQ(probe.HeaderFlags(), 0x19);
  }
  if (PythonZip("py.zip", "z.writestr('x', 'y')\nz.comment = b'note'")) {
    probe.SetArchiveFile(Win("py.zip"));
    EXPECT_EQ(probe.ArcType(), atZip);
    EXPECT_EQ(probe.HeaderFlags(), 0x10);
  }
}

TEST_F(ArcDetect, LeadingZeroBytesAreSkipped) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  std::vector<uint8_t> bytes(100, 0);
  const auto zip = ReadBytes("a.zip");
  bytes.insert(bytes.end(), zip.begin(), zip.end());
  WriteBytes("zeros.zip", bytes);
  TProbe probe;
  probe.SetArchiveFile(Win("zeros.zip"));
  EXPECT_EQ(probe.ArcType(), atZip);
  EXPECT_EQ(probe.StartOffset(), 100);
  EXPECT_TRUE(probe.HeaderFlags() & 0x10);
  EXPECT_FALSE(probe.HeaderFlags() & 0x08);
}

TEST_F(ArcDetect, SelfExtractorWithFixedOffsets) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  if (!MakeExe("stub.exe")) GTEST_SKIP() << "mingw missing";
  std::filesystem::copy_file("stub.exe", "sfx.exe");
  Append("sfx.exe", "a.zip");
  ASSERT_TRUE(Run("zip -A sfx.exe"));
  TProbe probe;
  probe.SetArchiveFile(Win("sfx.exe"));
  EXPECT_EQ(probe.ArcType(), atZipExe);
  EXPECT_EQ(probe.StartOffset(), static_cast<int32_t>(DirectoryOffsetOf("sfx.exe")));
  EXPECT_EQ(probe.HeaderFlags(), 0x19);
}

TEST_F(ArcDetect, SelfExtractorNamedByStringResource) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  if (!MakeExe("stub.exe", "1, \"60000\"\n")) GTEST_SKIP() << "mingw missing";
  ASSERT_LT(std::filesystem::file_size("stub.exe"), 60000u);
  std::filesystem::resize_file("stub.exe", 60000);
  Append("stub.exe", "a.zip");  // offsets not fixed: only the resource leads there
  TProbe probe;
  probe.SetArchiveFile(Win("stub.exe"));
  EXPECT_EQ(probe.ArcType(), atZipExe);
  EXPECT_EQ(probe.StartOffset(), 60000);
  EXPECT_EQ(probe.HeaderFlags(), 0x10);
}

TEST_F(ArcDetect, ArchiveRightAfterTheDosImage) {
  // "MZ", 16 bytes on the last page, 2 pages: the image ends at 528.
  std::vector<uint8_t> bytes(2000, 0x11);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[2] = 16;
  bytes[3] = 0;
  bytes[4] = 2;
  bytes[5] = 0;
  const std::vector<uint8_t> arj = {0x00, 0x00, 0x60, 0xEA, 0x60, 0xEA};
  std::copy(arj.begin(), arj.end(), bytes.begin() + 528);
  WriteBytes("arj.exe", bytes);
  TProbe probe;
  probe.SetArchiveFile(Win("arj.exe"));
  EXPECT_EQ(probe.ArcType(), atArjExe);
  EXPECT_EQ(probe.StartOffset(), 531);

  std::fill(bytes.begin() + 528, bytes.begin() + 540, 0x11);
  const std::string rar = "Rar!";
  std::copy(rar.begin(), rar.end(), bytes.begin() + 528);
  WriteBytes("rar.exe", bytes);
  probe.SetArchiveFile(Win("rar.exe"));
  EXPECT_EQ(probe.ArcType(), atRarExe);
  EXPECT_EQ(probe.StartOffset(), 529);
}

TEST_F(ArcDetect, EmbeddedArchiveFoundByScan) {
  // An executable without an end record: the scan from 17000 finds the
  // first local header.
  std::vector<uint8_t> bytes(40000, 0x11);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 30001, LOCAL_FILE_HEADER_SIGNATURE);
  WriteBytes("scan.exe", bytes);
  TProbe probe;
  probe.SetArchiveFile(Win("scan.exe"));
  EXPECT_EQ(probe.ArcType(), atZipExe);
  EXPECT_EQ(probe.StartOffset(), 30001);
  EXPECT_EQ(probe.HeaderFlags(), 0x10);

  bytes[30001] = 0x11;
  const std::string lha = "-lh5-";
  std::copy(lha.begin(), lha.end(), bytes.begin() + 20000);
  WriteBytes("lha.exe", bytes);
  probe.SetArchiveFile(Win("lha.exe"));
  EXPECT_EQ(probe.ArcType(), atLhaExe);
  EXPECT_EQ(probe.StartOffset(), 19999);

  bytes.resize(17000);  // nothing after the scan start
  WriteBytes("none.exe", bytes);
  probe.SetArchiveFile(Win("none.exe"));
  EXPECT_EQ(probe.ArcType(), atUnknown);
  EXPECT_EQ(probe.StartOffset(), 0);
}

TEST_F(ArcDetect, UueTarAceAndGzip) {
  WriteFile("a.uue", "begin 644 a.txt\n%86QP:&$*\n`\nend\n");
  TProbe probe;
  probe.SetArchiveFile(Win("a.uue"));
  EXPECT_EQ(probe.ArcType(), atUue);
  EXPECT_EQ(probe.StartOffset(), 1);
  WriteFile("b.uue", "some text before it\nbegin 644 a.txt\n`\nend\n");
  probe.SetArchiveFile(Win("b.uue"));
  EXPECT_EQ(probe.ArcType(), atUue);
  WriteFile("c.txt", "nothing to begin with here, really\n");
  probe.SetArchiveFile(Win("c.txt"));
  EXPECT_EQ(probe.ArcType(), atUnknown);

  WriteFile("a.txt", std::string(600, 'a'));
  if (Run("tar --format=ustar -cf a.tar a.txt")) {
    probe.SetArchiveFile(Win("a.tar"));
    EXPECT_EQ(probe.ArcType(), atTar);
    auto bytes = ReadBytes("a.tar");
    bytes[0] ^= 0x01;  // the checksum no longer fits
    WriteBytes("bad.tar", bytes);
    probe.SetArchiveFile(Win("bad.tar"));
    EXPECT_EQ(probe.ArcType(), atUnknown);
  }

  std::string ace(40, 'z');
  ace.replace(7, 7, "**ACE**");
  WriteFile("a.ace", ace);
  probe.SetArchiveFile(Win("a.ace"));
  EXPECT_EQ(probe.ArcType(), atACE);

  if (Run("gzip -k a.txt")) {
    probe.SetArchiveFile(Win("a.txt.gz"));
    EXPECT_EQ(probe.ArcType(), atGZip);
  }
}

TEST(IdentifySignature, EveryRowOfTheTable) {
  TProbe probe;
  struct Row {
    uint32_t d;
    TArcType inExe, inFile;
  };
  const Row rows[] = {
      {0x04034B50, atZipExe, atZip},         {0x12344B50, atZipExe, atZip},
      {0x34474B50, atNA, atNA},              {0x4643534D, atUnsupported, atCab},
      {0x07054842, atBhExe, atBh},           {0x8C655D13, atUnsupported, atMsGZ},
      {0x00004148, atUnsupported, atHa},     {0x00008B1F, atUnsupported, atGZip},
      {0x00009D1F, atUnsupported, atGZip},   {0x00009E1F, atUnsupported, atGZip},
      {0x00001E1F, atUnsupported, atGZip},   {0x00002125, atUnsupported, atGZip},
      {0x0000A01F, atUnsupported, atGZip},   {0x0000EA60, atArjExe, atArj},
      {0x00004F5A, atUnsupported, atZoo},    {0x6C2D0000, atLhaExe, atLha},
      {0x21726152, atRarExe, atRar},         {0x00000A1A, atPakExe, atPak},
      {0x00000B1A, atPakExe, atPak},         {0x00001E1A, atUnsupported, atArc},
      {0x0000021A, atUnsupported, atArc},    {0x0000081A, atArcExe, atArc},
      {0x0000091A, atArcExe, atArc},         {0x12345678, atUnknown, atUnknown},
  };
  for (const Row& row : rows) {
    int32_t offset = 1;
    EXPECT_EQ(probe.IdentifySignature(smInsideExecutable, row.d, offset), row.inExe) << std::hex << row.d;
    EXPECT_EQ(probe.IdentifySignature(smPlainFile, row.d, offset), row.inFile) << std::hex << row.d;
    EXPECT_EQ(offset, 1);
    if (row.inExe != atUnknown && row.inExe != row.inFile) {
      EXPECT_EQ(probe.IdentifySignature(2, row.d, offset), atNA) << std::hex << row.d;
    }
  }
  for (uint32_t d : {0x000092B7u, 0x0000DFB7u}) {
    int32_t offset = 1;
    EXPECT_EQ(probe.IdentifySignature(smPlainFile, d, offset), atArcExe);
    EXPECT_EQ(offset, 7717);
  }
  // The spanning marker on a fixed drive is a plain ZIP read by local scan;
  // a first central header needs a spanned volume label.
  int32_t offset = 1;
  probe.SetArchiveFile("");
  EXPECT_EQ(probe.IdentifySignature(smPlainFile, 0x08074B50, offset), atZip);
  EXPECT_EQ(probe.HeaderFlags(), 0x10);
  EXPECT_EQ(probe.IdentifySignature(smInsideExecutable, 0x02014B50, offset), atNA);
  EXPECT_TRUE(IsRecognised(atZip));
  for (TArcType type : {atNA, atUnsupported, atFileOpenErr, atUnknown}) EXPECT_FALSE(IsRecognised(type));
  EXPECT_EQ(static_cast<int>(atZoo), 29);
  EXPECT_EQ(static_cast<int>(atZip), 26);
}

TEST(ArcDetectNaming, VolumeLettersFromExtensions) {
  TProbe probe;
  EXPECT_EQ(probe.MakeVolumeName("C:\\d\\a.rar", -1), "");
  probe.fArcType = atRar;
  probe.fVolumeLetter = 'r';
  probe.fVolumeCount = 0;
  EXPECT_EQ(probe.MakeVolumeName("C:\\d\\a.b.rar", 3), "C:\\d\\a.r03");
  EXPECT_EQ(probe.MakeVolumeName("C:\\d\\a.rar", 12), "C:\\d\\a.r12");
  probe.fVolumeCount = 100;
  EXPECT_EQ(probe.MakeVolumeName("C:\\d\\a.rar", 120), "C:\\d\\a.120");
}
