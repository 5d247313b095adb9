// POSIX-only: a sandbox directory that the stand-in's drive C: maps to, so
// that shapelib's tools (which take POSIX paths) and the tables (which take
// Windows paths) see the same files.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vexlib_test {

class ShapelibSandbox {
 public:
  ShapelibSandbox() {
    char pattern[] = "/tmp/vexlib-dbf-XXXXXX";
    root_ = mkdtemp(pattern) ? pattern : "";
    if (const char* drive = std::getenv("VEXUPD_DRIVE_C")) {
      hadDrive_ = true;
      savedDrive_ = drive;
    }
    setenv("VEXUPD_DRIVE_C", root_.c_str(), 1);
  }
  ~ShapelibSandbox() {
    if (hadDrive_) {
      setenv("VEXUPD_DRIVE_C", savedDrive_.c_str(), 1);
    } else {
      unsetenv("VEXUPD_DRIVE_C");
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  ShapelibSandbox(const ShapelibSandbox&) = delete;
  ShapelibSandbox& operator=(const ShapelibSandbox&) = delete;

  static bool HasShapelib() { return std::system("command -v dbfcreate >/dev/null 2>&1") == 0; }

  std::string Posix(const std::string& name) const { return root_ + "/" + name; }
  static std::string Windows(const std::string& name) { return "C:\\" + name; }

  // Runs a shell command in the sandbox; its exit status.
  int Run(const std::string& command) const { return std::system(("cd '" + root_ + "' && " + command).c_str()); }

  // Standard output of a shell command run in the sandbox.
  std::string Capture(const std::string& command) const {
    std::string output;
    FILE* pipe = popen(("cd '" + root_ + "' && " + command).c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
  }

  // Overwrites bytes of a file in place.
  void Patch(const std::string& name, long offset, const std::string& bytes) const {
    FILE* file = std::fopen(Posix(name).c_str(), "r+b");
    if (file == nullptr) return;
    std::fseek(file, offset, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

 private:
  std::string root_;
  bool hadDrive_ = false;
  std::string savedDrive_;
};

}  // namespace vexlib_test
