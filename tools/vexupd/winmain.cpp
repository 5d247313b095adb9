// The installer on Windows: a GUI program without a window of its own. The
// command line is not read.
#include <windows.h>

#include "driver/Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return driver::ProgramMain(); }
