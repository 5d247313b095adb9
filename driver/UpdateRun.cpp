#include "driver/UpdateRun.h"

#include <windows.h>

#include <memory>

#include "driver/SystemHelpers.h"
#include "driver/UpdateMessages.h"
#include "rtl/Gbk.h"

namespace driver {
namespace {

const HKEY kMachine = HKEY_LOCAL_MACHINE;
constexpr DWORD kWorkerStack = 0x100000;

// Taken while the program starts, which is on its main thread.
const DWORD kMainThreadId = GetCurrentThreadId();

// The worker's parameter block: filled before the thread starts, released
// only after it has ended.
struct TPathRct {
  std::string Archive;
  std::string Dir;
  std::string Password;
  IArchiveExtractor* Extractor;
};

DWORD WINAPI ExtractWorker(LPVOID Parameter) {
  const TPathRct& block = *static_cast<const TPathRct*>(Parameter);
  try {
    block.Extractor->ExtractPackage(block.Archive, block.Dir, block.Password);
  } catch (...) {
    // An extraction that fails leaves the work directory as it got; the run
    // goes on with what is there.
  }
  return 0;
}

// The main thread keeps answering messages that other threads send to it
// (which would otherwise block them) and leaves posted ones queued.
void WaitServicingSentMessages(HANDLE Thread) {
  while (MsgWaitForMultipleObjects(1, &Thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace

bool TUpdateRun::ExtractInThread(const std::string& Archive, const std::string& Dir, const std::string& Password) {
  auto block = std::make_unique<TPathRct>(TPathRct{Archive, Dir, Password, &services_.Extractor});
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, kWorkerStack, ExtractWorker, block.get(), 0, &threadId);
  CheckWin32(thread != nullptr, GBK("创建解压线程失败"));
  if (GetCurrentThreadId() == kMainThreadId)
    WaitServicingSentMessages(thread);
  else
    WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return true;
}

void TUpdateRun::SavePackage() {
  packageFile_ = CreateTempName("", ".EXE", "");
  services_.Package.SaveTo(packageFile_);
}

void TUpdateRun::FindRootDir() {
  if (rootDir_.empty()) ReadRegString(kMachine, identity_.sAppOtherInstallKey, "RootDir", rootDir_);
}

int TUpdateRun::RunUpdate() {
  SavePackage();
  workDir_ = CreateTempName("", ".TMP", "");
  ForceDirectoryPath(workDir_);
  ExtractInThread(packageFile_, workDir_, "");

  identity_ = TAppIdentity::Read(workDir_ + "\\HKeyInfo.ini");
  WriteRegString(kMachine, identity_.sAppInstallKey, "AppTitle", identity_.sAppTitle);
  ReadRegString(kMachine, identity_.sAppInstallKey, "RootDir", rootDir_);

  // Only the primary key's root tells whether an installation exists.
  if (!services_.Tasks.Open(rootDir_)) return EndWithoutInstallation();
  FindRootDir();
  if (rootDir_.empty()) return EndWithoutInstallation();
  rootDir_ = RemoveTrailingBackslash(rootDir_);

  if (!rootDir_.empty() && IsDirectory(rootDir_)) {
    UpdateInstallation();
  } else {
    // No installed tree to update in place: the package is a program of its
    // own (a full setup) and is run instead.
    RunAndWait(packageFile_, "", false);
  }
  RemovePackageFile();
  return 0;
}

void TUpdateRun::UpdateInstallation() {
  const std::string originalExecutable = identity_.sAppExecutable;
  if (!IsFile(rootDir_ + identity_.sAppExecutable)) identity_.sAppExecutable = identity_.sAppOtherExecutable;
  services_.Manifest.ApplyManifest(workDir_, rootDir_);
  if (identity_.UpdExe == 1)
    ReplaceExecutable(originalExecutable);
  else
    ShowMessage(identity_.sAppTitle, UpdateDoneText(identity_.sAppTitle), MB_ICONINFORMATION);
  DeleteDirectoryTree(workDir_);
}

void TUpdateRun::ReplaceExecutable(const std::string& OriginalExecutable) {
  // Worded before the copy so that nothing in between touches the last error.
  const std::string errorText = UpdateErrorText(identity_.sAppTitle);
  const std::string doneText = UpdateDoneText(identity_.sAppTitle);
  const std::string source = workDir_ + OriginalExecutable;
  const std::string target = rootDir_ + identity_.sAppExecutable;
  if (CopyFileA(source.c_str(), target.c_str(), FALSE)) {
    ShowMessage(identity_.sAppTitle, doneText, MB_ICONINFORMATION);
    return;
  }
  try {
    RaiseLastWin32(errorText);
  } catch (const EWin32Error& error) {
    ShowMessage(identity_.sAppTitle, error.Message(), MB_ICONERROR);
  }
}

void TUpdateRun::RemovePackageFile() { DeleteFileA(packageFile_.c_str()); }

int TUpdateRun::EndWithoutInstallation() {
  ShowMessage(identity_.sAppTitle, NoEarlierInstallText(), MB_ICONINFORMATION);
  // Nothing was installed, so nothing of the package is worth keeping.
  DeleteDirectoryTree(workDir_);
  RemovePackageFile();
  return 0;
}

}  // namespace driver
