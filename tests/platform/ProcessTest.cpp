// Processes, threads and waits as the update run uses them; the same
// assertions hold for the stand-in and for Windows (Wine). Child processes
// are this test program itself, running one disabled test.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/Scratch.h"

namespace {

// The child's orders come on its command line: "vexchild:<exit code>:<ms>".
bool ChildOrders(unsigned* exitCode, unsigned* sleepMs) {
  const char* line = GetCommandLineA();
  const char* orders = std::strstr(line, "vexchild:");
  if (orders == nullptr) return false;
  return std::sscanf(orders, "vexchild:%u:%u", exitCode, sleepMs) == 2;
}

TEST(ProcessChild, DISABLED_ExitAsOrdered) {
  unsigned exitCode = 0;
  unsigned sleepMs = 0;
  ASSERT_TRUE(ChildOrders(&exitCode, &sleepMs));
  Sleep(sleepMs);
  ExitProcess(exitCode);
}

std::string OwnProgram() {
  char path[MAX_PATH] = {};
  EXPECT_NE(0u, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return path;
}

// Starts this program as a child that sleeps and then exits with the code.
BOOL StartChild(unsigned exitCode, unsigned sleepMs, PROCESS_INFORMATION* info) {
  const std::string program = OwnProgram();
  std::string line = "\"" + program +
                     "\" --gtest_filter=ProcessChild.DISABLED_ExitAsOrdered --gtest_also_run_disabled_tests "
                     "vexchild:" + std::to_string(exitCode) + ":" + std::to_string(sleepMs);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  return CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, info);
}

TEST(Process, ExitCodesRoundTrip) {
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(StartChild(7, 300, &info)) << GetLastError();
  EXPECT_NE(0u, info.dwProcessId);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(info.hProcess, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, INFINITE));
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(7u, code);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hThread, 5000));
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_TRUE(CloseHandle(info.hProcess));
}

TEST(Process, AFileThatIsNoProgramIsRefusedWith193) {
  vextest::Win32TempFile file;
  file.Write("This is a text file, not a program.\r\n");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  SetLastError(0);
  EXPECT_FALSE(CreateProcessA(file.c_str(), nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                              nullptr, &startup, &info));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
}

TEST(Process, AMissingProgramIsRefusedWith2) {
  vextest::Win32TempFile file;
  const std::string missing = file.Path() + ".missing.exe";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  EXPECT_FALSE(CreateProcessA(missing.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &info));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

std::atomic<int> ran{0};

DWORD WINAPI ReturnParameter(LPVOID parameter) {
  ++ran;
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

DWORD WINAPI SleepThenReturn(LPVOID parameter) {
  Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)));
  return 5;
}

DWORD WINAPI EndThroughExitThread(LPVOID) { ExitThread(17); }

TEST(Thread, ExitCodesOfThreads) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0x100000, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, &id);
  ASSERT_NE(nullptr, thread);
  EXPECT_NE(0u, id);
  EXPECT_NE(GetCurrentThreadId(), id);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(42u, code);
  CloseHandle(thread);

  thread = CreateThread(nullptr, 0, EndThroughExitThread, nullptr, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(17u, code);
  CloseHandle(thread);
}

TEST(Thread, MsgWaitReturnsWhenTheThreadEndsAndTimesOutBefore) {
  HANDLE thread = CreateThread(nullptr, 0x100000, SleepThenReturn, reinterpret_cast<LPVOID>(300), 0, nullptr);
  ASSERT_NE(nullptr, thread);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), MsgWaitForMultipleObjects(1, &thread, FALSE, 20, QS_SENDMESSAGE));
  DWORD result;
  do {
    result = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
  } while (result == WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WAIT_OBJECT_0, result);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(5u, code);
  CloseHandle(thread);
}

TEST(Thread, ASuspendedThreadWaitsForResume) {
  const int before = ran.load();
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, nullptr, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 50));
  EXPECT_EQ(before, ran.load());
  EXPECT_EQ(1u, ResumeThread(thread));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(before + 1, ran.load());
  CloseHandle(thread);
}

TEST(Thread, WaitingForSeveralHandles) {
  HANDLE threads[2] = {
      CreateThread(nullptr, 0, SleepThenReturn, reinterpret_cast<LPVOID>(200), 0, nullptr),
      CreateThread(nullptr, 0, SleepThenReturn, reinterpret_cast<LPVOID>(1), 0, nullptr),
  };
  ASSERT_NE(nullptr, threads[0]);
  ASSERT_NE(nullptr, threads[1]);
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(2, threads, FALSE, INFINITE));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, INFINITE));
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
}

// The tools take their arguments this way on both targets.
TEST(CommandLine, SplitsByTheRuntimesRulesAndAnEmptyLineIsTheProgram) {
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(L"\"C:\\a b\\x.exe\" \"a b\" c\\\"d e\\\\\"f g\" \u8bf4\u660e.zip", &count);
  ASSERT_NE(split, nullptr);
  const std::vector<std::wstring> expected = {L"C:\\a b\\x.exe", L"a b", L"c\"d", L"e\\f g", L"\u8bf4\u660e.zip"};
  ASSERT_EQ(count, static_cast<int>(expected.size()));
  for (int n = 0; n < count; ++n) EXPECT_EQ(std::wstring(split[n]), expected[static_cast<size_t>(n)]) << n;
  EXPECT_EQ(LocalFree(split), nullptr);

  LPWSTR* own = CommandLineToArgvW(GetCommandLineW(), &count);
  ASSERT_NE(own, nullptr);
  LPWSTR* program = CommandLineToArgvW(L"", &count);
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(count, 1);
  EXPECT_NE(std::wstring(program[0]).find(L"test_platform"), std::wstring::npos);
  EXPECT_EQ(std::wstring(own[0]), std::wstring(program[0]));
  LocalFree(own);
  LocalFree(program);
}

}  // namespace
