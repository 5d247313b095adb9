#include "driver/PackagePlan.h"

namespace driver {

std::string PlannedTaskDir(const std::string& Flag) { return "<" + Flag + ">"; }

std::string TPlanRecorder::InPackage(const std::string& Path) const {
  return Path.rfind(workDir_, 0) == 0 ? Path.substr(workDir_.size()) : Path;
}

// The package is extracted before the plan starts; nothing to write down.
bool TPlanRecorder::ExtractPackage(const std::string&, const std::string&, const std::string&) { return false; }

// The check tests every payload itself, with the faults worded.
bool TPlanRecorder::TestArchive(const std::string& Archive) { return countEntries_(Archive) >= 0; }

bool TPlanRecorder::ExtractPayload(const std::string& Archive, const std::string& Dir, bool) {
  const int32_t entries = countEntries_(Archive);
  const std::string count = entries < 0 ? "missing or unreadable: nothing happens"
                                        : std::to_string(entries) + (entries == 1 ? " entry" : " entries");
  steps_.push_back("extract  " + InPackage(Archive) + " (" + count + ") into " + Dir);
  return entries > 0;
}

bool TPlanRecorder::CreateShortcut(const std::string& Target, const std::string& Name, uint8_t,
                                   const std::string& Group) {
  steps_.push_back("shortcut " + Name + " in Programs\\" + Group + " to " + Target + " (when it exists)");
  return true;
}

void TPlanRecorder::EmptyDirectory(const std::string& Dir) { steps_.push_back("empty    " + Dir); }

void TPlanRecorder::CopyOneFile(const std::string& From, const std::string& To) {
  steps_.push_back("copy     " + InPackage(From) + " to " + To);
}

bool TPlanRecorder::ProgramExists(const std::string&) { return true; }

void TPlanRecorder::ReplaceExecutable(const TAppIdentity& Identity) {
  if (Identity.UpdExe != 1) return;
  const std::string root = kPlannedRoot;
  std::string step = "replace  " + root + Identity.sAppExecutable;
  if (!Identity.sAppOtherExecutable.empty()) step += " (or " + root + Identity.sAppOtherExecutable + " without it)";
  const std::string& source = Identity.sAppExecutable;
  steps_.push_back(step + " with " + (source.rfind('\\', 0) == 0 ? source.substr(1) : source));
}

}  // namespace driver
