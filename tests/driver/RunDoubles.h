// Doubles for the services the update run is given, recording what the run
// asked of them in one shared journal.
#pragma once

#include <windows.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "driver/UpdateRun.h"
#include "tests/support/Sandbox.h"

namespace run_doubles {

using Journal = std::vector<std::string>;

// Saves given bytes as the package; optionally as an executable script.
class TFakePackage : public driver::IPackageSource {
 public:
  TFakePackage(const vextest::Sandbox& Box, Journal& Log) : box_(Box), log_(Log) {}
  void SaveTo(const std::string& FileName) override {
    log_.push_back("save " + FileName);
    box_.Write(FileName, Content);
    if (Executable)
      std::filesystem::permissions(box_.Host(FileName), std::filesystem::perms::owner_exec,
                                   std::filesystem::perm_options::add);
  }
  std::string Content = "PK\x05\x06 not really a package";
  bool Executable = false;

 private:
  const vextest::Sandbox& box_;
  Journal& log_;
};

// "Extracts" the files it was given into the target directory.
class TFakeExtractor : public driver::IArchiveExtractor {
 public:
  TFakeExtractor(const vextest::Sandbox& Box, Journal& Log) : box_(Box), log_(Log) {}
  bool ExtractPackage(const std::string& Archive, const std::string& Dir, const std::string& Password) override {
    log_.push_back("extract " + Archive + " -> " + Dir + " [" + Password + "]");
    WorkerThread = GetCurrentThreadId();
    for (const auto& [name, content] : Files) box_.Write(Dir + "\\" + name, content);
    if (Fail) throw std::runtime_error("damaged archive");
    return !Damaged && !Files.empty();
  }
  bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) override {
    log_.push_back("payload " + Archive + " -> " + Dir + (Quiet ? " quiet" : ""));
    return true;
  }
  bool TestArchive(const std::string&) override { return true; }
  std::map<std::string, std::string> Files;
  bool Fail = false;
  bool Damaged = false;  // extracted, but with a reported fault
  DWORD WorkerThread = 0;

 private:
  const vextest::Sandbox& box_;
  Journal& log_;
};

class TFakeTasks : public driver::ITaskTable {
 public:
  explicit TFakeTasks(Journal& Log) : log_(Log) {}
  bool Open(const std::string& RootDir) override {
    log_.push_back("open " + RootDir);
    return Exists;
  }
  uint32_t Count() override { return 0; }
  void ForEachTaskDir(const std::string&, const std::function<void(const std::string&)>&) override {}
  bool Exists = true;

 private:
  Journal& log_;
};

class TFakeManifest : public driver::IUpdateManifest {
 public:
  explicit TFakeManifest(Journal& Log) : log_(Log) {}
  int32_t ApplyManifest(const std::string& WorkDir, const std::string& RootDir) override {
    log_.push_back("apply " + WorkDir + " " + RootDir);
    return Refused;
  }
  bool PayloadsWhole(const std::string&) override { return Whole; }
  int32_t Refused = 0;
  bool Whole = true;

 private:
  Journal& log_;
};

}  // namespace run_doubles
