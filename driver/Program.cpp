#include "driver/Program.h"

#include "driver/Manifest.h"
#include "driver/PackageSource.h"
#include "driver/Shortcut.h"
#include "driver/SimpleTasks.h"
#include "driver/TopLevel.h"
#include "driver/UnZipExtractor.h"
#include "driver/UpdateRun.h"
#include "rtl/DllSearch.h"

namespace driver {

int ProgramMain() {
  // Before anything can load a DLL by name (message boxes, shortcuts).
  rtl::RestrictDllSearchToSystem();
  return RunWithTopLevelHandler([] {
    // The one task table of the process: the run opens it, the manifest reads
    // it, and it stays open until the process ends.
    static TSimpleTasks tasks;
    TResourcePackage package;
    TUnZipExtractor extractor;
    TShellShortcutMaker shortcuts;
    TUpdateManifest manifest(tasks, extractor, shortcuts);
    TUpdateRun run({package, extractor, tasks, manifest});
    return run.RunUpdate();
  });
}

}  // namespace driver
