// The installer program: the update run with the real package, archive
// engine, task table, manifest and shortcuts, under the top-level handler.
#pragma once

namespace driver {

// Returns the process exit code.
int ProgramMain();

}  // namespace driver
