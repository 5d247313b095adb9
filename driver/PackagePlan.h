// The plan of an update package: what the installer would do, step by step,
// found by letting the installer's own manifest code run against stand-ins
// that write each action down instead of doing it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "driver/AppIdentity.h"
#include "driver/ArchiveExtractor.h"
#include "driver/ManifestActions.h"
#include "driver/Shortcut.h"
#include "driver/TaskTable.h"

namespace driver {

// Names of places the plan cannot know before the update runs.
inline constexpr const char* kPlannedRoot = "<root>";
std::string PlannedTaskDir(const std::string& Flag);

class TPlanRecorder : public IArchiveExtractor, public IShortcutMaker, public IManifestActions {
 public:
  // Entries of a payload archive (in Windows form), -1 when it cannot be read.
  using TEntryCounter = std::function<int32_t(const std::string& Archive)>;

  // WorkDir: where the package lies extracted; its prefix is left out of
  // the plan, which names files as the package holds them.
  TPlanRecorder(std::string WorkDir, TEntryCounter CountEntries)
      : workDir_(std::move(WorkDir)), countEntries_(std::move(CountEntries)) {}

  bool ExtractPackage(const std::string& Archive, const std::string& Dir, const std::string& Password) override;
  bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) override;
  bool TestArchive(const std::string& Archive) override;
  bool CreateShortcut(const std::string& Target, const std::string& Name, uint8_t Location,
                      const std::string& Group) override;
  void EmptyDirectory(const std::string& Dir) override;
  void CopyOneFile(const std::string& From, const std::string& To) override;
  // Whether the program is there shows only at the update; the plan names
  // the shortcut with that condition.
  bool ProgramExists(const std::string& Program) override;

  // The step after the manifest: the new executable over the installed one.
  void ReplaceExecutable(const TAppIdentity& Identity);

  const std::vector<std::string>& Steps() const { return steps_; }

 private:
  std::string InPackage(const std::string& Path) const;

  std::string workDir_;
  TEntryCounter countEntries_;
  std::vector<std::string> steps_;
};

// Task flags as the plan shows them without a task table: every flag names
// one task directory, written <FLAG>.
class TSymbolicTasks : public ITaskTable {
 public:
  bool Open(const std::string&) override { return true; }
  uint32_t Count() override { return 0; }
  void ForEachTaskDir(const std::string& Flag, const std::function<void(const std::string& Dir)>& Action) override {
    Action(PlannedTaskDir(Flag));
  }
};

}  // namespace driver
