#include "InstalledStub.h"

#include <filesystem>

namespace vexpack {

std::string InstalledStub(const char* Argv0) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path self = fs::canonical("/proc/self/exe", error);
  if (error) self = fs::absolute(Argv0, error);
  return (self.parent_path().parent_path() / "share" / "vexupd" / "vexupd.exe").string();
}

}  // namespace vexpack
