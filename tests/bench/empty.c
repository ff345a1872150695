/* The baseline of the start-up benchmark: a GUI program that does nothing,
   linked as the installer is (static runtime, GUI subsystem, wide entry). */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) { return 0; }
