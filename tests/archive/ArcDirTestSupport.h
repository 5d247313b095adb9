// The sandbox folder as the working directory while a test runs,
// archives made there by real encoders, and helpers to patch and inspect them.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/ZipCommon.h"
#include "rtl/ByteOrder.h"
#include "rtl/Exception.h"
#include "tests/support/Sandbox.h"

namespace arcdir_test {

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = box_.Root();
    std::filesystem::current_path(scratch_);
    char buffer[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, buffer);
    windowsDir_ = buffer;
    if (!windowsDir_.empty() && windowsDir_.back() != '\\') windowsDir_ += '\\';
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  // The Windows form of a path below the scratch directory.
  std::string Win(const std::string& relative) const {
    std::string path = windowsDir_ + relative;
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }

  // Runs a shell command in the scratch directory; false when it failed or
  // the tool is missing.
  static bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

  // Makes an archive with Python's zipfile; `body` uses z (the ZipFile).
  // False when Python is missing; a failing script also fails the test.
  // Unseekable output makes zipfile write data descriptors.
  static bool PythonZip(const std::string& archive, const std::string& body, bool unseekable = false) {
    std::ofstream script("make.py");
    script << "import zipfile\n"
           << "class Unseekable:\n"
           << "    def __init__(self, f): self.f = f\n"
           << "    def write(self, b): return self.f.write(b)\n"
           << "    def flush(self): self.f.flush()\n"
           << "out = open('" << archive << "', 'wb')\n"
           << "z = zipfile.ZipFile(" << (unseekable ? "Unseekable(out)" : "out") << ", 'w', zipfile.ZIP_STORED)\n"
           << body << "\nz.close()\nout.close()\n";
    script.close();
    static const bool available = Run(Python() + " -c pass");
    if (!available) return false;
    const bool made = Run(Python() + " make.py");
    EXPECT_TRUE(made) << "zipfile script failed:\n" << body;
    return made;
  }

  static std::string Python() { return vextest::Python3(); }

  static void WriteFile(const std::string& path, const std::string& content) { vextest::WriteFile(path, content); }
  static std::string ReadFile(const std::string& path) { return vextest::ReadFile(path); }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  static std::vector<uint8_t> ReadBytes(const std::string& path) {
    const std::string text = ReadFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
  }
  static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) { return rtl::LoadUInt32(bytes.data() + at); }
  static void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { rtl::StoreUInt32(bytes.data() + at, value); }
  static void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) { rtl::StoreUInt16(bytes.data() + at, value); }
  // Offsets of every record with the given signature.
  static std::vector<size_t> FindSignatures(const std::vector<uint8_t>& bytes, uint32_t signature) {
    std::vector<size_t> found;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
      if (Get32(bytes, i) == signature) found.push_back(i);
    return found;
  }
  // Offset of the last record with the signature, or npos.
  static size_t FindLast(const std::vector<uint8_t>& bytes, uint32_t signature) {
    const std::vector<size_t> found = FindSignatures(bytes, signature);
    return found.empty() ? std::string::npos : found.back();
  }

  // A small ZIP of stored entries made by Info-ZIP (false when zip is missing).
  bool MakeZip(const std::string& archive, const std::vector<std::pair<std::string, std::string>>& files,
               const std::string& options = "-0") {
    std::string names;
    for (const auto& [name, content] : files) {
      WriteFile(name, content);
      names += " '" + name + "'";
    }
    return Run("zip -X -q " + options + " '" + archive + "'" + names);
  }

  vextest::Sandbox box_{vextest::Sandbox::kFolder};
  std::filesystem::path previous_;
  std::filesystem::path scratch_;
  std::string windowsDir_;
};

// The component with its protected state reachable by the tests.
class TProbe : public TZipCommon {
 public:
  using TZipCommon::fArcFile;
  using TZipCommon::fArchiveSize;
  using TZipCommon::fArcType;
  using TZipCommon::fEndOfCentralDir;
  using TZipCommon::fHeaderFlags;
  using TZipCommon::fOffset;
  using TZipCommon::fTimer;
  using TZipCommon::fVolumeCount;
  using TZipCommon::fVolumeLetter;

  // Opens the archive the way the extraction does, keeping its size.
  bool Open(const std::string& path) {
    if (!OpenArchive(fArcFile, path)) return false;
    fArchiveSize = fArcFile.Size();
    return true;
  }
};

}  // namespace arcdir_test
