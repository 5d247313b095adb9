// Placeholder translation unit so the stand-in library always has a source.
#include <windows.h>
