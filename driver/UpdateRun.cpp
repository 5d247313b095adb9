#include "driver/UpdateRun.h"

#include <windows.h>

#include <memory>

#include "driver/SystemHelpers.h"
#include "driver/UpdateMessages.h"
#include "rtl/ContainedPath.h"
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
  bool Whole = false;
};

DWORD WINAPI ExtractWorker(LPVOID Parameter) {
  TPathRct& block = *static_cast<TPathRct*>(Parameter);
  try {
    block.Whole = block.Extractor->ExtractPackage(block.Archive, block.Dir, block.Password);
  } catch (...) {
    // A failed extraction leaves the package unproven; the run refuses it.
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
  return block->Whole;
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
  const bool extractedWhole = ExtractInThread(packageFile_, workDir_, "");

  identity_ = TAppIdentity::Read(workDir_ + "\\HKeyInfo.ini");
  // Nothing of the installation (nor the registry) changes before the package
  // has proved whole.
  if (!PackageSound(extractedWhole)) return RefusePackage();
  WriteRegString(kMachine, identity_.sAppInstallKey, "AppTitle", identity_.sAppTitle);
  ReadRegString(kMachine, identity_.sAppInstallKey, "RootDir", rootDir_);

  // Only the primary key's root tells whether an installation exists.
  if (!services_.Tasks.Open(rootDir_)) return EndWithoutInstallation();
  FindRootDir();
  if (rootDir_.empty()) return EndWithoutInstallation();
  rootDir_ = RemoveTrailingBackslash(rootDir_);

  int exitCode = 0;
  if (!rootDir_.empty() && IsDirectory(rootDir_)) {
    exitCode = UpdateInstallation();
  } else {
    // No installed tree to update in place: the package is a program of its
    // own (a full setup) and is run instead.
    RunAndWait(packageFile_, "", false);
  }
  RemovePackageFile();
  return exitCode;
}

bool TUpdateRun::PackageSound(bool ExtractedWhole) {
  // The executable names are appended to the install root and the package
  // directory; one that leaves them would replace a file elsewhere.
  const auto inside = [](const std::string& Name) {
    return Name.empty() || rtl::FindPathEscape(Name, rtl::TLeadingBackslash::Joint) == rtl::TPathEscape::None;
  };
  const bool executablesInside =
      identity_.UpdExe != 1 || (inside(identity_.sAppExecutable) && inside(identity_.sAppOtherExecutable));
  return ExtractedWhole && executablesInside && services_.Manifest.PayloadsWhole(workDir_);
}

int TUpdateRun::RefusePackage() {
  ShowMessage(identity_.sAppTitle, DamagedPackageText(), MB_ICONERROR);
  DeleteDirectoryTree(workDir_);
  RemovePackageFile();
  return kExitPackageDamaged;
}

int TUpdateRun::UpdateInstallation() {
  const std::string originalExecutable = identity_.sAppExecutable;
  if (!IsFile(rootDir_ + identity_.sAppExecutable)) identity_.sAppExecutable = identity_.sAppOtherExecutable;
  const int32_t refused = services_.Manifest.ApplyManifest(workDir_, rootDir_);
  // The user learns that part of the manifest was left out.
  const std::string doneText =
      refused > 0 ? PartlyDoneText(identity_.sAppTitle, refused) : UpdateDoneText(identity_.sAppTitle);
  const UINT doneIcon = refused > 0 ? MB_ICONWARNING : MB_ICONINFORMATION;
  if (identity_.UpdExe == 1)
    ReplaceExecutable(originalExecutable, doneText, doneIcon);
  else
    ShowMessage(identity_.sAppTitle, doneText, doneIcon);
  DeleteDirectoryTree(workDir_);
  return refused > 0 ? kExitEntriesRefused : 0;
}

void TUpdateRun::ReplaceExecutable(const std::string& OriginalExecutable, const std::string& DoneText,
                                   UINT DoneIcon) {
  // Worded before the copy so that nothing in between touches the last error.
  const std::string errorText = UpdateErrorText(identity_.sAppTitle);
  const std::string source = workDir_ + OriginalExecutable;
  const std::string target = rootDir_ + identity_.sAppExecutable;
  if (CopyFileA(source.c_str(), target.c_str(), FALSE)) {
    ShowMessage(identity_.sAppTitle, DoneText, DoneIcon);
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
