#include "driver/Manifest.h"

#include <windows.h>

#include <cstdint>
#include <set>

#include "VEXLIB/VexWin.h"
#include "rtl/ContainedPath.h"
#include "rtl/DirTree.h"

namespace driver {
namespace {

// The manifest's joins look at the last byte, not the last character.
std::string WithTrailingByteBackslash(const std::string& Path) {
  return Path.back() == '\\' ? Path : Path + "\\";
}

// The index a numbered key carries ("Source12" gives 12), written as
// Numbered writes it; -1 for any other name.
int32_t IndexOfKey(const std::string& Name) {
  const size_t digits = Name.find_last_not_of("0123456789") + 1;
  const std::string index = Name.substr(digits);
  if (digits == 0 || index.empty() || index.size() > 10 || (index[0] == '0' && index.size() > 1)) return -1;
  const int64_t value = std::stoll(index);
  return value <= INT32_MAX ? static_cast<int32_t>(value) : -1;
}

// Entries 0 .. Count-1 of a section in index order; a count of 0 or less
// means none. An index that no key of the section carries has only empty
// values and no effect, so only the indices the keys name are visited: a
// count of two thousand million costs nothing.
template <typename Action>
void ForEachEntry(const TProfileFile& Manifest, const std::string& Section, const std::string& CountKey,
                  Action&& EachEntry) {
  const int32_t count = Manifest.ReadInteger(Section, CountKey, 0);
  std::set<int32_t> indices;
  for (const std::string& name : Manifest.KeyNames(Section)) {
    const int32_t index = IndexOfKey(name);
    if (index >= 0 && index < count) indices.insert(index);
  }
  for (const int32_t i : indices) EachEntry(i);
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
    tasks_.ForEachTaskDir(flag, [&](const std::string& taskDir) { rtl::DeleteDirFiles(taskDir + "\\" + item, true); });
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
      CopyFileA(from.c_str(), (RootDir + dest).c_str(), FALSE);
      return;
    }
    // The task directory and Dest are joined as they are: Dest brings its
    // own leading backslash.
    tasks_.ForEachTaskDir(flag, [&](const std::string& taskDir) {
      CopyFileA(from.c_str(), (taskDir + dest).c_str(), FALSE);
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
    if (!vexlib::IsExistingFile(RootDir + program)) return;
    shortcuts_.CreateShortcut(RootDir + program, name, kProgramsFolder, group);
  });
}

bool TUpdateManifest::ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) {
  return extractor_.ExtractPayload(Archive, Dir, Quiet);
}

}  // namespace driver
