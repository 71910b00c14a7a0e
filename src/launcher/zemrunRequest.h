#pragma once
// What a command line asks for: the run settings, and the few choices besides them that
// decide how the run is made.

#include "../settings/zemrunRunSettings.h"

#include <optional>
#include <string>

// /INSTALL and /UNINSTALL: what the installer asks of the installed program.
enum class TSetup { None, Install, Uninstall };

struct TRunRequest {
    TRunRequest() { SetDefaultOptions(settings); }
    // The defaults, then the switches and the projects they name, in their order.
    TOptions settings;
    // /I: the main dialog edits the run settings before the run.
    bool interactive = false;
    // /D: the commands are shown before anything starts; with /D:<file> they go to that
    // file, one a line, and nothing starts.
    bool preview = false;
    std::string previewFile;
    // /A: the arguments after it are items, and the run takes place without a list.
    bool itemArguments = false;
    // /UNWATCH: the watch of that folder is asked to stop, and nothing else is done.
    std::string unwatchFolder;
    // The project that the last /J: named.
    std::string project;
    // /SCHEDULE:<when> makes the project run by itself so, /SCHEDULE alone tells how it
    // does; nothing else is done.
    std::optional<std::string> schedule;
    // Nothing else is done either.
    TSetup setup = TSetup::None;

    // Whether there is a run to make: a list, the main dialog or items; else the usage
    // message is shown.
    bool Runs() const {
        return !settings.List.empty() || !settings.WatchFolder.empty() || interactive ||
               itemArguments || !unwatchFolder.empty() || schedule || setup != TSetup::None;
    }
    // Where neither a switch nor a project decided: what failed is shown where a person
    // watches, from the main dialog, Explorer (/A) or a console, and never where a script
    // or a scheduled task could be left waiting on a window.
    void SettleShowFailures(bool console) {
        if (settings.ShowFailures == ShowFailuresByEntry)
            settings.ShowFailures = interactive || itemArguments || console ? 1 : 0;
    }
};
