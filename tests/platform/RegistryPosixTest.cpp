// The stand-in's registry file: its format, hand-edited files, atomic
// rewrites and the lock between writers.
#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/Sandbox.h"

namespace {

using vextest::ReadFile;
using vextest::WriteFile;

// Every test of this binary uses a registry file of its own, never the user's.
class RegistryFileEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    sandbox_ = std::make_unique<vextest::Sandbox>(vextest::Sandbox::kFolder);
    setenv("VEXUPD_REGISTRY", sandbox_->Path("registry.reg").c_str(), 1);
  }
  void TearDown() override { sandbox_.reset(); }

 private:
  std::unique_ptr<vextest::Sandbox> sandbox_;
};

[[maybe_unused]] ::testing::Environment* const kRegistryEnvironment =
    ::testing::AddGlobalTestEnvironment(new RegistryFileEnvironment);

class RegistryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = std::getenv("VEXUPD_REGISTRY");
    saved_ = saved != nullptr ? saved : "";
    file_ = sandbox_.Path("reg/registry.reg");
    setenv("VEXUPD_REGISTRY", file_.c_str(), 1);
  }
  void TearDown() override { setenv("VEXUPD_REGISTRY", saved_.c_str(), 1); }

  static std::string Query(HKEY root, const char* path, const char* name, DWORD* type = nullptr) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
    char data[512] = {};
    DWORD size = sizeof data;
    result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
    return std::string(data, size);
  }

  static LONG Write(HKEY root, const char* path, const char* name, const std::string& text) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return result;
  }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
  std::string file_;
  std::string saved_;
};

TEST_F(RegistryFileTest, AWriteProducesARegFileInUtf8) {
  // "升级" in GBK inside the program, UTF-8 in the file.
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Product", "AppTitle",
                                 "Say \"hi\" C:\\ \xC9\xFD\xBC\xB6"));
  EXPECT_EQ(
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
      "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker]\r\n"
      "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Product]\r\n"
      "\"AppTitle\"=\"Say \\\"hi\\\" C:\\\\ \xE5\x8D\x87\xE7\xBA\xA7\"\r\n",
      ReadFile(file_));
}

TEST_F(RegistryFileTest, AHandWrittenFileIsRead) {
  std::filesystem::create_directories(sandbox_.Path("reg"));
  WriteFile(file_,
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
            "; prepared by a script\n"
            "[HKLM\\SOFTWARE\\Maker\\Product]\n"
            "\"RootDir\"=\"C:\\\\VexApp\\\\\"\n"
            "@=\"default\"\n"
            "; comments ending in a backslash do not swallow the next line: C:\\\n"
            "; was \"Old\"=hex:01,\\\n"
            "\"Count\"=dword:0000002A\n"
            "\"Folder\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\n"
            "  45,00,25,00,00,00\n"
            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Removed]\n"
            "\"Ignored\"=\"x\"\n"
            "[HKEY_CURRENT_USER\\Software\\\xE4\xB8\xAD\xE6\x96\x87]\n"
            "\"Name\"=\"\xE4\xB8\xAD\xE6\x96\x87\"\n");
  DWORD type = 0;
  EXPECT_EQ(std::string("C:\\VexApp\\\0", 11), Query(HKEY_LOCAL_MACHINE, "software\\maker\\PRODUCT", "rootdir"));
  EXPECT_EQ(std::string("default\0", 8), Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Product", nullptr));
  EXPECT_EQ(std::string("\x2A\0\0\0", 4), Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Product", "Count", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(std::string("%USERPROFILE%\0", 14), Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Product", "Folder", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
  EXPECT_EQ("<error 2>", Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Removed", "Ignored"));
  EXPECT_EQ(std::string("\xD6\xD0\xCE\xC4\0", 5), Query(HKEY_CURRENT_USER, "Software\\\xD6\xD0\xCE\xC4", "Name"));
}

TEST_F(RegistryFileTest, RewritingKeepsWhatWasThereAndRoundTrips) {
  std::filesystem::create_directories(sandbox_.Path("reg"));
  WriteFile(file_,
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
            "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
            "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
            "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n");
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "New", "n"));
  const std::string once = ReadFile(file_);
  EXPECT_NE(std::string::npos, once.find("\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"));
  EXPECT_NE(std::string::npos, once.find("\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"));
  EXPECT_NE(std::string::npos, once.find("\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"));
  EXPECT_EQ(std::string("a\r\nb\0", 5), Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "Lines"));
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "New", "n"));
  EXPECT_EQ(once, ReadFile(file_));
}

TEST_F(RegistryFileTest, LongBinaryValuesWrapLikeRegedit) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Bin", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  std::string blob(100, '\0');
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>(i);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                                          static_cast<DWORD>(blob.size())));
  RegCloseKey(key);
  const std::string text = ReadFile(file_);
  EXPECT_NE(std::string::npos, text.find(",\\\r\n  "));
  EXPECT_EQ(blob, Query(HKEY_CURRENT_USER, "Software\\Bin", "Blob"));
}

TEST_F(RegistryFileTest, ChangesReplaceTheFileAtomically) {
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "V", "1"));
  struct stat before {};
  ASSERT_EQ(0, stat(file_.c_str(), &before));
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "V", "2"));
  struct stat after {};
  ASSERT_EQ(0, stat(file_.c_str(), &after));
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed over the old one
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(sandbox_.Path("reg"))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"registry.reg", "registry.reg.lock"}), names);
}

TEST_F(RegistryFileTest, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 4;
  constexpr int kWrites = 10;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int failures = 0;
      for (int i = 0; i < kWrites; ++i) {
        const std::string name = std::string("W").append(std::to_string(writer)).append("_").append(std::to_string(i));
        failures += Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", name.c_str(), name) != ERROR_SUCCESS;
      }
      _exit(failures);
    }
  }
  for (int writer = 0; writer < kWriters; ++writer) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kWrites; ++i) {
      const std::string name = std::string("W").append(std::to_string(writer)).append("_").append(std::to_string(i));
      EXPECT_EQ(name + '\0', Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", name.c_str()));
    }
  }
}

TEST_F(RegistryFileTest, ADamagedFileIsReportedAndLeftAlone) {
  std::filesystem::create_directories(sandbox_.Path("reg"));
  const std::string damaged = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"V\"=bogus\n";
  WriteFile(file_, damaged);
  EXPECT_EQ("<error 1009>", Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "V"));
  EXPECT_EQ(1009, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "W", "x"));
  EXPECT_EQ(damaged, ReadFile(file_));
  WriteFile(file_, "no header\n");
  EXPECT_EQ("<error 1009>", Query(HKEY_LOCAL_MACHINE, "SOFTWARE", "V"));
}

TEST_F(RegistryFileTest, AMissingFileIsAnEmptyRegistry) {
  EXPECT_EQ("<error 2>", Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Anything", "V"));
  HKEY root = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_READ, &root));
  RegCloseKey(root);
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(RegistryFileTest, AReadOnlyRegistryRefusesFullAccess) {
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "V", "1"));
  chmod(file_.c_str(), 0444);
  if (access(file_.c_str(), W_OK) == 0) GTEST_SKIP() << "running as root";
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS, &key));
  EXPECT_EQ(std::string("1\0", 2), Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "V"));
}

TEST_F(RegistryFileTest, BadPathsAndHandles) {
  HKEY key = nullptr;
  EXPECT_EQ(161, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &key));
  EXPECT_EQ(161, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234567))));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x77)), "X", 0,
                                                KEY_READ, &key));
}

TEST_F(RegistryFileTest, AKeyDeletedBehindAnOpenHandle) {
  ASSERT_EQ(ERROR_SUCCESS, Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Temp", "V", "1"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Temp", 0, KEY_ALL_ACCESS, &key));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Temp"));
  DWORD size = 0;
  EXPECT_EQ(1018, RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size));
  RegCloseKey(key);
}

}  // namespace
