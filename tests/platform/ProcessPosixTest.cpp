// Processes and threads on POSIX: what makes a program, stack sizes,
// Windows command lines, working folders and environments.
#include <windows.h>

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"
#include "platform/posix/CommandLine.h"

namespace {

using vexplat::detail::QuoteCommandLine;
using vexplat::detail::SplitCommandLine;

std::string WindowsPathOf(const std::string& posixPath) {
  std::string path = "C:" + posixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

class ProcessPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("VEXUPD_DRIVE_C") != nullptr) GTEST_SKIP() << "drive C: is mapped elsewhere";
  }

  // Runs a command line to its end; answers the exit code or, on failure to
  // start, the negated error.
  static long Run(const char* program, std::string line, const char* directory = nullptr,
                  const char* environment = nullptr) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program, line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE, 0,
                        const_cast<char*>(environment), directory, &startup, &info)) {
      return -static_cast<long>(GetLastError());
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
  }

  void WriteScript(const std::string& name, const std::string& text, mode_t mode) {
    vextest::WriteFile(sandbox_.Path(name), text);
    chmod(sandbox_.Path(name).c_str(), mode);
  }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
};

TEST_F(ProcessPosixTest, WhatIsAProgram) {
  WriteScript("run.sh", "#!/bin/sh\nexit 4\n", 0755);
  WriteScript("noexec.sh", "#!/bin/sh\nexit 4\n", 0644);
  WriteScript("data.exe", "MZ this is a Windows program", 0755);
  EXPECT_EQ(4, Run(WindowsPathOf(sandbox_.Path("run.sh")).c_str(), ""));
  EXPECT_EQ(-193, Run(WindowsPathOf(sandbox_.Path("noexec.sh")).c_str(), ""));
  EXPECT_EQ(-193, Run(WindowsPathOf(sandbox_.Path("data.exe")).c_str(), ""));
  EXPECT_EQ(-5, Run(WindowsPathOf(sandbox_.Root().string()).c_str(), ""));
  EXPECT_EQ(-2, Run(WindowsPathOf(sandbox_.Path("none.exe")).c_str(), ""));
  EXPECT_EQ(-3, Run(WindowsPathOf(sandbox_.Path("none/none.exe")).c_str(), ""));
  EXPECT_EQ(-87, Run(nullptr, ""));
  EXPECT_EQ(-87, Run(nullptr, "   "));
}

TEST_F(ProcessPosixTest, CommandLinesFollowTheWindowsRules) {
  EXPECT_EQ(3, Run(nullptr, "sh -c \"exit 3\""));
  const std::string out = sandbox_.Path("args.txt");
  WriteScript("args.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$VEXTEST_OUT\"\n", 0755);
  setenv("VEXTEST_OUT", out.c_str(), 1);
  const std::string script = WindowsPathOf(sandbox_.Path("args.sh"));
  EXPECT_EQ(0, Run(script.c_str(), "args \"a b\" c\\\"d \"e\\\\\" f\\\\g"));
  unsetenv("VEXTEST_OUT");
  EXPECT_EQ("[a b][c\"d][e\\][f\\\\g]", vextest::ReadFile(out));

  EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\x.exe", "a", "b c"}),
            SplitCommandLine("\"C:\\Program Files\\x.exe\" a \"b c\""));
  EXPECT_EQ((std::vector<std::string>{"p", "a\\\\b", "\"q\"", "x\"\"y"}),
            SplitCommandLine("p a\\\\b \\\"q\\\" \"x\"\"\"\"y\""));
  const std::vector<std::string> tricky = {"prog", "", "a b", "c\"d", "e\\", "f\\\\g\\\"", "\t"};
  EXPECT_EQ(tricky, SplitCommandLine(QuoteCommandLine(tricky)));
}

TEST_F(ProcessPosixTest, WorkingFolderAndEnvironment) {
  const std::string out = sandbox_.Path("out.txt");
  WriteScript("env.sh", "#!/bin/sh\nprintf '%s|%s' \"$(pwd)\" \"$VEXTEST_VALUE\" > " + out + "\n", 0755);
  const std::string script = WindowsPathOf(sandbox_.Path("env.sh"));
  const char environment[] = "VEXTEST_VALUE=\xD6\xD0\xCE\xC4\0PATH=/usr/bin:/bin\0";
  std::filesystem::create_directories(sandbox_.Path("work"));
  EXPECT_EQ(0, Run(script.c_str(), "", WindowsPathOf(sandbox_.Path("work")).c_str(), environment));
  EXPECT_EQ(sandbox_.Path("work") + "|\xE4\xB8\xAD\xE6\x96\x87", vextest::ReadFile(out));
  EXPECT_EQ(-267, Run(script.c_str(), "", WindowsPathOf(sandbox_.Path("nowhere")).c_str()));
}

TEST_F(ProcessPosixTest, TerminateGivesTheRequestedCode) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  char line[] = "sleep 30";
  ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  EXPECT_TRUE(TerminateProcess(info.hProcess, 99));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 5000));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(99u, code);
  EXPECT_FALSE(TerminateProcess(info.hProcess, 1));
  EXPECT_TRUE(GetExitCodeThread(info.hThread, &code));
  EXPECT_EQ(99u, code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

TEST_F(ProcessPosixTest, SuspendedProcessesAreRefused) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  char line[] = "sh -c true";
  EXPECT_FALSE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                              &info));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
}

DWORD WINAPI ReportStackSize(LPVOID) {
  pthread_attr_t attributes;
  size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  pthread_attr_getstacksize(&attributes, &size);
  pthread_attr_destroy(&attributes);
  return static_cast<DWORD>(size);
}

TEST(ThreadPosix, TheRequestedStackSizeIsHonoured) {
  // 16 MB is above the default of 8 MB, so only an honoured request passes.
  for (SIZE_T requested : {SIZE_T{0x100000}, SIZE_T{0x1000000}, SIZE_T{1000}}) {
    HANDLE thread = CreateThread(nullptr, requested, ReportStackSize, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    DWORD size = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &size));
    EXPECT_GE(size, requested);
    CloseHandle(thread);
  }
}

TEST(ThreadPosix, WaitsOnHandlesThatCannotBeWaitedFor) {
  HANDLE none = nullptr;
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(none, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_EQ(WAIT_FAILED, MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT));
}

}  // namespace
