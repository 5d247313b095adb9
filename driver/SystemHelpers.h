// Small system helpers of the update run: registry strings, temporary names,
// directory creation, starting a program and waiting for it.
// Path forms, file probes, worded Win32 errors and tree deletion are shared with the table
// storage and live in rtl/; they are offered here under the run's names too.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/DirTree.h"
#include "rtl/Exception.h"
#include "rtl/FileSystem.h"
#include "rtl/Win32Error.h"
#include "rtl/WinPath.h"

// A registry value that exists but cannot be used as asked.
VEX_EXCEPTION_CLASS(ERegistryException);

namespace driver {

using rtl::AddTrailingBackslash;
using rtl::CheckWin32;
using rtl::DeleteDirectoryTree;
using rtl::IsDirectory;
using rtl::IsFile;
using rtl::JoinPath;
using rtl::PurgeDirectory;
using rtl::RaiseLastWin32;
using rtl::RemoveTrailingBackslash;

// Registry, always with full access. A leading backslash of Key is ignored.
// A key that cannot be opened counts as absent.
// Whether Key below Root can be opened with full access.
bool RegKeyExists(HKEY Root, const std::string& Key);
bool TryReadRegString(HKEY Root, const std::string& Key, const std::string& Name, std::string& Value);
void ReadRegString(HKEY Root, const std::string& Key, const std::string& Name, std::string& Value);
std::string ReadRegString(HKEY Root, const std::string& Key, const std::string& Name);
// Creates Key (and its parents) when missing; a key that cannot be created
// writes nothing.
void WriteRegString(HKEY Root, const std::string& Key, const std::string& Name, const std::string& Value);

// The system temporary directory, with its trailing backslash.
std::string GetTempDirectory();
// A name under BaseDir (or the temporary directory) that names nothing yet:
// Prefix + MMDDhhmm_NNNNN, with _000, _001, ... when taken, then Ext.
std::string CreateTempName(const std::string& BaseDir, const std::string& Ext, const std::string& Prefix);
// The same at a given local time.
std::string CreateTempName(const std::string& BaseDir, const std::string& Ext, const std::string& Prefix,
                           const SYSTEMTIME& Now);

// Creates Dir and its missing parents. Raises ECreateDirError for an empty Dir;
// every other failure is the false result.
bool ForceDirectoryPath(const std::string& Dir);

// Starts Program (with CommandLine) and waits for it; returns its exit code.
// A program that cannot be started raises EWin32Error.
int RunAndWait(const std::string& Program, const std::string& CommandLine, bool Minimised);

}  // namespace driver
