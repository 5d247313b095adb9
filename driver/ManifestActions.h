// What applying a manifest does to the installation's files, apart from
// payload archives and shortcuts: emptying a directory, copying one file, and
// asking whether a shortcut's program is there. The update does it; a package
// check only writes it down.
#pragma once

#include <string>

namespace driver {

class IManifestActions {
 public:
  virtual ~IManifestActions() = default;
  // Deletes the files and subdirectories of Dir; Dir itself stays.
  virtual void EmptyDirectory(const std::string& Dir) = 0;
  // Copies From over To; a failure is ignored.
  virtual void CopyOneFile(const std::string& From, const std::string& To) = 0;
  virtual bool ProgramExists(const std::string& Program) = 0;
};

// The actions on the real file system.
class TFileSystemActions : public IManifestActions {
 public:
  void EmptyDirectory(const std::string& Dir) override;
  void CopyOneFile(const std::string& From, const std::string& To) override;
  bool ProgramExists(const std::string& Program) override;

  static TFileSystemActions& Instance();
};

}  // namespace driver
