// A scratch directory per test (made the working directory), archives made
// there by real encoders, and helpers to patch and inspect them.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/UnZip.h"

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::random_device random;
    scratch_ = std::filesystem::temp_directory_path() / ("vexextract-" + std::to_string(random()));
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    char buffer[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, buffer);
    windowsDir_ = buffer;
    if (!windowsDir_.empty() && windowsDir_.back() != '\\') windowsDir_ += '\\';
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    // Read-only files and directories made by a test must not block clean-up.
    for (auto& entry : std::filesystem::recursive_directory_iterator(scratch_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(scratch_, ignored);
  }

  // The Windows form of a path below the scratch directory.
  std::string Win(const std::string& relative) const {
    std::string path = windowsDir_ + relative;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }

  // Runs a shell command in the scratch directory; false when it failed or
  // the tool is missing (the test then skips).
  static bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

  // Makes an archive with Python's zipfile; `body` uses z (the ZipFile).
  static bool PythonZip(const std::string& archive, const std::string& body, const std::string& mode = "ZIP_STORED") {
    std::ofstream script("make.py");
    script << "import zipfile\n"
           << "z = zipfile.ZipFile('" << archive << "', 'w', zipfile." << mode << ")\n"
           << body << "\nz.close()\n";
    script.close();
    return Run(Python() + " make.py");
  }

  // The system interpreter starts much faster than a version-manager shim.
  static std::string Python() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  }

  static void WriteFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path().empty()
                                            ? std::filesystem::path(".")
                                            : std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  static std::vector<uint8_t> ReadBytes(const std::string& path) {
    const std::string text = ReadFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
  }
  static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  static void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  static void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  // Offsets of every record with the given signature.
  static std::vector<size_t> FindSignatures(const std::vector<uint8_t>& bytes, uint32_t signature) {
    std::vector<size_t> found;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
      const uint32_t value = bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16) | (static_cast<uint32_t>(bytes[i + 3]) << 24);
      if (value == signature) found.push_back(i);
    }
    return found;
  }

  // A component set up the way the installer uses it, with every error
  // recorded.
  struct ErrorRecord {
    std::string fileName, extra;
    int32_t id;
  };
  void Prepare(TUnZIP& unzip, const std::string& archive, const std::string& outDir = "out") {
    unzip.SetArchiveFile(Win(archive));
    unzip.SetExtractDir(Win(outDir));
    unzip.FileSpec().push_back("*.*");
    unzip.OnError = [this](TObject*, const std::string& fileName, const std::string& extra, const std::string&,
                           int32_t id) { errors_.push_back({fileName, extra, id}); };
  }
  std::vector<int32_t> ErrorIds() const {
    std::vector<int32_t> ids;
    for (const ErrorRecord& e : errors_) ids.push_back(e.id);
    return ids;
  }

  static time_t ModificationTime(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mtime : 0;
  }
  static time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
  std::string windowsDir_;
  std::vector<ErrorRecord> errors_;
};
