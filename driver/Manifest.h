// Update.Ini, the manifest of an update package: directories to empty in task
// directories, payload archives to extract into them, single files to copy,
// and Start-menu shortcuts to make. Every failure of a single step is silent.
// A path of the manifest that would leave its base (the task directory, the
// package, the install root, the Programs folder) makes its entry void.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "driver/ArchiveExtractor.h"
#include "driver/ManifestActions.h"
#include "driver/ProfileFile.h"
#include "driver/Shortcut.h"
#include "driver/TaskTable.h"
#include "driver/UpdateManifest.h"

namespace driver {

class TUpdateManifest : public IUpdateManifest {
 public:
  TUpdateManifest(ITaskTable& Tasks, IArchiveExtractor& Extractor, IShortcutMaker& Shortcuts,
                  IManifestActions& Actions = TFileSystemActions::Instance())
      : tasks_(Tasks), extractor_(Extractor), shortcuts_(Shortcuts), actions_(Actions) {}

  // WorkDir holds the extracted package, RootDir is the install root; either
  // may end in a backslash. Nothing happens without Update.Ini in WorkDir.
  int32_t ApplyManifest(const std::string& WorkDir, const std::string& RootDir) override;
  bool PayloadsWhole(const std::string& WorkDir) override;

  // Every entry of one ZIP archive into Dir; false when none was begun.
  bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet);

 private:
  void DeleteItems(const TProfileFile& Manifest);
  // Every admitted payload entry: the archive's path and its task flag.
  void ForEachPayload(const TProfileFile& Manifest, const std::string& WorkDir,
                      const std::function<void(const std::string& Archive, const std::string& Flag)>& Action);
  void ExtractArchives(const TProfileFile& Manifest, const std::string& WorkDir);
  void CopyFiles(const TProfileFile& Manifest, const std::string& WorkDir, const std::string& RootDir);
  void CreateShortcuts(const TProfileFile& Manifest, const std::string& RootDir);
  // Counts an entry whose paths do not all stay inside; true for the others.
  bool Admit(bool Inside);

  ITaskTable& tasks_;
  IArchiveExtractor& extractor_;
  IShortcutMaker& shortcuts_;
  IManifestActions& actions_;
  int32_t refused_ = 0;
};

}  // namespace driver
