// The program entry of both faces, the window face (zemrun.exe) and, built with
// ZEMRUN_CONSOLE_FACE, the console face (zemrun.com): module start-up, the switches, the run or the
// usage message, and the finalization that runs on every orderly end, a text-file failure included.
#include "../foundation/vxCommandLine.h"
#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxTaskScheduler.h"
#include "../settings/zemrunOptions.h"
#include "../settings/zemrunProjects.h"
#include "../settings/zemrunSchedule.h"
#include "zemrunConsole_win32.h"
#include "zemrunInstallation.h"
#include "zemrunScheduling.h"
#include "zemrunSwitches.h"
#include "zemrunSystem_win32.h"
#include "zemrunU.h"
#include "zemrunWindowFace_win32.h"

#include <windows.h>

#include <new>
#include <stdexcept>

namespace {
#ifdef ZEMRUN_CONSOLE_FACE
using TFace = TConsoleFace;
constexpr bool ConsoleFace = true;
TFace MakeFace(TPhaseTimes&) {
    return TConsoleFace();
}
#else
using TFace = TWindowFace;
constexpr bool ConsoleFace = false;
// The progress window's updates count among the run's phases.
TFace MakeFace(TPhaseTimes& phases) {
    return TWindowFace(phases);
}
#endif

// Finalizes every module in reverse order of start-up; returns the number of a text-file
// failure of the options save, 0 when there was none.
int FinalizeModules(TFace& face) {
    int status = 0;
    try {
        FinalizeOptions();
    } catch (const TvxInOutError& failure) {
        face.Tell(failure);
        status = failure.code ? failure.code : 1;
    }
    FinalizeProjects();
    FinalizeCommandLine();
    FinalizeShellUtils();
    return status;
}

// The names of the tasks that the projects would have.
std::vector<std::string> ProjectTaskNames() {
    std::vector<std::string> names;
    const TZemrunProjects& projects = Projects();
    for (int32_t i = 0; i < projects.Count(); ++i)
        names.push_back(TaskName(projects.Items(i)->Name()));
    return names;
}

// The request that the command line makes is handed to the run, which may change its
// settings (the main dialog).
int Main(TLauncherSystem& system, TFace& face, TRunRequest& request) {
    InitializeShellUtils();
    InitializeOptions(ProgramPath());
    if (ArgumentCount() > 0) {
        std::optional<TRunRequest> asked = ParseArguments(ProcessArguments(), system, face);
        if (!asked) return 0;
        request = std::move(*asked);
    }
    request.SettleShowFailures(ConsoleFace);
    if (request.schedule) {
        TvxTaskFolder tasks(TaskFolderName);
        return int(ScheduleProject(
            tasks, face, request, {TaskProgram(ProgramPath()), CurrentUser(), system.LocalTime()}));
    }
    if (request.setup == TSetup::Install) return int(InstallForUser(ProgramPath()));
    if (request.setup == TSetup::Uninstall)
        return int(UninstallForUser(ProgramPath(), TaskFolderName, ProjectTaskNames()));
    if (request.Runs()) return int(RunList(system, face, request));
    face.ShowUsage();
    return 0;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TPhaseTimes phases;
    TFace face = MakeFace(phases);
    // The console face's programs write where it writes.
    TWin32System system(face.Handles(), phases, ConsoleFace);
    TRunRequest request;
    int status = 0;
    int failure = 0; // the run could not be done
    try {
        status = Main(system, face, request);
    } catch (const TvxInOutError& error) {
        face.Tell(error);
        failure = error.code ? error.code : 1;
    } catch (const std::bad_alloc&) {
        // A list without line ends (a device that never ends, a huge file in a 32-bit
        // process): the end is orderly all the same, the options saved.
        failure = ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::length_error&) {
        // A text longer than a string can hold in this address space.
        failure = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (failure == ERROR_NOT_ENOUGH_MEMORY) face.Tell(TvxInOutError{failure, ""});
    const int finalStatus = FinalizeModules(face);
    phases.WriteWhereAsked();
    // A batch that counts its failures tells a run that could not be done by one status.
    if ((failure || finalStatus) && request.settings.Halt != NoHalt) return int(RunNotDoneStatus);
    if (failure) return failure;
    return status ? status : finalStatus;
}
