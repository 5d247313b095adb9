// Options, target paths, name patterns, error reporting and progress of the
// shared ZIP layer.
#include "archive/ZipCommon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArcDirTestSupport.h"
#include "rtl/Exception.h"

using arcdir_test::ScratchTest;
using arcdir_test::TProbe;

namespace {

class ZipCommon : public ScratchTest {};

struct ErrorCall {
  std::string fileName, extra, volume;
  int32_t id;
};

}  // namespace

TEST(ZipCommonOptions, DefaultsOfANewComponent) {
  TZipCommon component;
  EXPECT_TRUE(component.ConfirmOverwrites);
  EXPECT_EQ(component.OverwriteMode, omOverwrite);
  EXPECT_EQ(component.PasswordAttempts, 3);
  EXPECT_TRUE(component.UseStoredDirs);
  EXPECT_TRUE(component.Passwords.empty());
  EXPECT_TRUE(component.FileSpec().empty());
  EXPECT_EQ(component.ExtractDir(), "");
  EXPECT_EQ(component.ArcType(), atNA);
  EXPECT_FALSE(component.Cancelled());
  EXPECT_FALSE(component.About().empty());
  component.SetAbout("ignored");
  EXPECT_NE(component.About(), "ignored");
  EXPECT_TRUE(component.FileAttr().ftAnyFile());
  EXPECT_EQ(component.OutputMode, 0);
  EXPECT_EQ(component.ReadSource, 0);
}

TEST(ZipCommonOptions, ExtractDirAndFileSpecSetters) {
  TZipCommon component;
  component.SetExtractDir("D:/out/sub");
  EXPECT_EQ(component.ExtractDir(), "D:\\out\\sub\\");
  component.SetExtractDir("D:\\out\\");
  EXPECT_EQ(component.ExtractDir(), "D:\\out\\");
  // A last character whose second byte is 0x5C ("乗" in GBK) still gets its backslash.
  component.SetExtractDir("D:\\\x81\x5C");
  EXPECT_EQ(component.ExtractDir(), "D:\\\x81\x5C\\");
  component.SetExtractDir("");  // no archive: nothing to take it from
  EXPECT_EQ(component.ExtractDir(), "");

  std::vector<std::string> lines = {"", "dir/a.txt", "*.TXT", "C:\\x\\b?.*"};
  component.SetFileSpec(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"a.txt", "*.TXT", "b?.*"}));
  EXPECT_EQ(component.FileSpec(), lines);
  component.FileSpec().push_back("dir/kept");  // direct lines stay as they are
  EXPECT_EQ(component.FileSpec().back(), "dir/kept");
}

TEST(ZipCommonOptions, FileSpecSelection) {
  TZipCommon component;
  EXPECT_FALSE(component.MatchesFileSpec("a.txt", false));
  component.FileSpec() = {"*.*"};
  EXPECT_TRUE(component.MatchesFileSpec("noext", false));
  component.FileSpec() = {"*.txt"};
  EXPECT_TRUE(component.MatchesFileSpec("doc\\a.txt", false));
  component.FileSpec() = {"a.txt"};
  EXPECT_FALSE(component.MatchesFileSpec("doc\\a.txt", false));
  EXPECT_TRUE(component.MatchesFileSpec("doc\\a.txt", true));
  EXPECT_TRUE(component.MatchesFileSpec("A.TXT", false));
  EXPECT_TRUE(TZipCommon::WildcardMatch("*.txt", "b.txt", false));
  EXPECT_TRUE(TZipCommon::WildcardMatch("b.txt", "*.txt", false));
  EXPECT_FALSE(TZipCommon::WildcardMatch("b.txt", "*.doc", false));
}

TEST(ZipCommonPaths, TargetPathRules) {
  TZipCommon component;
  component.SetExtractDir("D:\\out");
  component.BuildTargetPath("C:/data/a.txt");
  EXPECT_EQ(component.TargetPath(), "D:\\out\\data\\a.txt");
  component.BuildTargetPath("/data/a.txt");
  EXPECT_EQ(component.TargetPath(), "D:\\out\\data\\a.txt");
  component.UseStoredDirs = false;
  component.BuildTargetPath("C:\\data\\a.txt");
  EXPECT_EQ(component.TargetPath(), "D:\\out\\a.txt");
  component.BuildTargetPath("\\data\\a.txt");
  EXPECT_EQ(component.TargetPath(), "D:\\out\\a.txt");
  component.UseStoredDirs = true;
  component.SetExtractDir("out");
  component.BuildTargetPath("data/a.txt");
  EXPECT_EQ(component.TargetPath(), "\\out\\data\\a.txt");
  component.BuildTargetPath("");
  EXPECT_EQ(component.TargetPath(), "");
}

TEST(ZipCommonDates, DosDatesConvert) {
  TZipCommon component;
  EXPECT_EQ(component.DosDateToDateTime(0), 29221.0);
  const int32_t valid = (2001 - 1980) << 25 | 2 << 21 | 3 << 16 | 12 << 11 | 30 << 5 | 5;
  rtl::TDateTime expected = rtl::EncodeDateTime(2001, 2, 3, 12, 30, 10, 0);
  EXPECT_NEAR(component.DosDateToDateTime(valid), expected, 1e-9);
  const int32_t badMonth = (2001 - 1980) << 25 | 13 << 21 | 3 << 16;
  EXPECT_EQ(component.DosDateToDateTime(badMonth), 29221.0);
}

TEST_F(ZipCommon, ExtractDirFromArchiveAndCurrentDirectory) {
  WriteFile("a.zip", std::string(30, 'x'));
  TZipCommon component;
  component.SetArchiveFile(Win("a.zip"));
  component.BuildTargetPath("x/y.txt");
  EXPECT_EQ(component.ExtractDir(), Win(""));
  EXPECT_EQ(component.TargetPath(), Win("x\\y.txt"));
  // A bare archive name has no directory: the current one is taken.
  TZipCommon bare;
  bare.SetArchiveFile("a.zip");
  bare.BuildTargetPath("y.txt");
  EXPECT_EQ(bare.ExtractDir(), Win(""));
}

TEST_F(ZipCommon, OpenTargetMakesDirectoriesAndReplacesReadOnlyFiles) {
  TZipCommon component;
  TByteFile output;
  ASSERT_TRUE(component.OpenTarget(output, Win("new\\deep\\a.txt"), "new/deep/a.txt"));
  EXPECT_EQ(output.BlockWrite("abc", 3), 3);
  output.Close();
  EXPECT_EQ(ReadBytes("new/deep/a.txt").size(), 3u);

  WriteFile("ro.txt", "old content");
  ASSERT_TRUE(SetFileAttributesA(Win("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(component.OpenTarget(output, Win("ro.txt"), "ro.txt"));
  output.Close();
  EXPECT_TRUE(ReadBytes("ro.txt").empty());
  EXPECT_FALSE(GetFileAttributesA(Win("ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

  // A directory where the file should go cannot be opened.
  CreateDirectoryA(Win("taken").c_str(), nullptr);
  EXPECT_FALSE(component.OpenTarget(output, Win("taken"), "taken"));
}

TEST_F(ZipCommon, OpenTargetMakesTheLastFolderAgainWhenItVanished) {
  TZipCommon component;
  TByteFile output;
  ASSERT_TRUE(component.OpenTarget(output, Win("gone\\a.txt"), "gone/a.txt"));
  output.Close();
  ASSERT_TRUE(DeleteFileA(Win("gone\\a.txt").c_str()));
  ASSERT_TRUE(RemoveDirectoryA(Win("gone").c_str()));
  ASSERT_TRUE(component.OpenTarget(output, Win("gone\\b.txt"), "gone/b.txt"));
  output.Close();
  EXPECT_NE(GetFileAttributesA(Win("gone\\b.txt").c_str()), INVALID_FILE_ATTRIBUTES);

  // A file where the folder was cannot hold the target.
  ASSERT_TRUE(DeleteFileA(Win("gone\\b.txt").c_str()));
  ASSERT_TRUE(RemoveDirectoryA(Win("gone").c_str()));
  WriteFile("gone", "x");
  EXPECT_FALSE(component.OpenTarget(output, Win("gone\\c.txt"), "gone/c.txt"));
}

TEST(ZipCommonErrors, RaiseAndNotifyReachOnError) {
  TZipCommon component;
  std::vector<ErrorCall> calls;
  component.OnError = [&calls, &component](TObject* sender, const std::string& fn, const std::string& extra,
                                           const std::string& volume, int32_t id) {
    EXPECT_EQ(sender, &component);
    calls.push_back({fn, extra, volume, id});
  };
  try {
    component.RaiseError("C:\\out\\a.txt", "", "0", 25235);
    FAIL() << "nothing raised";
  } catch (const E_RAISE& e) {
    EXPECT_EQ(e.Message(), "Error opening file");
    EXPECT_EQ(e.MessageId, 25235);
  }
  component.NotifyError("C:\\out\\b.txt", "OnGetPassword", "0", 25270);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].fileName, "C:\\out\\a.txt");  // whole path when raising
  EXPECT_EQ(calls[1].fileName, "b.txt");          // file-name part when notifying
  EXPECT_EQ(calls[1].extra, "OnGetPassword");
  EXPECT_EQ(calls[1].volume, "0");
  EXPECT_EQ(calls[1].id, 25270);

  // A cancelled component reports nothing but still raises.
  component.Cancel();
  EXPECT_THROW(component.RaiseError("x", "", "0", 25292), E_RAISE);
  component.NotifyError("x", "", "0", 25151);
  EXPECT_EQ(calls.size(), 2u);

  TZipCommon silent;  // no handler: raising still works
  EXPECT_THROW(silent.RaiseError("", "", "0", 25172), E_RAISE);
  EXPECT_NO_THROW(silent.NotifyError("", "", "0", 25151));
}

TEST(ZipCommonProgress, PercentagesReachOnProgress) {
  TZipCommon component;
  std::vector<std::pair<int, int>> seen;
  component.Progress(1, 2, 0);  // no handler: nothing but the values
  EXPECT_EQ(component.ProgressByFile(), 50);
  EXPECT_EQ(component.ProgressByArchive(), 0);
  component.OnProgress = [&seen](TObject*, uint8_t byFile, uint8_t byArchive) { seen.push_back({byFile, byArchive}); };
  component.Progress(3, 8, 10);  // nothing remains of the run: 100 %
  component.Progress(0, 0, 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(38, 100));
  EXPECT_EQ(seen[1], std::make_pair(0, 0));
}

TEST_F(ZipCommon, WalkModeFollowsHeaderFlags) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  TProbe probe;
  probe.SetArchiveFile(Win("a.zip"));
  ASSERT_EQ(probe.HeaderFlags(), 0x19);
  const int32_t directory = probe.StartOffset();
  probe.fOffset = 1;
  EXPECT_EQ(probe.ChooseWalkMode(), wmCentralWalk);
  EXPECT_EQ(probe.StartOffset(), directory);
  probe.fHeaderFlags = 0x01;
  EXPECT_EQ(probe.ChooseWalkMode(), wmLocalScan);
  EXPECT_EQ(probe.HeaderFlags(), 0x10);
}
