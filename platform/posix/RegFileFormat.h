// The .reg text format of the stand-in's registry file, as regedit writes it:
//   Windows Registry Editor Version 5.00
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Maker]
//   "Name"="text"   @="default"   "N"=dword:0000002a   "B"=hex:01,02
//   "E"=hex(2):25,00,...  (UTF-16LE; hex(n) for any other type)
// POSIX-only, internal to platform/.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "RegistryTree.h"

namespace vexplat::detail {

// Reads a whole file (UTF-8, with or without BOM, or UTF-16LE with BOM).
// Also accepts the REGEDIT4 header, ';' comments, the root abbreviations
// HKLM/HKCU/HKCR/HKU, and the deletions [-key] and "name"=-. On a malformed
// file the result is empty and *problem says where.
std::optional<RegistryTree> ParseRegFile(std::string_view bytes, std::string* problem);

// The file for a tree: UTF-8 without BOM, CR LF line ends like regedit.
std::string FormatRegFile(const RegistryTree& tree);

}  // namespace vexplat::detail
