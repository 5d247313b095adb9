// The update run: unpack the package carried by the program, find the
// installation it updates, apply the package's manifest, optionally replace
// the application's executable, report, and clean up.
#pragma once

#include <string>

#include "driver/AppIdentity.h"
#include "driver/ArchiveExtractor.h"
#include "driver/PackageSource.h"
#include "driver/TaskTable.h"
#include "driver/UpdateManifest.h"

namespace driver {

struct TUpdateServices {
  IPackageSource& Package;
  IArchiveExtractor& Extractor;
  ITaskTable& Tasks;
  IUpdateManifest& Manifest;
};

class TUpdateRun {
 public:
  explicit TUpdateRun(TUpdateServices Services) : services_(Services) {}

  // The whole run; returns the process exit code (0 on every completed path).
  // Errors it does not handle itself escape to the caller.
  int RunUpdate();

  // Extracts Archive into Dir on a worker thread with a 1 MiB stack and waits
  // for it, servicing only messages sent by other threads meanwhile.
  bool ExtractInThread(const std::string& Archive, const std::string& Dir, const std::string& Password);

  const std::string& PackageFile() const { return packageFile_; }
  const std::string& WorkDir() const { return workDir_; }
  const std::string& RootDir() const { return rootDir_; }
  const TAppIdentity& Identity() const { return identity_; }

 private:
  void SavePackage();
  void FindRootDir();
  void UpdateInstallation();
  void ReplaceExecutable(const std::string& OriginalExecutable);
  void RemovePackageFile();
  int EndWithoutInstallation();

  TUpdateServices services_;
  std::string packageFile_;
  std::string workDir_;
  std::string rootDir_;
  TAppIdentity identity_;
};

}  // namespace driver
