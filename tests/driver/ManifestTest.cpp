#include "driver/Manifest.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "rtl/Gbk.h"
#include "tests/support/Sandbox.h"

namespace {

using vextest::Sandbox;
using Journal = std::vector<std::string>;

// A task table given as (flag, directory) records in physical order.
class TListedTasks : public driver::ITaskTable {
 public:
  bool Open(const std::string&) override { return true; }
  uint32_t Count() override { return static_cast<uint32_t>(Records.size()); }
  void ForEachTaskDir(const std::string& Flag, const std::function<void(const std::string&)>& Action) override {
    for (const auto& [flag, dir] : Records)
      if (flag == Flag) Action(dir);
  }
  std::vector<std::pair<std::string, std::string>> Records;
};

// Writes one marker file per payload into the target, as an extraction would.
class TMarkingExtractor : public driver::IArchiveExtractor {
 public:
  TMarkingExtractor(const Sandbox& Box, Journal& Log) : box_(Box), log_(Log) {}
  bool ExtractPackage(const std::string&, const std::string&, const std::string&) override { return false; }
  bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) override {
    log_.push_back("payload " + Archive + " -> " + Dir + (Quiet ? " quiet" : " asking") + (Observe ? Observe() : ""));
    if (!box_.Exists(Archive)) return false;
    box_.Write(Dir + "\\from-payload.txt", box_.Read(Archive));
    return true;
  }
  bool TestArchive(const std::string& Archive) override {
    log_.push_back("test " + Archive);
    return box_.Read(Archive) != "damaged";
  }

  // What the journal line adds about the files at that moment, when set.
  std::function<std::string()> Observe;

 private:
  const Sandbox& box_;
  Journal& log_;
};

class TRecordingShortcuts : public driver::IShortcutMaker {
 public:
  explicit TRecordingShortcuts(Journal& Log) : log_(Log) {}
  bool CreateShortcut(const std::string& Target, const std::string& Name, uint8_t Location,
                      const std::string& Group) override {
    log_.push_back("shortcut " + Target + " | " + Name + " | " + std::to_string(Location) + " | " + Group +
                   (Observe ? Observe() : ""));
    return true;
  }
  std::function<std::string()> Observe;

 private:
  Journal& log_;
};

class Manifest : public ::testing::Test {
 protected:
  void SetUp() override {
    tasks.Records = {{"FIN", "C:\\App\\Fin"}, {"HR", "C:\\App\\Hr"}, {"FIN", "C:\\App\\Fin2"}};
    for (const auto& record : tasks.Records) box.MakeDir(record.second);
    box.Write("C:\\Work\\pay.zip", "payload bytes");
    box.Write("C:\\Work\\notes.txt", "new notes");
  }
  void WriteManifest(const std::string& text) { box.Write("C:\\Work\\Update.Ini", text); }
  int32_t Apply(const std::string& workDir = "C:\\Work", const std::string& rootDir = "C:\\App") {
    driver::TUpdateManifest manifest(tasks, extractor, shortcuts);
    return manifest.ApplyManifest(workDir, rootDir);
  }

  Sandbox box;
  Journal log;
  TListedTasks tasks;
  TMarkingExtractor extractor{box, log};
  TRecordingShortcuts shortcuts{log};
};

TEST_F(Manifest, NothingWithoutManifestOrDirectories) {
  Apply();
  box.Write("C:\\Work\\Update.Ini", "[Zip]\r\nCount=1\r\nSource0=pay.zip\r\nTaskFlag0=FIN\r\n");
  Apply("", "C:\\App");
  Apply("C:\\Work", "");
  Apply("C:\\Elsewhere", "C:\\App");
  EXPECT_TRUE(log.empty());
  Apply("C:\\Work\\", "C:\\App\\");
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(Manifest, ArchivesGoIntoEveryTaskDirectoryOfTheirFlag) {
  WriteManifest(
      "[ZIP]\r\nCount=4\r\nSource0=pay.zip\r\nTaskFlag0=FIN\r\n"
      "Source1=pay.zip\r\nTaskFlag1=\r\n"
      "Source2=\r\nTaskFlag2=HR\r\n"
      "Source3=pay.zip\r\nTaskFlag3=fin\r\n");
  Apply();
  EXPECT_EQ(log, (Journal{"payload C:\\Work\\pay.zip -> C:\\App\\Fin quiet",
                          "payload C:\\Work\\pay.zip -> C:\\App\\Fin2 quiet"}));
  EXPECT_EQ(box.Read("C:\\App\\Fin2\\from-payload.txt"), "payload bytes");
  EXPECT_FALSE(box.Exists("C:\\App\\Hr\\from-payload.txt"));
}

TEST_F(Manifest, CountBeyondTheEntriesAndOddCounts) {
  WriteManifest("[zip]\r\nCOUNT=2\r\nsource0=pay.zip\r\ntaskflag0=HR\r\nSource5=pay.zip\r\nTaskFlag5=FIN\r\n");
  Apply();
  EXPECT_EQ(log, (Journal{"payload C:\\Work\\pay.zip -> C:\\App\\Hr quiet"}));
  log.clear();
  WriteManifest("[Zip]\r\nCount=-1\r\nSource0=pay.zip\r\nTaskFlag0=HR\r\n");
  Apply();
  WriteManifest("[Zip]\r\nCount=many\r\nSource0=pay.zip\r\nTaskFlag0=HR\r\n");
  Apply();
  EXPECT_TRUE(log.empty());
  WriteManifest("[Zip]\r\nCount=0x2\r\nSource1=pay.zip\r\nTaskFlag1=HR\r\n");
  Apply();
  EXPECT_EQ(log.size(), 1u);
}

TEST_F(Manifest, AHugeCountVisitsTheNamedEntriesInOrder) {
  WriteManifest(
      "[Zip]\r\nCount=2147483647\r\nSource2147483646=pay.zip\r\nTaskFlag2147483646=FIN\r\n"
      "Source07=pay.zip\r\nTaskFlag07=HR\r\nSource1=pay.zip\r\nTaskFlag1=HR\r\n");
  Apply();
  EXPECT_EQ(log, (Journal{"payload C:\\Work\\pay.zip -> C:\\App\\Hr quiet", "payload C:\\Work\\pay.zip -> C:\\App\\Fin quiet",
                          "payload C:\\Work\\pay.zip -> C:\\App\\Fin2 quiet"}));
}

TEST_F(Manifest, MissingPayloadIsSilentAndTheNextEntryFollows) {
  WriteManifest("[Zip]\r\nCount=2\r\nSource0=gone.zip\r\nTaskFlag0=HR\r\nSource1=pay.zip\r\nTaskFlag1=HR\r\n");
  Apply();
  EXPECT_EQ(log.size(), 2u);
  EXPECT_TRUE(box.Exists("C:\\App\\Hr\\from-payload.txt"));
}

TEST_F(Manifest, APayloadWithoutATaskFlagGoesNowhereNotToBlankFlaggedTasks) {
  tasks.Records.push_back({"", "C:\\App\\Blank"});
  WriteManifest("[Zip]\r\nCount=2\r\nSource0=pay.zip\r\nTaskFlag0=\r\nSource1=pay.zip\r\nTaskFlag1=HR\r\n");
  Apply();
  EXPECT_EQ(log, Journal{"payload C:\\Work\\pay.zip -> C:\\App\\Hr quiet"});
  EXPECT_FALSE(box.Exists("C:\\App\\Blank\\from-payload.txt"));
}

TEST_F(Manifest, DeleteItemsEmptyTheirDirectoryInEveryTask) {
  for (const char* dir : {"C:\\App\\Fin\\Rpt", "C:\\App\\Fin2\\Rpt", "C:\\App\\Hr\\Rpt"}) {
    box.Write(std::string(dir) + "\\old.frx", "old");
    box.Write(std::string(dir) + "\\sub\\older.frx", "older");
  }
  box.Write("C:\\App\\Fin\\keep.dbf", "keep");
  WriteManifest(
      "[Zip]\r\nDeleteCount=4\r\nDeleteItem0=Rpt\r\nDeleteTaskFlag0=FIN\r\n"
      "DeleteItem1=NoSuchDir\r\nDeleteTaskFlag1=HR\r\n"
      "DeleteItem2=\r\nDeleteTaskFlag2=HR\r\n"
      "DeleteItem3=Rpt\r\nDeleteTaskFlag3=NOBODY\r\n");
  Apply();
  for (const char* dir : {"C:\\App\\Fin\\Rpt", "C:\\App\\Fin2\\Rpt"}) {
    EXPECT_TRUE(box.Exists(dir));
    EXPECT_TRUE(std::filesystem::is_empty(box.Host(dir))) << dir;
  }
  EXPECT_TRUE(box.Exists("C:\\App\\Hr\\Rpt\\old.frx"));
  EXPECT_TRUE(box.Exists("C:\\App\\Hr\\Rpt\\sub\\older.frx"));
  EXPECT_TRUE(box.Exists("C:\\App\\Fin\\keep.dbf"));
}

TEST_F(Manifest, DeleteItemNamingAFileOrPatternDoesNothing) {
  box.Write("C:\\App\\Hr\\a.txt", "a");
  WriteManifest(
      "[Zip]\r\nDeleteCount=2\r\nDeleteItem0=a.txt\r\nDeleteTaskFlag0=HR\r\n"
      "DeleteItem1=*.txt\r\nDeleteTaskFlag1=HR\r\n");
  Apply();
  EXPECT_TRUE(box.Exists("C:\\App\\Hr\\a.txt"));
}

TEST_F(Manifest, FilesWithATaskFlagAreJoinedAsTheyAre) {
  box.Write("C:\\App\\Fin\\notes.txt", "old notes");
  WriteManifest(
      "[File]\r\nCount=2\r\nSource0=notes.txt\r\nDest0=\\notes.txt\r\nTaskFlag0=FIN\r\n"
      "Source1=notes.txt\r\nDest1=.bak\r\nTaskFlag1=HR\r\n");
  Apply();
  EXPECT_EQ(box.Read("C:\\App\\Fin\\notes.txt"), "new notes");
  EXPECT_EQ(box.Read("C:\\App\\Fin2\\notes.txt"), "new notes");
  // Without a leading backslash the file lands beside the task directory.
  EXPECT_EQ(box.Read("C:\\App\\Hr.bak"), "new notes");
}

TEST_F(Manifest, FilesWithoutATaskFlagGoUnderTheRoot) {
  box.MakeDir("C:\\App\\Doc");
  WriteManifest(
      "[FILE]\r\nCount=5\r\nSource0=notes.txt\r\nDest0=Doc\\notes.txt\r\n"
      "Source1=notes.txt\r\nDest1=Missing\\Dir\\notes.txt\r\n"
      "Source2=absent.txt\r\nDest2=Doc\\absent.txt\r\n"
      "Source3=\r\nDest3=Doc\\x.txt\r\n"
      "Source4=notes.txt\r\nDest4=\r\n");
  Apply("C:\\Work", "C:\\App\\");
  EXPECT_EQ(box.Read("C:\\App\\Doc\\notes.txt"), "new notes");
  EXPECT_FALSE(box.Exists("C:\\App\\Missing"));
  EXPECT_FALSE(box.Exists("C:\\App\\Doc\\absent.txt"));
  EXPECT_FALSE(box.Exists("C:\\App\\Doc\\x.txt"));
}

TEST_F(Manifest, ShortcutsForProgramsThatExist) {
  box.Write("C:\\App\\Bin\\Main.exe", "program");
  WriteManifest(
      "[ICON]\r\nCount=4\r\nICONEXE0=Bin\\Main.exe\r\nICONNAME0=" + GBK("财务") + "\r\nICONGROUP0=Maker\r\n"
      "ICONEXE1=Bin\\Gone.exe\r\nICONNAME1=Gone\r\nICONGROUP1=Maker\r\n"
      "ICONEXE2=Bin\\Main.exe\r\nICONNAME2=\r\nICONGROUP2=Maker\r\n"
      "ICONEXE3=Bin\\Main.exe\r\nICONNAME3=NoGroup\r\nICONGROUP3=\r\n");
  Apply();
  EXPECT_EQ(log, (Journal{"shortcut C:\\App\\Bin\\Main.exe | " + GBK("财务") + " | 2 | Maker"}));
}

TEST_F(Manifest, StepsRunInOrder) {
  // Deletions, then archives, then files, then shortcuts. Each step leaves
  // evidence of its own that no other step touches, and the payload and the
  // shortcut note which evidence they find: every other order shows.
  tasks.Records.push_back({"RPT", "C:\\App\\Hr\\Rpt"});
  box.Write("C:\\App\\Hr\\Rpt\\stale.txt", "stale");
  box.Write("C:\\App\\Bin\\Main.exe", "program");
  const auto seen = [this] {
    std::string found = " | saw";
    for (const char* name : {"stale.txt", "from-payload.txt", "copied.txt"})
      if (box.Exists(std::string("C:\\App\\Hr\\Rpt\\") + name)) found += std::string(" ") + name;
    return found;
  };
  extractor.Observe = seen;
  shortcuts.Observe = seen;
  WriteManifest(
      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=Rpt\r\nDeleteTaskFlag0=HR\r\n"
      "Count=1\r\nSource0=pay.zip\r\nTaskFlag0=RPT\r\n"
      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\copied.txt\r\nTaskFlag0=RPT\r\n"
      "[Icon]\r\nCount=1\r\nICONEXE0=Bin\\Main.exe\r\nICONNAME0=Main\r\nICONGROUP0=G\r\n");
  Apply();
  EXPECT_EQ(log, (Journal{"payload C:\\Work\\pay.zip -> C:\\App\\Hr\\Rpt quiet | saw",
                          "shortcut C:\\App\\Bin\\Main.exe | Main | 2 | G | saw from-payload.txt copied.txt"}));
  EXPECT_FALSE(box.Exists("C:\\App\\Hr\\Rpt\\stale.txt"));
  EXPECT_EQ(box.Read("C:\\App\\Hr\\Rpt\\from-payload.txt"), "payload bytes");
  EXPECT_EQ(box.Read("C:\\App\\Hr\\Rpt\\copied.txt"), "new notes");
}

// Each entry leaves its base one way: it has no effect and is counted.
class ManifestEscape : public Manifest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ManifestEscape, EntryIsVoidAndCounted) {
  box.Write("C:\\App\\Bin\\Main.exe", "program");
  box.Write("C:\\App\\Hr\\Rpt\\keep.frx", "keep");
  box.Write("C:\\Outside\\Main.exe", "outside");
  box.Write("C:\\Outside\\Rpt\\keep.frx", "keep");
  box.Write("C:\\secret.zip", "outside archive");
  const auto before = box.Tree();
  WriteManifest(std::string(GetParam()) + "\r\n");
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(log.empty());
  auto after = box.Tree();
  after.erase("Work/Update.Ini");
  auto expected = before;
  expected.erase("Work/Update.Ini");
  EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ManifestEscape,
    ::testing::Values("[Zip]\r\nDeleteCount=1\r\nDeleteItem0=..\\..\\..\r\nDeleteTaskFlag0=HR",
                      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=\\\r\nDeleteTaskFlag0=HR", "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=.\r\nDeleteTaskFlag0=HR",
                      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=.\\Rpt\\..\r\nDeleteTaskFlag0=HR",
                      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=..\\..\\Outside\\Rpt\r\nDeleteTaskFlag0=HR",
                      "[Zip]\r\nCount=1\r\nSource0=..\\secret.zip\r\nTaskFlag0=HR",
                      "[Zip]\r\nCount=1\r\nSource0=C:\\secret.zip\r\nTaskFlag0=HR",
                      "[File]\r\nCount=1\r\nSource0=..\\Outside\\Main.exe\r\nDest0=\\x.exe\r\nTaskFlag0=HR",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\..\\..\\Outside\\Main.exe\r\nTaskFlag0=HR",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=..\\Outside\\Main.exe",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\Outside\\Main.exe",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=C:\\Outside\\Main.exe",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\\\srv\\share\\Main.exe",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=Bin\\NUL",
                      "[ICON]\r\nCount=1\r\nICONEXE0=..\\Outside\\Main.exe\r\nICONNAME0=M\r\nICONGROUP0=G",
                      "[ICON]\r\nCount=1\r\nICONEXE0=Bin\\Main.exe\r\nICONNAME0=..\\..\\M\r\nICONGROUP0=G",
                      "[ICON]\r\nCount=1\r\nICONEXE0=Bin\\Main.exe\r\nICONNAME0=M\r\nICONGROUP0=..\\..\\Startup",
                      "[ICON]\r\nCount=1\r\nICONEXE0=Bin\\Main.exe\r\nICONNAME0=M\r\nICONGROUP0=D:\\G"));

TEST_F(Manifest, EntriesAfterARefusedOneStillRun) {
  box.MakeDir("C:\\App\\Doc");
  WriteManifest("[File]\r\nCount=2\r\nSource0=notes.txt\r\nDest0=..\\notes.txt\r\nSource1=notes.txt\r\nDest1=Doc\\notes.txt\r\n");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(box.Read("C:\\App\\Doc\\notes.txt"), "new notes");
  EXPECT_FALSE(box.Exists("C:\\notes.txt"));
}

TEST_F(Manifest, PayloadsWholeTestsEveryPayloadThePackageHolds) {
  box.Write("C:\\Work\\bad.zip", "damaged");
  WriteManifest(
      "[Zip]\r\nCount=5\r\nSource0=pay.zip\r\nTaskFlag0=NOBODY\r\nSource1=gone.zip\r\nTaskFlag1=HR\r\n"
      "Source2=..\\Work\\bad.zip\r\nTaskFlag2=HR\r\nSource3=bad.zip\r\nTaskFlag3=\r\n"
      "Source4=bad.zip\r\nTaskFlag4=HR\r\n");
  driver::TUpdateManifest manifest(tasks, extractor, shortcuts);
  EXPECT_FALSE(manifest.PayloadsWhole("C:\\Work"));
  EXPECT_EQ(log, (Journal{"test C:\\Work\\pay.zip", "test C:\\Work\\bad.zip"}));
  box.Write("C:\\Work\\bad.zip", "whole");
  EXPECT_TRUE(manifest.PayloadsWhole("C:\\Work\\"));
  EXPECT_TRUE(manifest.PayloadsWhole("C:\\Elsewhere"));
}

}  // namespace
