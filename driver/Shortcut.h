// Start-menu and desktop shortcuts: one shell-link file pointing to a program,
// in one of the current user's shell folders, optionally in a group folder.
#pragma once

#include <cstdint>
#include <string>

namespace driver {

// Where a shortcut goes, by the value of the user's Shell Folders key.
enum TShortcutLocation : uint8_t {
  slDesktop = 0,
  slStartMenu = 1,
  slPrograms = 2,
  slStartup = 3,
  slQuickLaunch = 4,
};

// The link file name for a shortcut: Name, or the file name of Target when
// Name is empty, or "我的电脑" when Target is empty; what follows its last dot
// is taken for an extension and replaced by ".lnk".
std::string ShortcutDescription(const std::string& Target, const std::string& Name);
std::string ShortcutFileName(const std::string& Description);

// The folder a location names ("" when unknown or unset).
std::string ShortcutFolder(uint8_t Location);

// True when the link file was saved. Expected failures (no Shell Folders key,
// no folder for the location, a group folder that cannot be made, a save that
// fails) are the false result; a shell-link object that cannot be made raises.
bool CreateShortcut(const std::string& Target, const std::string& Name, uint8_t Location, const std::string& Group);

// The same, for whoever applies a manifest.
class IShortcutMaker {
 public:
  virtual ~IShortcutMaker() = default;
  virtual bool CreateShortcut(const std::string& Target, const std::string& Name, uint8_t Location,
                              const std::string& Group) = 0;
};

class TShellShortcutMaker : public IShortcutMaker {
 public:
  bool CreateShortcut(const std::string& Target, const std::string& Name, uint8_t Location,
                      const std::string& Group) override {
    return driver::CreateShortcut(Target, Name, Location, Group);
  }
};

}  // namespace driver
