// The product's uninstaller. Started from the install folder it hands the
// work to a copy of itself under the temporary folder (launcher.h); that
// copy runs the configuration and uninstall chunks the install left beside
// the product, on the same script engine as the installer (workcopy.h).
#include <windows.h>

#include "product/uninstall/arguments.h"
#include "product/uninstall/launcher.h"
#include "product/uninstall/workcopy.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const UninstallArguments arguments = ParseArguments(ProgramArguments());
    const DWORD code = arguments.IsWorkCopy() ? RunWorkCopy(instance, arguments) : RunLauncher(arguments);
    return static_cast<int>(code);
}
