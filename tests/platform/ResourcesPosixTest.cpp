// The payload trailer and the program's own APPEXE resource on POSIX: the
// test program is copied, given a payload and run again to read it back.
#include <windows.h>

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/Sandbox.h"
#include "vexplat/payload_trailer.h"

extern char** environ;

namespace {

constexpr char kExpectVariable[] = "VEXPLAT_EXPECT_PAYLOAD_FILE";

TEST(PayloadTrailer, EncodesMagicAndLittleEndianLength) {
  const auto bytes = vexplat::EncodePayloadTrailer(0x0102030405060708ull);
  EXPECT_EQ(std::string("VEXPAYLD\x08\x07\x06\x05\x04\x03\x02\x01", 16),
            std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  const auto location = vexplat::DecodePayloadTrailer(vexplat::EncodePayloadTrailer(10), 100);
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(74u, location->offset);
  EXPECT_EQ(10u, location->length);
}

TEST(PayloadTrailer, RejectsWrongMagicAndImpossibleLengths) {
  auto bytes = vexplat::EncodePayloadTrailer(10);
  EXPECT_FALSE(vexplat::DecodePayloadTrailer(bytes, 25).has_value());  // 10 + 16 > 25
  EXPECT_TRUE(vexplat::DecodePayloadTrailer(bytes, 26).has_value());
  EXPECT_FALSE(vexplat::DecodePayloadTrailer(bytes, 15).has_value());
  bytes[0] = 'X';
  EXPECT_FALSE(vexplat::DecodePayloadTrailer(bytes, 1000).has_value());
  const auto huge = vexplat::EncodePayloadTrailer(~0ull);
  EXPECT_FALSE(vexplat::DecodePayloadTrailer(huge, 1000).has_value());
}

TEST(PayloadTrailer, AppendAndLocateRoundTripOnStreams) {
  std::stringstream file;
  file << "program bytes";
  const std::string package("PK\x03\x04 package\0 data", 18);
  std::istringstream payload(package);
  ASSERT_TRUE(vexplat::AppendPayload(file, payload));
  const auto location = vexplat::LocatePayload(file);
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(13u, location->offset);
  EXPECT_EQ(package.size(), location->length);
  EXPECT_EQ(package, file.str().substr(13, package.size()));
  std::istringstream plain("no trailer here at all");
  EXPECT_FALSE(vexplat::LocatePayload(plain).has_value());
}

TEST(OwnResources, AProgramWithoutPayloadHasNoAppexe) {
  if (std::getenv(kExpectVariable) != nullptr) GTEST_SKIP() << "running as the payload child";
  SetLastError(0);
  EXPECT_EQ(nullptr, FindResourceA(nullptr, "APPEXE", RT_RCDATA));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
}

// Runs only in the copy that carries a payload (started with the disabled
// tests enabled): compares it with the file named by the variable.
TEST(OwnResources, DISABLED_PayloadChild) {
  const char* expectedFile = std::getenv(kExpectVariable);
  ASSERT_NE(nullptr, expectedFile);
  const std::string expected = vextest::ReadFile(expectedFile);
  HRSRC resource = FindResourceA(nullptr, "appexe", MAKEINTRESOURCEA(10));
  ASSERT_NE(nullptr, resource);
  EXPECT_EQ(resource, FindResourceA(GetModuleHandleA(nullptr), "APPEXE", "#10"));
  ASSERT_EQ(expected.size(), SizeofResource(nullptr, resource));
  HGLOBAL loaded = LoadResource(nullptr, resource);
  ASSERT_NE(nullptr, loaded);
  const void* bytes = LockResource(loaded);
  ASSERT_NE(nullptr, bytes);
  EXPECT_EQ(expected, std::string(static_cast<const char*>(bytes), expected.size()));
  EXPECT_FALSE(FreeResource(loaded));
  EXPECT_EQ(nullptr, FindResourceA(nullptr, "OTHER", RT_RCDATA));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, FindResourceA(nullptr, "APPEXE", RT_STRING));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
  if (!HasFailure()) vextest::WriteFile(std::string(expectedFile) + ".verified", "yes");
}

TEST(OwnResources, APayloadAppendedToTheProgramIsItsAppexe) {
  if (std::getenv(kExpectVariable) != nullptr) GTEST_SKIP() << "running as the payload child";
  vextest::Sandbox sandbox{vextest::Sandbox::kFolder};
  std::string payload = "PK\x03\x04";
  for (int i = 0; i < 70000; ++i) payload += static_cast<char>(i * 7 % 251);
  const std::string expectedFile = sandbox.Path("expected.bin");
  vextest::WriteFile(expectedFile, payload);

  const std::string program = sandbox.Path("installer");
  std::filesystem::copy_file("/proc/self/exe", program);
  {
    std::ofstream out(program, std::ios::binary | std::ios::app);
    std::istringstream in(payload);
    ASSERT_TRUE(vexplat::AppendPayload(out, in));
  }
  chmod(program.c_str(), 0755);

  setenv(kExpectVariable, expectedFile.c_str(), 1);
  const std::string filter = "--gtest_filter=OwnResources.DISABLED_PayloadChild";
  const std::string enable = "--gtest_also_run_disabled_tests";
  const std::string quiet = "--gtest_brief=1";
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(filter.c_str()),
                  const_cast<char*>(enable.c_str()), const_cast<char*>(quiet.c_str()), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ);
  unsetenv(kExpectVariable);
  ASSERT_EQ(0, spawned);
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the payload child failed";
  EXPECT_TRUE(std::filesystem::exists(expectedFile + ".verified"));
}

}  // namespace
