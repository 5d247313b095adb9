#include "driver/Manifest.h"

#include "VEXLIB/VexWin.h"
#include "rtl/ContainedPath.h"

namespace driver {
namespace {

// The manifest's joins look at the last byte, not the last character.
std::string WithTrailingByteBackslash(const std::string& Path) {
  return Path.back() == '\\' ? Path : Path + "\\";
}

// Entries 0 .. Count-1 of a section in index order, those that keys name.
template <typename Action>
void ForEachEntry(const TProfileFile& Manifest, const std::string& Section, const std::string& CountKey,
                  Action&& EachEntry) {
  for (const int32_t i : Manifest.EntryIndices(Section, CountKey)) EachEntry(i);
}

std::string Entry(const TProfileFile& Manifest, const std::string& Section, const std::string& Key, int32_t Index) {
  return Manifest.ReadString(Section, TProfileFile::Numbered(Key, Index), "");
}

constexpr uint8_t kProgramsFolder = 2;

// A value joined to its base stays below it (Joint: one leading backslash is
// the separator, as in a Dest appended to a task directory).
bool Inside(const std::string& Value, rtl::TLeadingBackslash Leading = rtl::TLeadingBackslash::Root) {
  return rtl::FindPathEscape(Value, Leading) == rtl::TPathEscape::None;
}

// The package's directory with its manifest, or "" when there is none.
std::string ManifestDir(const std::string& WorkDir) {
  if (WorkDir.empty()) return "";
  const std::string workDir = WithTrailingByteBackslash(WorkDir);
  return vexlib::IsExistingFile(workDir + "Update.Ini") ? workDir : "";
}

}  // namespace

int32_t TUpdateManifest::ApplyManifest(const std::string& WorkDir, const std::string& RootDir) {
  refused_ = 0;
  const std::string workDir = ManifestDir(WorkDir);
  if (workDir.empty() || RootDir.empty()) return 0;
  const std::string rootDir = WithTrailingByteBackslash(RootDir);

  const TProfileFile manifest(workDir + "Update.Ini");
  DeleteItems(manifest);
  ExtractArchives(manifest, workDir);
  CopyFiles(manifest, workDir, rootDir);
  CreateShortcuts(manifest, rootDir);
  return refused_;
}

bool TUpdateManifest::PayloadsWhole(const std::string& WorkDir) {
  const std::string workDir = ManifestDir(WorkDir);
  if (workDir.empty()) return true;
  const TProfileFile manifest(workDir + "Update.Ini");
  bool whole = true;
  // A payload the package lacks is not tested: its extraction fails quietly.
  ForEachPayload(manifest, workDir, [&](const std::string& archive, const std::string&) {
    if (vexlib::IsExistingFile(archive) && !extractor_.TestArchive(archive)) whole = false;
  });
  return whole;
}

bool TUpdateManifest::Admit(bool Inside) {
  if (!Inside) ++refused_;
  return Inside;
}

void TUpdateManifest::DeleteItems(const TProfileFile& Manifest) {
  ForEachEntry(Manifest, "Zip", "DeleteCount", [&](int32_t i) {
    const std::string item = Entry(Manifest, "Zip", "DeleteItem", i);
    const std::string flag = Entry(Manifest, "Zip", "DeleteTaskFlag", i);
    // "\", "." and the like would empty the task directory itself.
    if (item.empty() || !Admit(Inside(item))) return;
    tasks_.ForEachTaskDir(flag, [&](const std::string& taskDir) { actions_.EmptyDirectory(taskDir + "\\" + item); });
  });
}

void TUpdateManifest::ForEachPayload(const TProfileFile& Manifest, const std::string& WorkDir,
                                     const std::function<void(const std::string&, const std::string&)>& Action) {
  ForEachEntry(Manifest, "Zip", "Count", [&](int32_t i) {
    const std::string source = Entry(Manifest, "Zip", "Source", i);
    const std::string flag = Entry(Manifest, "Zip", "TaskFlag", i);
    if (source.empty() || flag.empty() || !Admit(Inside(source))) return;
    Action(WorkDir + source, flag);
  });
}

void TUpdateManifest::ExtractArchives(const TProfileFile& Manifest, const std::string& WorkDir) {
  ForEachPayload(Manifest, WorkDir, [&](const std::string& archive, const std::string& flag) {
    tasks_.ForEachTaskDir(flag, [&](const std::string& taskDir) { ExtractPayload(archive, taskDir, true); });
  });
}

void TUpdateManifest::CopyFiles(const TProfileFile& Manifest, const std::string& WorkDir,
                                const std::string& RootDir) {
  ForEachEntry(Manifest, "File", "Count", [&](int32_t i) {
    const std::string source = Entry(Manifest, "File", "Source", i);
    const std::string dest = Entry(Manifest, "File", "Dest", i);
    const std::string flag = Entry(Manifest, "File", "TaskFlag", i);
    if (source.empty() || dest.empty()) return;
    const auto destForm = flag.empty() ? rtl::TLeadingBackslash::Root : rtl::TLeadingBackslash::Joint;
    if (!Admit(Inside(source) && Inside(dest, destForm))) return;
    const std::string from = WorkDir + source;
    if (flag.empty()) {
      actions_.CopyOneFile(from, RootDir + dest);
      return;
    }
    // The task directory and Dest are joined as they are: Dest brings its
    // own leading backslash.
    tasks_.ForEachTaskDir(flag, [&](const std::string& taskDir) {
      actions_.CopyOneFile(from, taskDir + dest);
    });
  });
}

void TUpdateManifest::CreateShortcuts(const TProfileFile& Manifest, const std::string& RootDir) {
  ForEachEntry(Manifest, "ICON", "Count", [&](int32_t i) {
    const std::string program = Entry(Manifest, "ICON", "ICONEXE", i);
    const std::string name = Entry(Manifest, "ICON", "ICONNAME", i);
    const std::string group = Entry(Manifest, "ICON", "ICONGROUP", i);
    if (program.empty() || name.empty() || group.empty()) return;
    if (!Admit(Inside(program) && Inside(group) && Inside(name))) return;
    if (!actions_.ProgramExists(RootDir + program)) return;
    shortcuts_.CreateShortcut(RootDir + program, name, kProgramsFolder, group);
  });
}

bool TUpdateManifest::ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) {
  return extractor_.ExtractPayload(Archive, Dir, Quiet);
}

}  // namespace driver
