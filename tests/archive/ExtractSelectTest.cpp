#include "ExtractTestFixture.h"

namespace {

const char* kReadmes =
    "z.writestr('readme.txt', b'top')\n"
    "z.writestr('doc/readme.txt', b'doc')\n"
    "z.writestr('doc/a.txt', b'a')\n"
    "z.writestr('readme.txt', b'second top')\n"
    "z.writestr('Makefile', b'all:')\n";

}  // namespace

TEST_F(ExtractTest, FileSpecSelectsByPatternOrSinglePlainName) {
  if (!PythonZip("sel.zip", kReadmes)) GTEST_SKIP();
  {
    TUnZIP unzip;
    Prepare(unzip, "sel.zip", "all");
    unzip.ConfirmOverwrites = false;  // readme.txt comes twice
    EXPECT_EQ(unzip.Extract(), 5);  // "*.*" also selects names without a dot
    EXPECT_EQ(ReadFile("all/Makefile"), "all:");
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "sel.zip", "none");
    unzip.FileSpec().clear();
    EXPECT_EQ(unzip.Extract(), 0);
    EXPECT_FALSE(Exists("none"));
  }
  {
    // One plain name: case-insensitive, whole stored path, first hit only.
    TUnZIP unzip;
    Prepare(unzip, "sel.zip", "one");
    unzip.FileSpec() = {"README.TXT"};
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_EQ(ReadFile("one/readme.txt"), "top");
    EXPECT_FALSE(Exists("one/doc"));
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "sel.zip", "txt");
    unzip.FileSpec() = {"*.txt"};
    unzip.ConfirmOverwrites = false;
    EXPECT_EQ(unzip.Extract(), 4);
    EXPECT_EQ(ReadFile("txt/doc/a.txt"), "a");
    EXPECT_EQ(ReadFile("txt/readme.txt"), "second top");
    EXPECT_FALSE(Exists("txt/Makefile"));
  }
  {
    // The setter keeps only file-name parts of its lines.
    TUnZIP unzip;
    Prepare(unzip, "sel.zip", "set");
    std::vector<std::string> lines{"", "doc/a.txt"};
    unzip.SetFileSpec(lines);
    EXPECT_EQ(unzip.FileSpec(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(unzip.Extract(), 0);  // a.txt is not the whole path doc\a.txt
  }
}

TEST_F(ExtractTest, ExistingTargetWithoutHandlerIsSkippedAndTheAnswerSticks) {
  if (!PythonZip("ow.zip", "z.writestr('a.txt', b'new a')\nz.writestr('b.txt', b'new b')\nz.writestr('c.txt', b'new c')")) {
    GTEST_SKIP();
  }
  WriteFile("out/a.txt", "old a");
  WriteFile("out/c.txt", "old c");
  TUnZIP unzip;
  Prepare(unzip, "ow.zip");
  int begun = 0, ended = 0;
  unzip.OnBegin = [&](TObject*, const std::string&, int32_t, bool&) { ++begun; };
  unzip.OnEnd = [&](TObject*, const std::string&, bool) { ++ended; };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(begun, 1);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(unzip.OverwriteMode, omSkip);
  EXPECT_EQ(ReadFile("out/a.txt"), "old a");
  EXPECT_EQ(ReadFile("out/b.txt"), "new b");
  EXPECT_EQ(ReadFile("out/c.txt"), "old c");
  EXPECT_EQ(unzip.ArchiveRemaining(), 0);
}

// Overwriting unasked does not look the target up; a begin handler that
// turns to skipping still keeps the existing file.
TEST_F(ExtractTest, SkippingChosenInTheBeginHandlerKeepsTheExistingTarget) {
  if (!PythonZip("sk.zip", "z.writestr('a.txt', b'new a')\nz.writestr('b.txt', b'new b')")) GTEST_SKIP();
  WriteFile("out/a.txt", "old a");
  TUnZIP unzip;
  Prepare(unzip, "sk.zip");
  unzip.ConfirmOverwrites = false;
  unzip.OverwriteMode = omOverwrite;
  unzip.OnBegin = [&](TObject*, const std::string&, int32_t, bool&) { unzip.OverwriteMode = omSkip; };
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(ReadFile("out/a.txt"), "old a");
  EXPECT_EQ(ReadFile("out/b.txt"), "new b");
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ExtractTest, OnFileExistsAnswersGovernLaterEntries) {
  if (!PythonZip("ask.zip", "z.writestr('a.txt', b'new a')\nz.writestr('b.txt', b'new b')")) GTEST_SKIP();
  WriteFile("out/a.txt", "old a");
  WriteFile("out/b.txt", "old b");
  TUnZIP unzip;
  Prepare(unzip, "ask.zip");
  std::vector<std::string> asked;
  unzip.OnFileExists = [&](TObject*, const std::string& fn, rtl::TDateTime date, TOverwriteMode& mode) {
    asked.push_back(fn);
    EXPECT_GT(date, 29221.0);
    EXPECT_EQ(mode, asked.size() == 1 ? omOverwrite : omSkip);
    mode = asked.size() == 1 ? omSkip : omOverwrite;
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(asked, (std::vector<std::string>{Win("out/a.txt"), Win("out/b.txt")}));
  EXPECT_EQ(ReadFile("out/a.txt"), "old a");
  EXPECT_EQ(ReadFile("out/b.txt"), "new b");
  EXPECT_EQ(unzip.OverwriteMode, omOverwrite);
}

TEST_F(ExtractTest, ReadOnlyTargetIsReplacedWhenOverwriting) {
  if (!PythonZip("ro.zip", "z.writestr('a.txt', b'replaced')")) GTEST_SKIP();
  WriteFile("out/a.txt", "locked");
  ASSERT_TRUE(SetFileAttributesA(Win("out/a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  TUnZIP unzip;
  Prepare(unzip, "ro.zip");
  unzip.ConfirmOverwrites = false;
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(ReadFile("out/a.txt"), "replaced");
}

TEST_F(ExtractTest, StoredDirectoriesAndFlatExtraction) {
  if (!PythonZip("dirs.zip", "z.writestr('C:/data/a.txt', b'1')\nz.writestr('/data/sub/b.txt', b'2')")) GTEST_SKIP();
  {
    TUnZIP unzip;
    Prepare(unzip, "dirs.zip");
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_EQ(ReadFile("out/data/a.txt"), "1");
    EXPECT_EQ(ReadFile("out/data/sub/b.txt"), "2");
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "dirs.zip", "flat");
    unzip.UseStoredDirs = false;
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_EQ(ReadFile("flat/a.txt"), "1");
    EXPECT_EQ(ReadFile("flat/b.txt"), "2");
  }
  {
    // Without ExtractDir the archive's own directory is the target.
    TUnZIP unzip;
    unzip.SetArchiveFile(Win("dirs.zip"));
    unzip.FileSpec().push_back("*.*");
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_EQ(ReadFile("data/a.txt"), "1");
    EXPECT_EQ(unzip.ExtractDir(), Win(""));
  }
}

TEST_F(ExtractTest, NamesClimbingOutAreRefusedAndNothingLandsOutside) {
  if (!PythonZip("evil.zip",
                 "z.writestr('../x1', b'1')\n"
                 "z.writestr('a/../../x2', b'2')\n"
                 "z.writestr('..\\\\x3', b'3')\n"
                 "z.writestr('ok/../fine.txt', b'4')\n"
                 "z.writestr('good.txt', b'5')")) {
    GTEST_SKIP();
  }
  std::filesystem::create_directories("deep/out");
  TUnZIP unzip;
  Prepare(unzip, "evil.zip", "deep/out");
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ErrorIds(), (std::vector<int32_t>{25243, 25243, 25243, 25243}));
  EXPECT_EQ(errors_[0].fileName, "../x1");
  EXPECT_EQ(ReadFile("deep/out/good.txt"), "5");
  EXPECT_FALSE(Exists("deep/x1"));
  EXPECT_FALSE(Exists("x2"));
  EXPECT_FALSE(Exists("deep/x2"));
  EXPECT_FALSE(Exists("deep/x3"));
  EXPECT_FALSE(Exists("deep/fine.txt"));
  EXPECT_FALSE(Exists("deep/out/fine.txt"));
}

// 乗 is 81 5C in code page 936: its second byte is no path separator.
TEST_F(ExtractTest, NamesWhoseLastCharacterEndsIn5CAreFiles) {
  if (!PythonZip("dbcs.zip",
                 "z.writestr('a\u4e57', b'file')\n"
                 "z.writestr('\u4e57../b.txt', b'below')")) {
    GTEST_SKIP();
  }
  TUnZIP unzip;
  Prepare(unzip, "dbcs.zip");
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_TRUE(errors_.empty()) << ErrorIds().size();
  EXPECT_EQ(ReadFile("out/a\xE4\xB9\x97"), "file");
  // Not refused as a ".." component; Windows drops the trailing dots.
  EXPECT_EQ(ReadFile("out/\xE4\xB9\x97/b.txt"), "below");
}

TEST_F(ExtractTest, DirectoryEntriesBecomeDirectories) {
  std::filesystem::create_directories("src/empty");
  std::filesystem::create_directories("src/full");
  WriteFile("src/full/f.txt", "f");
  // libarchive writes directories without the DOS directory bit.
  if (!Run("cd src && bsdtar --format zip -cf ../dirs.zip empty full")) GTEST_SKIP() << "bsdtar not available";
  {
    TUnZIP unzip;
    Prepare(unzip, "dirs.zip");
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(std::filesystem::is_directory("out/empty"));
    EXPECT_EQ(ReadFile("out/full/f.txt"), "f");
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "dirs.zip", "flat");
    unzip.UseStoredDirs = false;
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(Exists("flat/empty"));
    EXPECT_EQ(ReadFile("flat/f.txt"), "f");
  }
  {
    // A file where the directory must go: the error names the directory.
    errors_.clear();
    WriteFile("taken/empty", "a file");
    TUnZIP unzip;
    Prepare(unzip, "dirs.zip", "taken");
    EXPECT_EQ(unzip.Extract(), 1);
    ASSERT_EQ(ErrorIds(), std::vector<int32_t>{25153});
    EXPECT_EQ(errors_[0].fileName, "empty");
    EXPECT_EQ(ReadFile("taken/empty"), "a file");
  }
  // Python's zipfile marks them; they never reach the entry list then.
  if (!PythonZip("pydirs.zip", "z.writestr('d/', b'')\nz.writestr('d/e.txt', b'e')")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "pydirs.zip", "py");
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ReadFile("py/d/e.txt"), "e");
}

// Empty central entries with the directory or the volume-label attribute are
// left out of the entry list, silently; their neighbours are extracted.
TEST_F(ExtractTest, VolumeLabelAndDirectoryEntriesAreLeftOut) {
  for (const int attribute : {0x08, 0x10}) {
    SCOPED_TRACE(attribute);
    const std::string archive = "attr" + std::to_string(attribute) + ".zip";
    if (!PythonZip(archive, "l = zipfile.ZipInfo('LABEL')\nl.external_attr = " + std::to_string(attribute) +
                                "\nz.writestr(l, b'')\nz.writestr('b.txt', b'b')")) {
      GTEST_SKIP();
    }
    errors_.clear();
    TUnZIP unzip;
    Prepare(unzip, archive, archive + ".out");
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_EQ(ErrorIds(), std::vector<int32_t>{});
    EXPECT_FALSE(Exists(archive + ".out/LABEL"));
    EXPECT_EQ(ReadFile(archive + ".out/b.txt"), "b");
  }
}

TEST_F(ExtractTest, DatesAndAttributesAreRestored) {
  if (!PythonZip("da.zip",
                 "i = zipfile.ZipInfo('dated.txt', (2020, 5, 17, 10, 20, 30))\n"
                 "z.writestr(i, b'dated')\n"
                 "r = zipfile.ZipInfo('locked.txt', (2001, 2, 3, 4, 5, 6))\n"
                 "r.external_attr = 0x21\n"
                 "z.writestr(r, b'locked')\n")) {
    GTEST_SKIP();
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "da.zip");
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_EQ(ModificationTime("out/dated.txt"), LocalTime(2020, 5, 17, 10, 20, 30));
    EXPECT_EQ(ModificationTime("out/locked.txt"), LocalTime(2001, 2, 3, 4, 5, 6));
    EXPECT_NE(GetFileAttributesA(Win("out/locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(GetFileAttributesA(Win("out/dated.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "da.zip", "newest");
    unzip.DateAttribute = daMaxFileDate;
    unzip.RestoreFileAttr = false;
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_EQ(ModificationTime("newest/locked.txt"), LocalTime(2020, 5, 17, 10, 20, 30));
    EXPECT_EQ(GetFileAttributesA(Win("newest/locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "da.zip", "now");
    unzip.DateAttribute = daSysDate;
    const time_t before = time(nullptr);
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_GE(ModificationTime("now/dated.txt"), before - 2);
  }
}

TEST_F(ExtractTest, RealEncodersAgree) {
  WriteFile("src/one.txt", "one");
  WriteFile("src/sub/two.txt", std::string(70000, 't'));
  const bool haveZip = Run("cd src && zip -0 -r ../info.zip one.txt sub");
  const bool haveZipComment = Run("cd src && echo 'a comment' | zip -0 -z -r ../comment.zip one.txt sub");
  const bool have7z = Run("cd src && 7z a -mx0 -tzip ../seven.zip one.txt sub");
  if (!haveZip && !have7z) GTEST_SKIP() << "neither zip nor 7z available";
  for (const char* archive : {"info.zip", "comment.zip", "seven.zip"}) {
    if (!Exists(archive)) continue;
    SCOPED_TRACE(archive);
    const std::string out = std::string("out-") + archive;
    TUnZIP unzip;
    Prepare(unzip, archive, out);
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(ReadFile(out + "/one.txt"), "one");
    EXPECT_EQ(ReadFile(out + "/sub/two.txt"), std::string(70000, 't'));
  }
  (void)haveZipComment;
}
