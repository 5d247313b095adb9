/* Loads a DLL by name the way a program without a defence does: shows that
   a DLL planted beside a program is found first. */
#include <windows.h>

int main(int argc, char** argv) { return argc == 2 && LoadLibraryA(argv[1]) != NULL ? 0 : 1; }
