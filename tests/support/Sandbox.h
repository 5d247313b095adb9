// The one sandbox of the stand-in tests: a scratch folder of the host, unique
// to the process, removed with its contents afterwards. As a whole machine it
// is also drive C:, holds the temporary directory C:\Temp, the registry file
// and the message-box log, and the environment is put back when it goes.
// POSIX only; tests that also run on Windows use Scratch.h.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rtl/Gbk.h"

namespace vextest {

// Sets (or, with a null value, removes) an environment variable for a scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) saved_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ScopedEnvironment(const char* name, const std::string& value) : ScopedEnvironment(name, value.c_str()) {}
  ~ScopedEnvironment() {
    if (saved_) {
      setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// Writes a host file, making its directories.
inline void WriteFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Python 3: the system interpreter starts much faster than a version-manager shim.
inline std::string Python3() {
  return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Whether a command-line tool is on the PATH.
inline bool HaveTool(const std::string& name) {
  return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

class Sandbox {
 public:
  enum Scope {
    kFolder,   // a scratch folder only; drive C:, TEMP, registry and log stay as they are
    kMachine,  // the folder is drive C: with C:\Temp, registry.reg and messages.log
  };

  explicit Sandbox(Scope scope = kMachine) {
    static std::atomic<int> serial{0};
    std::string pattern = (HostTemp() / ("vexupd-" + std::to_string(getpid()) + "-" +
                                         std::to_string(serial++) + "-XXXXXX"))
                              .string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed: " << pattern;
    root_ = pattern;
    if (scope == kMachine) {
      std::filesystem::create_directories(root_ / "Temp");
      Set("VEXUPD_DRIVE_C", root_.string());
      Set("TEMP", "C:\\Temp");
      Set("VEXUPD_REGISTRY", (root_ / "registry.reg").string());
      Set("VEXUPD_MSGLOG", (root_ / "messages.log").string());
    }
  }
  ~Sandbox() {
    while (!env_.empty()) env_.pop_back();  // newest first
    std::error_code ignored;
    // Read-only files and directories made by a test must not block clean-up.
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
    for (auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  // Host path of a name inside the folder.
  std::string Path(const std::string& name) const { return (root_ / name).string(); }

  // Host path of a Windows path on drive C: (GBK bytes, backslashes).
  std::filesystem::path Host(const std::string& winPath) const {
    std::string rest = winPath;
    if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
    std::string utf8 = rtl::GbkToUtf8(rest);
    for (char& c : utf8)
      if (c == '\\') c = '/';
    while (!utf8.empty() && utf8.front() == '/') utf8.erase(utf8.begin());
    return root_ / utf8;
  }
  void Write(const std::string& winPath, const std::string& content) const { WriteFile(Host(winPath), content); }
  std::string Read(const std::string& winPath) const { return ReadFile(Host(winPath)); }
  bool Exists(const std::string& winPath) const { return std::filesystem::exists(Host(winPath)); }
  void MakeDir(const std::string& winPath) const { std::filesystem::create_directories(Host(winPath)); }

  // Every file and directory below the root with its content ("" for a
  // directory): two equal trees are equal byte for byte. The registry and
  // the message log are left out.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> tree;
    for (auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
      const std::string name = std::filesystem::relative(entry.path(), root_).string();
      if (name == "registry.reg" || name == "messages.log") continue;
      tree[name] = entry.is_regular_file() ? ReadFile(entry.path()) : "";
    }
    return tree;
  }

  // Names (UTF-8) of what the temporary directory C:\Temp holds.
  std::vector<std::string> TempEntries() const {
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(root_ / "Temp")) names.push_back(entry.path().filename().string());
    return names;
  }

  // One line per message box: caption TAB style TAB text (UTF-8, escaped).
  std::vector<std::string> Messages() const {
    std::vector<std::string> lines;
    std::ifstream in(root_ / "messages.log", std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Runs a shell command in the folder; its exit status.
  int Run(const std::string& command) const { return std::system(InFolder(command).c_str()); }
  // Whether a shell command run in the folder succeeds; its output is dropped.
  bool Succeeds(const std::string& command) const { return Run("(" + command + ") >/dev/null 2>&1") == 0; }
  // Standard output of a shell command run in the folder.
  std::string Capture(const std::string& command) const {
    std::string output;
    FILE* pipe = popen(InFolder(command).c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
  }
  // Overwrites bytes of a file in the folder in place.
  void Patch(const std::string& name, long offset, const std::string& bytes) const {
    std::fstream file(Path(name), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(offset);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(file.good()) << name;
  }

 private:
  // The host's temporary directory; TEMP is not asked, sandboxes set it to a
  // Windows path.
  static std::filesystem::path HostTemp() {
    const char* tmpdir = getenv("TMPDIR");
    return tmpdir != nullptr && tmpdir[0] == '/' ? tmpdir : "/tmp";
  }
  std::string InFolder(const std::string& command) const { return "cd '" + root_.string() + "' && " + command; }
  void Set(const char* name, const std::string& value) {
    env_.emplace_back(std::make_unique<ScopedEnvironment>(name, value));
  }

  std::filesystem::path root_;
  std::vector<std::unique_ptr<ScopedEnvironment>> env_;
};

}  // namespace vextest
