// Placeholder for the product's uninstaller: it does nothing and exits with
// 0. The product's real uninstaller replaces it in the payload later; the
// installer only needs the file in place for its shortcut and uninstall entry.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
