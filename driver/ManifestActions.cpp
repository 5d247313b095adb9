#include "driver/ManifestActions.h"

#include <windows.h>

#include "VEXLIB/VexWin.h"
#include "rtl/DirTree.h"

namespace driver {

void TFileSystemActions::EmptyDirectory(const std::string& Dir) { rtl::DeleteDirFiles(Dir, true); }

void TFileSystemActions::CopyOneFile(const std::string& From, const std::string& To) {
  CopyFileA(From.c_str(), To.c_str(), FALSE);
}

bool TFileSystemActions::ProgramExists(const std::string& Program) { return vexlib::IsExistingFile(Program); }

TFileSystemActions& TFileSystemActions::Instance() {
  static TFileSystemActions actions;
  return actions;
}

}  // namespace driver
