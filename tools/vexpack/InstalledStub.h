// The installer program that vexpack uses when no --stub is given: the
// Windows vexupd.exe installed beside it, PREFIX/share/vexupd/vexupd.exe for
// PREFIX/bin/vexpack.
#pragma once

#include <string>

namespace vexpack {

// Argv0: how vexpack was started, for systems that cannot name their own
// executable otherwise.
std::string InstalledStub(const char* Argv0);

}  // namespace vexpack
