// vexzip against Info-ZIP unzip on the same archives: same files, same
// contents, same dates; exit codes and error lines for damaged input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

class VexzipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = fs::path(VEX_BINARY_DIR) / "tools" / "vexzip";
    ASSERT_TRUE(fs::exists(tool_)) << "build the vexzip target first";
    scratch_ = box_.Root();
  }

  // Runs a shell command in the scratch directory.
  bool Shell(const std::string& command) const {
    return box_.Succeeds(command);
  }

  // Runs vexzip in the scratch directory with standard input from /dev/null.
  Outcome Vexzip(const std::string& arguments) const {
    const std::string out = (scratch_ / "stdout.txt").string(), err = (scratch_ / "stderr.txt").string();
    const std::string command = "cd '" + scratch_.string() + "' && env -u VEXUPD_DRIVE_C '" + tool_.string() + "' " +
                                arguments + " </dev/null >'" + out + "' 2>'" + err + "'";
    Outcome outcome;
    const int raw = std::system(command.c_str());
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = Read(out);
    outcome.err = Read(err);
    return outcome;
  }

  static std::string Python() { return vextest::Python3(); }

  static std::string Read(const fs::path& path) { return vextest::ReadFile(path); }
  void Write(const std::string& relative, const std::string& content) const {
    const fs::path path = scratch_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  // Regular files below a directory: relative path -> (content, mtime).
  std::map<std::string, std::pair<std::string, time_t>> Tree(const std::string& relative) const {
    std::map<std::string, std::pair<std::string, time_t>> tree;
    const fs::path root = scratch_ / relative;
    if (!fs::exists(root)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      struct stat info {};
      stat(entry.path().c_str(), &info);
      tree[fs::relative(entry.path(), root).generic_string()] = {Read(entry.path()), info.st_mtime};
    }
    return tree;
  }

  // A small tree with nested directories, an empty file, a binary file and
  // a compressible one, all dated on an even second.
  void MakeSourceTree() const {
    Write("src/readme.txt", "read me\n");
    Write("src/empty.dat", "");
    std::string binary(100000, '\0');
    std::mt19937 generator(7);
    for (char& c : binary) c = static_cast<char>(generator());
    Write("src/bin/noise.bin", binary);
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + " of a compressible text\n";
    Write("src/doc/deep/long text.txt", text);
    ASSERT_TRUE(Shell("find src -exec touch -d '2021-03-04 05:06:08' {} +"));
  }

  vextest::Sandbox box_{vextest::Sandbox::kFolder};
  fs::path tool_;
  fs::path scratch_;
};

TEST_F(VexzipTest, ExtractsWhatUnzipExtracts) {
  MakeSourceTree();
  if (!Shell("cd src && zip -q -0 -r ../stored.zip . && zip -q -r ../deflated.zip .")) GTEST_SKIP() << "no zip";
  for (const std::string archive : {"stored.zip", "deflated.zip"}) {
    SCOPED_TRACE(archive);
    const Outcome run = Vexzip("x " + archive + " -d mine-" + archive);
    EXPECT_EQ(run.status, 0) << run.err;
    if (!Shell("unzip -q " + archive + " -d theirs-" + archive)) GTEST_SKIP() << "no unzip";
    const auto mine = Tree("mine-" + archive), theirs = Tree("theirs-" + archive);
    EXPECT_EQ(mine.size(), 4u);
    EXPECT_EQ(theirs.size(), 4u);
    for (const auto& [name, file] : theirs) {
      SCOPED_TRACE(name);
      const auto found = mine.find(name);
      ASSERT_NE(found, mine.end());
      EXPECT_TRUE(found->second.first == file.first) << "contents differ";
      EXPECT_EQ(found->second.second, file.second) << "dates differ";
    }
    EXPECT_TRUE(fs::is_directory(scratch_ / ("mine-" + archive) / "doc" / "deep"));
  }
}

TEST_F(VexzipTest, TestReportsCleanAndDamagedArchives) {
  MakeSourceTree();
  if (!Shell("cd src && zip -q -0 -r ../t.zip .")) GTEST_SKIP() << "no zip";
  Outcome clean = Vexzip("t t.zip");
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_NE(clean.out.find("No errors detected"), std::string::npos);
  EXPECT_FALSE(fs::exists(scratch_ / "readme.txt"));

  // Flip one byte of the stored text so its CRC no longer fits.
  std::string bytes = Read(scratch_ / "t.zip");
  const size_t at = bytes.find("read me");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'R';
  Write("t.zip", bytes);
  const Outcome damaged = Vexzip("t t.zip");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("readme.txt: File fails CRC check [E25151]"), std::string::npos) << damaged.err;
  // Both streams into one file: the entry's line comes before its error.
  ASSERT_TRUE(Shell("env -u VEXUPD_DRIVE_C '" + tool_.string() + "' t t.zip </dev/null >both.txt 2>&1; true"));
  const std::string both = Read(scratch_ / "both.txt");
  EXPECT_LT(both.find("readme.txt\n"), both.find("[E25151]")) << both;
}

TEST_F(VexzipTest, ListShowsEveryEntry) {
  MakeSourceTree();
  if (!Shell("cd src && zip -q -0 -r ../l.zip readme.txt bin")) GTEST_SKIP() << "no zip";
  const Outcome listed = Vexzip("l l.zip");
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("readme.txt"), std::string::npos);
  EXPECT_NE(listed.out.find("bin\\noise.bin"), std::string::npos);
  EXPECT_NE(listed.out.find("Stored"), std::string::npos);
  EXPECT_NE(listed.out.find("2021-03-04 05:06"), std::string::npos);
}

TEST_F(VexzipTest, ExitCodesForUsageAndRunFailures) {
  EXPECT_EQ(Vexzip("").status, 3);
  EXPECT_EQ(Vexzip("q a.zip").status, 3);
  EXPECT_EQ(Vexzip("x").status, 3);
  EXPECT_EQ(Vexzip("x a.zip -o -n").status, 3);
  EXPECT_EQ(Vexzip("x a.zip -b").status, 3);
  const Outcome missing = Vexzip("x missing.zip");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "vexzip: missing.zip: 系统找不到指定的文件。\n");
}

TEST_F(VexzipTest, ExistingFilesAreSkippedWithoutATerminalUnlessOverwriting) {
  Write("src/a.txt", "new");
  if (!Shell("cd src && zip -q -0 ../o.zip a.txt")) GTEST_SKIP() << "no zip";
  Write("out/a.txt", "old");
  EXPECT_EQ(Vexzip("x o.zip -d out").status, 0);
  EXPECT_EQ(Read(scratch_ / "out/a.txt"), "old");
  EXPECT_EQ(Vexzip("x o.zip -d out -n").status, 0);
  EXPECT_EQ(Read(scratch_ / "out/a.txt"), "old");
  EXPECT_EQ(Vexzip("x o.zip -d out -o").status, 0);
  EXPECT_EQ(Read(scratch_ / "out/a.txt"), "new");
}

TEST_F(VexzipTest, PasswordsSelectionAndJunkedPaths) {
  // A fixed archive: a fresh one would let "bad" pass the one-byte check
  // once in 256 runs.
  fs::copy_file(fs::path(VEX_SHARED_DIR) / "testdata/encrypted/pw.zip", scratch_ / "p.zip");
  const Outcome withoutPassword = Vexzip("x p.zip -d none");
  EXPECT_EQ(withoutPassword.status, 1);
  EXPECT_NE(withoutPassword.err.find("[E25270]"), std::string::npos) << withoutPassword.err;
  EXPECT_FALSE(fs::exists(scratch_ / "none/d/secret.txt"));

  const Outcome right = Vexzip("x p.zip -p bad -p pw -j -d flat '*secret*'");
  EXPECT_EQ(right.status, 0) << right.err;
  EXPECT_EQ(Read(scratch_ / "flat/secret.txt"), "hidden text");
  EXPECT_FALSE(fs::exists(scratch_ / "flat/other.txt"));
  EXPECT_FALSE(fs::exists(scratch_ / "flat/d"));
}

// Without a console nobody can answer: the entry no listed password fits is
// reported and the run goes on (the Windows build is held to the same).
TEST_F(VexzipTest, WithoutAConsoleAnUnfittingPasswordSkipsOnlyItsEntry) {
  fs::copy_file(fs::path(VEX_SHARED_DIR) / "testdata/encrypted/two-passwords.zip", scratch_ / "a.zip");
  const Outcome run = Vexzip("x a.zip -p pw -d out");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "vexzip: b.txt: Required event not assigned (OnGetPassword) [E25270]\n");
  EXPECT_EQ(Tree("out").size(), 2u);
  EXPECT_EQ(Read(scratch_ / "out/a.txt"), "first");
  EXPECT_EQ(Read(scratch_ / "out/c.txt"), "third");
}

TEST_F(VexzipTest, NonAsciiArgumentsQuotingAndOutput) {
  // Python marks the non-ASCII name as UTF-8.
  if (!Shell(Python() + " -c \"import zipfile; z = zipfile.ZipFile('n.zip', 'w'); "
             "z.writestr('a b.txt', b'spaced'); z.writestr('\\u8bf4\\u660e.txt', b'named'); "
             "z.writestr('other.txt', b'not selected'); z.close()\"")) {
    GTEST_SKIP() << "no python3";
  }
  // Directory and name-pattern arguments with Chinese characters and blanks.
  const Outcome run = Vexzip("x n.zip -d '\xE8\xBE\x93\xE5\x87\xBA dir' 'a b.txt' '\xE8\xAF\xB4*'");
  EXPECT_EQ(run.status, 0) << run.err;
  const fs::path target = scratch_ / "\xE8\xBE\x93\xE5\x87\xBA dir";
  EXPECT_EQ(Read(target / "a b.txt"), "spaced");
  EXPECT_EQ(Read(target / "\xE8\xAF\xB4\xE6\x98\x8E.txt"), "named");
  EXPECT_FALSE(fs::exists(target / "other.txt"));
  // Names reach the terminal in its own encoding, not in the archive's.
  EXPECT_NE(run.out.find("\xE8\xAF\xB4\xE6\x98\x8E.txt"), std::string::npos) << run.out;
  const Outcome listed = Vexzip("l n.zip");
  EXPECT_NE(listed.out.find("\xE8\xAF\xB4\xE6\x98\x8E.txt"), std::string::npos) << listed.out;
}

TEST_F(VexzipTest, NamesLeavingTheTargetAreRefused) {
  if (!Shell(Python() + " -c \"import zipfile; z = zipfile.ZipFile('evil.zip', 'w'); "
             "z.writestr('../escaped.txt', b'x'); z.writestr('a/../../escaped2.txt', b'y'); "
             "z.writestr('kept.txt', b'z'); z.close()\"")) {
    GTEST_SKIP() << "no python3";
  }
  fs::create_directories(scratch_ / "in" / "out");
  fs::rename(scratch_ / "evil.zip", scratch_ / "in" / "evil.zip");
  const Outcome run = Vexzip("x in/evil.zip -d in/out");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("[E25243]"), std::string::npos) << run.err;
  EXPECT_EQ(Read(scratch_ / "in/out/kept.txt"), "z");
  EXPECT_FALSE(fs::exists(scratch_ / "in/escaped.txt"));
  EXPECT_FALSE(fs::exists(scratch_ / "escaped2.txt"));
  EXPECT_FALSE(fs::exists(scratch_ / "in/escaped2.txt"));
}

}  // namespace

// Damage and foreign kinds never pass as whole: test and extract exit 1
// (entry or archive damage) or 2 (not a ZIP archive) with the worded error.
TEST_F(VexzipTest, DamagedAndForeignArchivesExitNonZero) {
  MakeSourceTree();
  if (!Shell("cd src && zip -q -0 -r ../good.zip readme.txt bin && head -c 200 ../good.zip > ../cut.zip && "
             "gzip -c readme.txt > ../readme.gz")) {
    GTEST_SKIP() << "no zip or gzip";
  }
  const struct {
    const char* file;
    int status;
    const char* error;
  } rows[] = {
      {"cut.zip", 1, "cut.zip: Error reading file or unexpected end of file [E25236]"},
      {"readme.gz", 2, "Invalid or unsupported archive type for this operation (gzip) [E25242]"},
  };
  for (const auto& row : rows) {
    for (const char* command : {"t", "x"}) {
      SCOPED_TRACE(std::string(command) + " " + row.file);
      const Outcome outcome = Vexzip(std::string(command) + " " + row.file + " -d out");
      EXPECT_EQ(outcome.status, row.status);
      EXPECT_EQ(outcome.out.find("No errors"), std::string::npos);
      EXPECT_NE(outcome.err.find(row.error), std::string::npos) << outcome.err;
    }
  }
}
