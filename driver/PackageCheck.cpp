#include "driver/PackageCheck.h"

#include <exception>
#include <map>
#include <memory>
#include <set>

#include "VEXLIB/DB/TableText.h"
#include "driver/AppIdentity.h"
#include "driver/ArchiveTest.h"
#include "driver/IniSchema.h"
#include "driver/Manifest.h"
#include "driver/PackagePlan.h"
#include "driver/ProfileFile.h"
#include "driver/SimpleTasks.h"
#include "driver/SystemHelpers.h"
#include "driver/UnZipExtractor.h"
#include "rtl/ContainedPath.h"
#include "rtl/WinPath.h"

namespace driver {

int TPackageReport::ExitCode(bool Strict) const {
  if (Findings.Count(TSeverity::Error) > 0) return 1;
  return Strict && Findings.Count(TSeverity::Warning) > 0 ? 2 : 0;
}

namespace {

constexpr const char* kIdentityFile = "HKeyInfo.ini";
constexpr const char* kManifestFile = "Update.Ini";

// The package extracted as the installer extracts it, removed afterwards.
class TWorkDir {
 public:
  explicit TWorkDir(const std::string& Package) {
    created_ = CreateOwnDirectory();
    if (created_) TUnZipExtractor().ExtractPackage(Package, dir_, "");
  }
  ~TWorkDir() {
    if (created_) DeleteDirectoryTree(dir_);
  }
  TWorkDir(const TWorkDir&) = delete;
  TWorkDir& operator=(const TWorkDir&) = delete;

  bool Created() const { return created_; }
  // No trailing backslash, as the run keeps it.
  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& Name) const { return dir_ + "\\" + Name; }

 private:
  // Checks run in parallel (release scripts, tests) can be given the same
  // time-made name: the directory must be made here, not found, or one check
  // would extract into and then remove another's.
  bool CreateOwnDirectory() {
    for (int attempt = 0; attempt < 1000; ++attempt) {
      dir_ = CreateTempName("", ".TMP", "");
      if (!ForceDirectoryPath(rtl::ExtractFilePath(dir_))) return false;
      if (CreateDirectoryA(dir_.c_str(), nullptr)) return true;
      if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
  }

  std::string dir_;
  bool created_ = false;
};

// Each payload archive is tested once, however often the manifest names it.
class TPayloadTests {
 public:
  const TArchiveVerdict& Of(const std::string& Archive) {
    auto found = verdicts_.find(Archive);
    if (found == verdicts_.end()) found = verdicts_.emplace(Archive, TestArchive(Archive, true)).first;
    return found->second;
  }

 private:
  std::map<std::string, TArchiveVerdict> verdicts_;
};

// Flags of deleted task records: the installer skips those records.
std::map<std::string, std::vector<uint32_t>> DeletedTaskFlags(const std::string& TaskTable) {
  std::map<std::string, std::vector<uint32_t>> deleted;
  vexlib::TDBFListingTable table;
  table.OpenTable(TaskTable, true, false);
  const int32_t flagColumn = table.FieldIndex("Flag");
  const uint32_t count = table.GetRecordCount();
  for (uint32_t i = 0; flagColumn >= 0 && i < count; ++i) {
    table.GoTo(i);
    if (table.RecordDeleted()) deleted[table.GetFieldAsString(flagColumn)].push_back(i);
  }
  table.Close();
  return deleted;
}

// Manifest values that are paths below a base (a task directory, the
// package, the install root, the Programs folder).
struct TPathKey {
  const char* Section;
  const char* CountKey;
  const char* Stem;
};
constexpr TPathKey kManifestPaths[] = {
    {"Zip", "DeleteCount", "DeleteItem"}, {"Zip", "Count", "Source"},    {"File", "Count", "Source"},
    {"File", "Count", "Dest"},            {"ICON", "Count", "ICONEXE"}, {"ICON", "Count", "ICONGROUP"},
};

// Files the package names are looked at only when they lie inside it; the
// others are reported as refused and never opened.
bool InPackage(const std::string& Name, rtl::TLeadingBackslash Leading = rtl::TLeadingBackslash::Root) {
  return rtl::FindPathEscape(Name, Leading) == rtl::TPathEscape::None;
}

// One manifest value that names a task flag.
struct TFlagUse {
  std::string Section, Key, Flag;
};

class TPackageCheck {
 public:
  TPackageCheck(const std::string& Package, const std::string& TaskTable, TPackageReport& Report)
      : package_(Package), taskTable_(TaskTable), findings_(Report.Findings), plan_(Report.Plan) {}

  void Run() {
    if (!TestPackage()) return;
    const TWorkDir work(package_);
    if (!work.Created()) {
      findings_.Error("", "", "", "cannot create the work directory " + work.Dir());
      return;
    }
    const TAppIdentity identity = CheckIdentity(work);
    CheckManifest(work);
    std::unique_ptr<ITaskTable> tasks = OpenTasks();
    if (!tasks) return;
    MakePlan(work, identity, *tasks);
  }

 private:
  bool TestPackage() {
    const TArchiveVerdict verdict = TestArchive(package_, false);
    for (const std::string& fault : verdict.Faults) findings_.Error("", "", "", "full test: " + fault);
    return verdict.Opened;
  }

  TAppIdentity CheckIdentity(const TWorkDir& Work) {
    const std::string file = Work.Path(kIdentityFile);
    if (!IsFile(file)) {
      findings_.Error(kIdentityFile, "", "", "the package has no HKeyInfo.ini: the installer cannot tell which "
                                             "application it updates");
      return TAppIdentity();
    }
    CheckIniFile(file, kIdentityFile, IdentitySchema(), findings_);
    const TAppIdentity identity = TAppIdentity::Read(file);
    if (identity.sAppInstallKey.empty()) {
      findings_.Error(kIdentityFile, "HKEYINFO", "sAppInstallKey", "missing or empty: no installation is found");
    }
    if (identity.UpdExe == 1) {
      // Both are appended to a directory and bring their own backslash.
      CheckContained(kIdentityFile, "HKEYINFO", "sAppExecutable", identity.sAppExecutable, rtl::TLeadingBackslash::Joint);
      CheckContained(kIdentityFile, "HKEYINFO", "sAppOtherExecutable", identity.sAppOtherExecutable,
                     rtl::TLeadingBackslash::Joint);
    }
    if (identity.sAppTitle.empty()) {
      findings_.Error(kIdentityFile, "HKEYINFO", "sAppTitle", "missing or empty: the messages have no title");
    }
    // The run joins the work directory and the name without a separator.
    if (identity.UpdExe == 1 && InPackage(identity.sAppExecutable, rtl::TLeadingBackslash::Joint) &&
        !IsFile(Work.Dir() + identity.sAppExecutable)) {
      findings_.Error(kIdentityFile, "HKEYINFO", "sAppExecutable",
                      "UpdExe=1 but the package holds no executable \"" + identity.sAppExecutable +
                          "\" (the name needs its leading backslash)");
    }
    return identity;
  }

  void CheckManifest(const TWorkDir& Work) {
    const std::string file = Work.Path(kManifestFile);
    if (!IsFile(file)) {
      findings_.Warning(kManifestFile, "", "", "the package has no Update.Ini: the installer applies no manifest");
      return;
    }
    CheckIniFile(file, kManifestFile, ManifestSchema(), findings_);
    const TProfileFile manifest(file);
    CheckManifestPaths(manifest);
    NoteDeleteFlags(manifest);
    CheckArchiveEntries(manifest, Work);
    CheckFileEntries(manifest, Work);
  }

  void CheckArchiveEntries(const TProfileFile& Manifest, const TWorkDir& Work) {
    for (const int32_t i : Manifest.EntryIndices("Zip", "Count")) {
      const std::string sourceKey = TProfileFile::Numbered("Source", i);
      const std::string source = Manifest.ReadString("Zip", sourceKey, "");
      const std::string flag = Manifest.ReadString("Zip", TProfileFile::Numbered("TaskFlag", i), "");
      if (source.empty()) continue;
      if (flag.empty()) {
        findings_.Warning(kManifestFile, "Zip", TProfileFile::Numbered("TaskFlag", i),
                          "missing or empty: the installer never extracts " + source);
      } else {
        flagUses_.push_back({"Zip", TProfileFile::Numbered("TaskFlag", i), flag});
      }
      if (!InPackage(source) || !SourcePresent(Work, "Zip", sourceKey, source)) continue;
      for (const std::string& fault : payloads_.Of(Work.Path(source)).Faults) {
        findings_.Error(kManifestFile, "Zip", sourceKey, source + ": full test: " + fault);
      }
    }
  }

  void CheckFileEntries(const TProfileFile& Manifest, const TWorkDir& Work) {
    for (const int32_t i : Manifest.EntryIndices("File", "Count")) {
      const std::string sourceKey = TProfileFile::Numbered("Source", i);
      const std::string source = Manifest.ReadString("File", sourceKey, "");
      const std::string destKey = TProfileFile::Numbered("Dest", i);
      const std::string dest = Manifest.ReadString("File", destKey, "");
      const std::string flagKey = TProfileFile::Numbered("TaskFlag", i);
      const std::string flag = Manifest.ReadString("File", flagKey, "");
      if (source.empty() || dest.empty()) continue;
      if (InPackage(source)) SourcePresent(Work, "File", sourceKey, source);
      if (flag.empty()) continue;
      flagUses_.push_back({"File", flagKey, flag});
      if (dest[0] != '\\') {
        findings_.Warning(kManifestFile, "File", destKey,
                          "\"" + dest + "\" has no leading backslash: with " + flagKey +
                              " it is joined to the task directory as it is (" + PlannedTaskDir(flag) + dest + ")");
      }
    }
  }

  // A path the installer refuses because it would leave its base.
  void CheckContained(const std::string& File, const std::string& Section, const std::string& Key,
                      const std::string& Value, rtl::TLeadingBackslash Leading) {
    if (Value.empty()) return;
    const rtl::TPathEscape escape = rtl::FindPathEscape(Value, Leading);
    if (escape == rtl::TPathEscape::None) return;
    findings_.Error(File, Section, Key,
                    "\"" + Value + "\" is refused by the installer: " + rtl::PathEscapeText(escape));
  }

  void CheckManifestPaths(const TProfileFile& Manifest) {
    for (const TPathKey& path : kManifestPaths) {
      for (const int32_t i : Manifest.EntryIndices(path.Section, path.CountKey)) {
        const std::string key = TProfileFile::Numbered(path.Stem, i);
        // A Dest joined to a task directory brings its own backslash.
        const bool joint = std::string(path.Stem) == "Dest" &&
                           !Manifest.ReadString(path.Section, TProfileFile::Numbered("TaskFlag", i), "").empty();
        CheckContained(kManifestFile, path.Section, key, Manifest.ReadString(path.Section, key, ""),
                       joint ? rtl::TLeadingBackslash::Joint : rtl::TLeadingBackslash::Root);
      }
    }
  }

  bool SourcePresent(const TWorkDir& Work, const std::string& Section, const std::string& Key,
                     const std::string& Source) {
    if (IsFile(Work.Path(Source))) return true;
    findings_.Warning(kManifestFile, Section, Key, "the package holds no " + Source + ": the entry does nothing");
    return false;
  }

  // The flags of the deletions, which come first, for the task table check.
  void NoteDeleteFlags(const TProfileFile& Manifest) {
    for (const int32_t i : Manifest.EntryIndices("Zip", "DeleteCount")) {
      const std::string key = TProfileFile::Numbered("DeleteTaskFlag", i);
      const std::string flag = Manifest.ReadString("Zip", key, "");
      if (!flag.empty()) flagUses_.push_back({"Zip", key, flag});
    }
  }

  std::unique_ptr<ITaskTable> OpenTasks() {
    if (taskTable_.empty()) return std::make_unique<TSymbolicTasks>();
    try {
      if (!IsFile(taskTable_)) {
        findings_.Error(taskTable_, "", "", "no such task table");
        return nullptr;
      }
      const auto deleted = DeletedTaskFlags(taskTable_);
      auto tasks = std::make_unique<TSimpleTasks>();
      tasks->OpenTable(taskTable_);
      for (const TFlagUse& use : flagUses_) CheckFlag(*tasks, use, deleted);
      return tasks;
    } catch (const std::exception& e) {
      findings_.Error(taskTable_, "", "", std::string("cannot be used: ") + e.what());
      return nullptr;
    }
  }

  void CheckFlag(TSimpleTasks& Tasks, const TFlagUse& Use, const std::map<std::string, std::vector<uint32_t>>& Deleted) {
    bool matched = false;
    Tasks.ForEachTaskDir(Use.Flag, [&](const std::string&) { matched = true; });
    if (matched) return;
    std::string text = "task flag " + Use.Flag + " matches no record of the task table";
    const auto found = Deleted.find(Use.Flag);
    if (found != Deleted.end()) {
      text += "; deleted record";
      text += found->second.size() == 1 ? " " : "s ";
      for (size_t i = 0; i < found->second.size(); ++i) text += (i ? ", " : "") + std::to_string(found->second[i]);
      text += " carr" + std::string(found->second.size() == 1 ? "ies" : "y") + " it and " +
              (found->second.size() == 1 ? "is" : "are") + " skipped";
    }
    findings_.Warning(kManifestFile, Use.Section, Use.Key, text);
  }

  void MakePlan(const TWorkDir& Work, const TAppIdentity& Identity, ITaskTable& Tasks) {
    const std::string root = Work.Dir() + "\\";
    TPlanRecorder recorder(root, [this, &root](const std::string& archive) {
      if (archive.rfind(root, 0) != 0 || !InPackage(archive.substr(root.size()))) return -1;
      const TArchiveVerdict& verdict = payloads_.Of(archive);
      return verdict.Opened ? verdict.Entries : -1;
    });
    TUpdateManifest(Tasks, recorder, recorder, recorder).ApplyManifest(Work.Dir(), kPlannedRoot);
    recorder.ReplaceExecutable(Identity);
    plan_ = recorder.Steps();
  }

  const std::string package_;
  const std::string taskTable_;
  TFindings& findings_;
  std::vector<std::string>& plan_;
  TPayloadTests payloads_;
  std::vector<TFlagUse> flagUses_;
};

}  // namespace

TPackageReport CheckPackage(const std::string& Package, const std::string& TaskTable) {
  TPackageReport report;
  TPackageCheck(Package, TaskTable, report).Run();
  return report;
}

}  // namespace driver
