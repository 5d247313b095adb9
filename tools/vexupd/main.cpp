// The installer on POSIX: the same run as on Windows, entered through main.
#include "driver/Program.h"

int main() { return driver::ProgramMain(); }
