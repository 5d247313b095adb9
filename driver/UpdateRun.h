// The update run: unpack the package carried by the program, find the
// installation it updates, apply the package's manifest, optionally replace
// the application's executable, report, and clean up.
#pragma once

#include <windows.h>

#include <string>

#include "driver/AppIdentity.h"
#include "driver/ArchiveExtractor.h"
#include "driver/PackageSource.h"
#include "driver/TaskTable.h"
#include "driver/UpdateManifest.h"

namespace driver {

// Exit codes besides 0 (the run completed) and 1 (an error escaped the run).
constexpr int kExitPackageDamaged = 2;   // nothing was changed
constexpr int kExitEntriesRefused = 3;   // the update ran without the refused entries

struct TUpdateServices {
  IPackageSource& Package;
  IArchiveExtractor& Extractor;
  ITaskTable& Tasks;
  IUpdateManifest& Manifest;
};

class TUpdateRun {
 public:
  explicit TUpdateRun(TUpdateServices Services) : services_(Services) {}

  // The whole run; returns the process exit code (0 on every completed path,
  // or one of the codes above). Errors it does not handle itself escape to
  // the caller.
  int RunUpdate();

  // Extracts Archive into Dir on a worker thread with a 1 MiB stack and waits
  // for it, servicing only messages sent by other threads meanwhile. True
  // when the archive came out whole.
  bool ExtractInThread(const std::string& Archive, const std::string& Dir, const std::string& Password);

  const std::string& PackageFile() const { return packageFile_; }
  const std::string& WorkDir() const { return workDir_; }
  const std::string& RootDir() const { return rootDir_; }
  const TAppIdentity& Identity() const { return identity_; }

 private:
  void SavePackage();
  void FindRootDir();
  // The package, its payloads and the executable paths it names are sound.
  bool PackageSound(bool ExtractedWhole);
  int RefusePackage();
  int UpdateInstallation();
  void ReplaceExecutable(const std::string& OriginalExecutable, const std::string& DoneText, UINT DoneIcon);
  void RemovePackageFile();
  int EndWithoutInstallation();

  TUpdateServices services_;
  std::string packageFile_;
  std::string workDir_;
  std::string rootDir_;
  TAppIdentity identity_;
};

}  // namespace driver
