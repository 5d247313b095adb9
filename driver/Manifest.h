// Update.Ini, the manifest of an update package: directories to empty in task
// directories, payload archives to extract into them, single files to copy,
// and Start-menu shortcuts to make. Every failure of a single step is silent.
#pragma once

#include <string>

#include "driver/ArchiveExtractor.h"
#include "driver/ProfileFile.h"
#include "driver/Shortcut.h"
#include "driver/TaskTable.h"
#include "driver/UpdateManifest.h"

namespace driver {

class TUpdateManifest : public IUpdateManifest {
 public:
  TUpdateManifest(ITaskTable& Tasks, IArchiveExtractor& Extractor, IShortcutMaker& Shortcuts)
      : tasks_(Tasks), extractor_(Extractor), shortcuts_(Shortcuts) {}

  // WorkDir holds the extracted package, RootDir is the install root; either
  // may end in a backslash. Nothing happens without Update.Ini in WorkDir.
  void ApplyManifest(const std::string& WorkDir, const std::string& RootDir) override;

  // Every entry of one ZIP archive into Dir; false when none was begun.
  bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet);

 private:
  void DeleteItems(const TProfileFile& Manifest);
  void ExtractArchives(const TProfileFile& Manifest, const std::string& WorkDir);
  void CopyFiles(const TProfileFile& Manifest, const std::string& WorkDir, const std::string& RootDir);
  void CreateShortcuts(const TProfileFile& Manifest, const std::string& RootDir);

  ITaskTable& tasks_;
  IArchiveExtractor& extractor_;
  IShortcutMaker& shortcuts_;
};

}  // namespace driver
