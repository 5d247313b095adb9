// An elevated installer started from a download folder must not load a DLL
// that someone placed beside it.
#pragma once

namespace rtl {

// Takes the current directory out of the DLL search and, where the system
// has SetDefaultDllDirectories (Windows 8, or 7 and Vista with KB2533623),
// restricts later loads to the system directory. True when both took effect.
bool RestrictDllSearchToSystem();

}  // namespace rtl
