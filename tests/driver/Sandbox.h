// A throw-away drive C: for tests of code that touches files, the registry,
// the temporary directory and message boxes. The stand-in maps drive C: to
// the sandbox folder; the test reaches the same files through host paths.
#pragma once

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "rtl/Gbk.h"

namespace testing_sandbox {

// putenv keeps the pointer it is given, so the strings must outlive the process.
inline void PutEnv(std::string assignment) {
  static std::deque<std::string> kept;
  kept.push_back(std::move(assignment));
  putenv(kept.back().data());
}

// Sets a variable for the sandbox's lifetime and puts the old state back
// afterwards, so that later tests see the environment they started with.
class TScopedEnv {
 public:
  TScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    const char* old = getenv(name_.c_str());
    if (old) old_ = old;
    hadOld_ = old != nullptr;
    PutEnv(name_ + "=" + value);
  }
  ~TScopedEnv() { PutEnv(hadOld_ ? name_ + "=" + old_ : name_); }  // "NAME" alone unsets
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool hadOld_ = false;
};

class TSandbox {
 public:
  TSandbox() {
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    // Taken before the first sandbox points TEMP at its drive C:.
    static const std::filesystem::path hostTemp = std::filesystem::temp_directory_path();
    root_ = hostTemp /
            ("vexupd-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(root_ / "Temp");
    env_.emplace_back(std::make_unique<TScopedEnv>("VEXUPD_DRIVE_C", root_.string()));
    env_.emplace_back(std::make_unique<TScopedEnv>("TEMP", "C:\\Temp"));
    env_.emplace_back(std::make_unique<TScopedEnv>("VEXUPD_REGISTRY", (root_ / "registry.reg").string()));
    env_.emplace_back(std::make_unique<TScopedEnv>("VEXUPD_MSGLOG", (root_ / "messages.log").string()));
  }
  ~TSandbox() {
    while (!env_.empty()) env_.pop_back();  // newest first
    std::error_code ignored;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
    for (auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }
  TSandbox(const TSandbox&) = delete;
  TSandbox& operator=(const TSandbox&) = delete;

  const std::filesystem::path& Root() const { return root_; }

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

  void Write(const std::string& winPath, const std::string& content) const {
    const auto path = Host(winPath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  std::string Read(const std::string& winPath) const {
    std::ifstream in(Host(winPath), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  bool Exists(const std::string& winPath) const { return std::filesystem::exists(Host(winPath)); }
  void MakeDir(const std::string& winPath) const { std::filesystem::create_directories(Host(winPath)); }

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

 private:
  std::filesystem::path root_;
  std::vector<std::unique_ptr<TScopedEnv>> env_;
};

}  // namespace testing_sandbox
