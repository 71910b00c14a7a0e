// The program entry: module start-up, the switches, the run or the usage message, and
// the finalization that runs on every orderly end, a text-file failure included.
#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "vxCommandLine.h"
#include "zemrunGlobal.h"
#include "zemrunU_win32.h"

#include <windows.h>

namespace {
void FinalizeModules() {
    FinalizeGlobals();
    FinalizeCommandLine();
    FinalizeShellUtils();
}

int Main() {
    InitializeGlobals();
    TWin32LauncherHost host;
    if (ArgumentCount() > 0 && !ParseArguments(ProcessArguments(), host)) return 0;
    if (!RunSettings.List.empty() || Interactive)
        RunList(host);
    else
        host.ShowUsage();
    return 0;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int status;
    try {
        status = Main();
    } catch (const TvxInOutError& failure) {
        status = failure.code ? failure.code : 1;
    }
    FinalizeModules();
    return status;
}
