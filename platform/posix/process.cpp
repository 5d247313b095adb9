// Processes, threads and waits over POSIX: posix_spawn for programs,
// pthreads for threads, and one lock and condition for every wait.
#include <windows.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "ErrnoMap.h"
#include "PathMap.h"
#include "Recode.h"
#include "Waitable.h"

extern char** environ;

namespace vexplat::detail {

std::mutex& WaitLock() {
  static std::mutex lock;
  return lock;
}

std::condition_variable& WaitCondition() {
  static std::condition_variable condition;
  return condition;
}

}  // namespace vexplat::detail

namespace {

using vexplat::detail::Fail;
using vexplat::detail::SignalChange;
using vexplat::detail::Waitable;

// ---- threads -------------------------------------------------------------

struct ThreadState {
  LPTHREAD_START_ROUTINE routine = nullptr;
  LPVOID parameter = nullptr;
  DWORD id = 0;
  bool suspended = false;  // guarded by WaitLock
  bool finished = false;   // guarded by WaitLock
  DWORD exitCode = STILL_ACTIVE;
};

class ThreadObject : public Waitable {
 public:
  explicit ThreadObject(std::shared_ptr<ThreadState> state) : state_(std::move(state)) {}
  bool Signaled() const override { return state_->finished; }
  ThreadState& State() { return *state_; }

 private:
  std::shared_ptr<ThreadState> state_;
};

// Ids of threads made here; other threads (the main one) answer their
// kernel thread id, which stays far below this range.
std::atomic<DWORD> nextThreadId{0x40000000};
thread_local ThreadState* currentThread = nullptr;

void FinishThread(ThreadState& state, DWORD exitCode) {
  SignalChange([&] {
    state.exitCode = exitCode;
    state.finished = true;
  });
}

void* ThreadMain(void* raw) {
  std::unique_ptr<std::shared_ptr<ThreadState>> owner(static_cast<std::shared_ptr<ThreadState>*>(raw));
  const std::shared_ptr<ThreadState> state = *owner;
  owner.reset();
  currentThread = state.get();
  {
    std::unique_lock lock(vexplat::detail::WaitLock());
    vexplat::detail::WaitCondition().wait(lock, [&] { return !state->suspended; });
  }
  const DWORD exitCode = state->routine(state->parameter);
  FinishThread(*state, exitCode);
  return nullptr;
}

size_t StackSizeFor(SIZE_T requested) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t size = std::max<size_t>(requested, PTHREAD_STACK_MIN);
  return (size + page - 1) / page * page;
}

// ---- processes -----------------------------------------------------------

struct ProcessState {
  pid_t pid = 0;
  bool finished = false;  // guarded by WaitLock
  DWORD exitCode = STILL_ACTIVE;
  std::optional<DWORD> terminateCode;  // set by TerminateProcess
};

class ProcessObject : public Waitable {
 public:
  explicit ProcessObject(std::shared_ptr<ProcessState> state) : state_(std::move(state)) {}
  bool Signaled() const override { return state_->finished; }
  ProcessState& State() { return *state_; }

 private:
  std::shared_ptr<ProcessState> state_;
};

// The primary thread of a started process: it ends with the process.
class ProcessThreadObject : public ProcessObject {
 public:
  using ProcessObject::ProcessObject;
};

// A process ends with an exit status of 8 bits on POSIX; a signal gives
// 128 + its number, as shells report it.
DWORD ExitCodeOf(int status) {
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return static_cast<DWORD>(128 + WTERMSIG(status));
  return 1;
}

void WatchProcess(std::shared_ptr<ProcessState> state) {
  std::thread([state] {
    int status = 0;
    pid_t result;
    do {
      result = waitpid(state->pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    SignalChange([&] {
      state->exitCode = state->terminateCode ? *state->terminateCode : result < 0 ? 1 : ExitCodeOf(status);
      state->finished = true;
    });
  }).detach();
}

std::string ToUtf8Lossy(const std::string& gbk) {
  auto result = vexplat::detail::Recode(gbk, "CP936", "UTF-8", false, 1, "?");
  return result ? result->bytes : gbk;
}

// What Windows answers for a program file that cannot run: missing (2, or
// 3 without its folder), a folder (5), or no program (193).
DWORD CheckProgram(const std::string& posixPath) {
  struct stat info {};
  if (stat(posixPath.c_str(), &info) != 0) return vexplat::detail::MissingPathError(posixPath);
  if (S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
  if (access(posixPath.c_str(), X_OK) != 0) return ERROR_BAD_EXE_FORMAT;
  char magic[4] = {};
  std::ifstream file(posixPath, std::ios::binary);
  if (!file) return ERROR_ACCESS_DENIED;
  file.read(magic, sizeof magic);
  const bool elf = file.gcount() == 4 && std::memcmp(magic, "\x7F" "ELF", 4) == 0;
  const bool script = file.gcount() >= 2 && magic[0] == '#' && magic[1] == '!';
  return elf || script ? ERROR_SUCCESS : ERROR_BAD_EXE_FORMAT;
}

bool NamesAPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

// The POSIX file of the program: a path is resolved on the mapped drives; a
// bare name is looked for in the current directory, then along PATH.
std::optional<std::string> LocateProgram(const std::string& name, DWORD* error) {
  *error = ERROR_FILE_NOT_FOUND;
  if (NamesAPath(name)) {
    auto resolved = vexplat::detail::ResolvePath(name.c_str());
    if (!resolved) *error = GetLastError();
    return resolved;
  }
  if (auto local = vexplat::detail::ResolvePath(name.c_str()); local && access(local->c_str(), F_OK) == 0) {
    return local;
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
  const std::string utf8 = ToUtf8Lossy(name);
  while (!dirs.empty()) {
    const size_t cut = dirs.find(':');
    const std::string candidate = std::string(dirs.substr(0, cut)) + "/" + utf8;
    if (access(candidate.c_str(), F_OK) == 0) return candidate;
    dirs.remove_prefix(cut == std::string_view::npos ? dirs.size() : cut + 1);
  }
  return std::nullopt;
}

// "A=B\0C=D\0\0" (ANSI or wide) as a POSIX environment.
std::vector<std::string> EnvironmentBlock(LPVOID block, bool wide) {
  std::vector<std::string> variables;
  if (wide) {
    for (auto* entry = static_cast<const wchar_t*>(block); *entry != L'\0'; entry += std::wcslen(entry) + 1) {
      const size_t length = std::wcslen(entry);
      auto utf8 = vexplat::detail::Recode(
          std::string_view(reinterpret_cast<const char*>(entry), length * sizeof(wchar_t)), "WCHAR_T", "UTF-8",
          false, sizeof(wchar_t), "?");
      if (utf8) variables.push_back(utf8->bytes);
    }
  } else {
    for (auto* entry = static_cast<const char*>(block); *entry != '\0'; entry += std::strlen(entry) + 1) {
      variables.push_back(ToUtf8Lossy(entry));
    }
  }
  return variables;
}

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts the program; answers the pid or sets the error.
std::optional<pid_t> Spawn(const std::string& program, std::vector<std::string> arguments,
                           const std::optional<std::string>& directory, std::optional<std::vector<std::string>> env,
                           DWORD* error) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  // Handles are never inherited: only the standard streams pass.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (directory) posix_spawn_file_actions_addchdir_np(&actions, directory->c_str());
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv = PointersTo(arguments);
  std::vector<char*> envp;
  if (env) envp = PointersTo(*env);
  pid_t pid = 0;
  const int result =
      posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), env ? envp.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    *error = result == ENOEXEC ? ERROR_BAD_EXE_FORMAT : vexplat::detail::Win32ErrorFromErrno(result);
    return std::nullopt;
  }
  return pid;
}

DWORD WaitFor(DWORD count, const HANDLE* handles, bool all, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<Waitable*> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto* object = vexplat::FromHandle<Waitable>(handles[i]);
    if (object == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(object);
  }
  const auto satisfied = [&]() -> std::optional<DWORD> {
    if (all) {
      if (std::all_of(objects.begin(), objects.end(), [](Waitable* o) { return o->Signaled(); })) {
        return WAIT_OBJECT_0;
      }
      return std::nullopt;
    }
    for (DWORD i = 0; i < count; ++i) {
      if (objects[i]->Signaled()) return WAIT_OBJECT_0 + i;
    }
    return std::nullopt;
  };
  std::unique_lock lock(vexplat::detail::WaitLock());
  auto& condition = vexplat::detail::WaitCondition();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (true) {
    if (auto result = satisfied()) return *result;
    if (milliseconds == INFINITE) {
      condition.wait(lock);
    } else if (condition.wait_until(lock, deadline) == std::cv_status::timeout) {
      if (auto result = satisfied()) return *result;
      return WAIT_TIMEOUT;
    }
  }
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  (void)lpProcessAttributes;
  (void)lpThreadAttributes;
  (void)bInheritHandles;
  if (lpStartupInfo == nullptr || lpProcessInformation == nullptr ||
      ((lpApplicationName == nullptr || *lpApplicationName == '\0') &&
       (lpCommandLine == nullptr || *lpCommandLine == '\0'))) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  // A process cannot be started suspended here; refusing beats running it.
  if ((dwCreationFlags & (CREATE_SUSPENDED | DEBUG_PROCESS | DEBUG_ONLY_THIS_PROCESS)) != 0) {
    return Fail(ERROR_NOT_SUPPORTED);
  }
  std::vector<std::string> arguments =
      vexplat::detail::SplitCommandLine(lpCommandLine != nullptr ? lpCommandLine : "");
  const bool named = lpApplicationName != nullptr && *lpApplicationName != '\0';
  if (!named && arguments.empty()) return Fail(ERROR_INVALID_PARAMETER);  // a line of blanks names nothing
  const std::string program = named ? lpApplicationName : arguments.front();
  if (arguments.empty()) arguments.push_back(program);

  DWORD error = ERROR_SUCCESS;
  const auto posixProgram = LocateProgram(program, &error);
  if (!posixProgram) return Fail(error);
  if ((error = CheckProgram(*posixProgram)) != ERROR_SUCCESS) return Fail(error);

  std::optional<std::string> directory;
  if (lpCurrentDirectory != nullptr) {
    directory = vexplat::detail::ResolvePath(lpCurrentDirectory);
    struct stat info {};
    if (!directory || stat(directory->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      return Fail(ERROR_DIRECTORY);
    }
  }
  std::optional<std::vector<std::string>> environment;
  if (lpEnvironment != nullptr) {
    environment = EnvironmentBlock(lpEnvironment, (dwCreationFlags & CREATE_UNICODE_ENVIRONMENT) != 0);
  }
  for (std::string& argument : arguments) argument = ToUtf8Lossy(argument);

  const auto pid = Spawn(*posixProgram, std::move(arguments), directory, std::move(environment), &error);
  if (!pid) return Fail(error);
  auto state = std::make_shared<ProcessState>();
  state->pid = *pid;
  WatchProcess(state);
  lpProcessInformation->hProcess = vexplat::ToHandle(new ProcessObject(state));
  lpProcessInformation->hThread = vexplat::ToHandle(new ProcessThreadObject(state));
  lpProcessInformation->dwProcessId = static_cast<DWORD>(*pid);
  lpProcessInformation->dwThreadId = static_cast<DWORD>(*pid);  // the main thread's id is the pid
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  auto* process = vexplat::FromHandle<ProcessObject>(hProcess);
  if (process == nullptr || dynamic_cast<ProcessThreadObject*>(process) != nullptr) {
    return Fail(ERROR_INVALID_HANDLE);
  }
  if (lpExitCode == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(vexplat::detail::WaitLock());
  *lpExitCode = process->State().exitCode;
  return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  auto* process = vexplat::FromHandle<ProcessObject>(hProcess);
  if (process == nullptr || dynamic_cast<ProcessThreadObject*>(process) != nullptr) {
    return Fail(ERROR_INVALID_HANDLE);
  }
  std::lock_guard lock(vexplat::detail::WaitLock());
  ProcessState& state = process->State();
  if (state.finished) return Fail(ERROR_ACCESS_DENIED);
  state.terminateCode = uExitCode;
  kill(state.pid, SIGKILL);
  return TRUE;
}

void WINAPI ExitProcess(UINT uExitCode) {
  // Like Windows, no destructors of the program run; buffered output is kept.
  std::fflush(nullptr);
  _exit(static_cast<int>(uExitCode));
}

DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

namespace {

// The arguments the process was started with, as POSIX gives them (UTF-8).
const std::vector<std::string>& StartArguments() {
  static const std::vector<std::string> arguments = [] {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> split;
    for (size_t start = 0; start < raw.size();) {
      const size_t end = raw.find('\0', start);
      split.push_back(raw.substr(start, end - start));
      start = end == std::string::npos ? raw.size() : end + 1;
    }
    return split;
  }();
  return arguments;
}

// Command lines cross between wide text and UTF-8, the arguments' own spelling.
std::string Utf8Of(LPCWSTR wide) { return vexplat::detail::NarrowOf(CP_UTF8, wide).value_or(std::string()); }

}  // namespace

LPSTR WINAPI GetCommandLineA() {
  static std::string line = [] {
    std::vector<std::string> arguments;
    for (const std::string& argument : StartArguments()) {
      arguments.push_back(vexplat::detail::Utf8ToGbkLossy(argument));
    }
    return vexplat::detail::QuoteCommandLine(arguments);
  }();
  return line.data();
}

LPWSTR WINAPI GetCommandLineW() {
  static std::wstring line = vexplat::detail::WideOf(CP_UTF8, vexplat::detail::QuoteCommandLine(StartArguments()));
  return line.data();
}

LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) {
  if (lpCmdLine == nullptr || pNumArgs == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Splitting in UTF-8 is splitting the wide text: the rules only look at
  // blanks, quotes and backslashes, which UTF-8 keeps as single bytes.
  std::vector<std::string> arguments = vexplat::detail::SplitCommandLine(Utf8Of(lpCmdLine));
  if (arguments.empty()) {
    // An empty line stands for the program itself, as on Windows.
    std::vector<std::string> own = vexplat::detail::SplitCommandLine(Utf8Of(GetCommandLineW()));
    if (!own.empty()) arguments.push_back(own.front());
  }
  std::vector<std::wstring> wide;
  size_t characters = 0;
  for (const std::string& argument : arguments) {
    wide.push_back(vexplat::detail::WideOf(CP_UTF8, argument));
    characters += wide.back().size() + 1;
  }
  const size_t pointers = (wide.size() + 1) * sizeof(LPWSTR);
  auto* block = static_cast<char*>(std::malloc(pointers + characters * sizeof(wchar_t)));
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto** argv = reinterpret_cast<LPWSTR*>(block);
  auto* text = reinterpret_cast<wchar_t*>(block + pointers);
  for (size_t n = 0; n < wide.size(); ++n) {
    argv[n] = text;
    text = std::copy(wide[n].begin(), wide[n].end(), text);
    *text++ = L'\0';
  }
  argv[wide.size()] = nullptr;
  *pNumArgs = static_cast<int>(wide.size());
  return argv;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                           LPDWORD lpThreadId) {
  (void)lpThreadAttributes;
  if (lpStartAddress == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<ThreadState>();
  state->routine = lpStartAddress;
  state->parameter = lpParameter;
  state->id = nextThreadId++;
  state->suspended = (dwCreationFlags & CREATE_SUSPENDED) != 0;

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (dwStackSize != 0) pthread_attr_setstacksize(&attributes, StackSizeFor(dwStackSize));
  auto* handoff = new std::shared_ptr<ThreadState>(state);
  pthread_t thread;
  const int result = pthread_create(&thread, &attributes, ThreadMain, handoff);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete handoff;
    vexplat::detail::FailFromErrno(result);
    return nullptr;
  }
  if (lpThreadId != nullptr) *lpThreadId = state->id;
  return vexplat::ToHandle(new ThreadObject(state));
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
  auto* thread = vexplat::FromHandle<ThreadObject>(hThread);
  if (thread == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  DWORD previous = 0;
  SignalChange([&] {
    previous = thread->State().suspended ? 1 : 0;
    thread->State().suspended = false;
  });
  return previous;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  if (lpExitCode == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(vexplat::detail::WaitLock());
  if (auto* thread = vexplat::FromHandle<ThreadObject>(hThread)) {
    *lpExitCode = thread->State().exitCode;
    return TRUE;
  }
  if (auto* primary = vexplat::FromHandle<ProcessThreadObject>(hThread)) {
    *lpExitCode = primary->State().exitCode;
    return TRUE;
  }
  return Fail(ERROR_INVALID_HANDLE);
}

void WINAPI ExitThread(DWORD dwExitCode) {
  if (currentThread != nullptr) FinishThread(*currentThread, dwExitCode);
  pthread_exit(nullptr);
}

DWORD WINAPI GetCurrentThreadId() {
  if (currentThread != nullptr) return currentThread->id;
  return static_cast<DWORD>(gettid());
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitFor(1, &hHandle, false, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
  return WaitFor(nCount, lpHandles, bWaitAll != FALSE, dwMilliseconds);
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                       DWORD dwWakeMask) {
  (void)dwWakeMask;
  if (nCount == 0) {
    // Only a message could end this wait, and none ever comes.
    if (dwMilliseconds == INFINITE) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return WAIT_FAILED;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
    return WAIT_TIMEOUT;
  }
  return WaitFor(nCount, pHandles, fWaitAll != FALSE, dwMilliseconds);
}
