#pragma once
// The face of a run: what the user sees and says. The window face (zemrun.exe) shows the
// progress window, the summary, the watch's icon and message boxes; the console face
// (zemrun.com) writes lines and a status line. Both listen to the run as it goes.

#include "../foundation/vxFileUtils.h"
#include "../settings/zemrunRunSettings.h"
#include "zemrunBatchStatus.h"
#include "zemrunCommand.h"
#include "zemrunTry.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// How a watch goes.
struct TWatchState {
    std::string folder, jobLog;
    bool folderThere = true; // else it is waited for
    TBatchStatus status;
    bool failuresRetried = false;         // the failures before newlyFailed are run again
    std::vector<TFailedItem> newlyFailed; // the files that failed since the last state
    std::string announced; // the failed file to tell of at once (a balloon), if one is
};

// Why a watch does not start.
enum class TWatchRefusal { AlreadyWatched, NotAFolder };
struct TWatchRefused {
    std::string folder;
    TWatchRefusal why;
};
// The list's encoding, by that name, is not known on this system.
struct TUnknownEncoding {
    std::string name;
};
// What /SCHEDULE did for a project, or why it did not.
struct TScheduleNotice {
    enum TKind {
        Registered,     // the task runs it so (text: the schedule's form)
        Removed,        // it runs by itself no more
        Shown,          // it runs so
        NotScheduled,   // it does not run by itself
        ProjectGone,    // a task runs so, but its project is not there
        BadForm,        // text is no schedule's form
        NoProject,      // there is no project of that name
        NeedsProject,   // /SCHEDULE without /J:
        QuoteInName,    // a name with a double quote cannot be given on a command line
        VariableInName, // nor one with two percent signs to the Task Scheduler
        Failed,         // the Task Scheduler refused, for the reason of the error
    } kind;
    std::string project, text;
    uint32_t error = 0; // the system's error number or HRESULT
};
// What the user is told: a file or folder that could not be read, written or made (which
// ends the run), an expression that does not compile (the run goes on without its groups),
// an unknown encoding, a watch that may not start, what /SCHEDULE did.
using TNotice =
    std::variant<TvxInOutError, TExpressionError, TUnknownEncoding, TWatchRefused, TScheduleNotice>;

// What the user asked while the run went on, each once: Cancel and Skip of the progress
// window, a stop (the console's first Ctrl+C: nothing more starts, what runs is waited
// for), and Run failed again of the watch's summary.
struct TUserSignals {
    bool cancel = false;
    bool skip = false;
    bool stop = false;
    bool runAgain = false;
};

class TLauncherFace : public TRunListener {
  public:
    virtual void ShowUsage() = 0;
    virtual void Tell(const TNotice& notice) = 0;
    // The main dialog over the settings, whose Preview shows what preview gives; true when
    // it was closed with OK.
    virtual bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) = 0;
    // Shows the commands of the run before it; true when the user chose to run them.
    virtual bool ConfirmCommands(const std::vector<std::string>& commands) = 0;

    // The progress of a run of that many items, shown from a ProgressStart that gave true
    // to ProgressClose; false where it cannot be shown.
    virtual bool ProgressStart(int32_t items) = 0;
    virtual void ProgressClose() = 0;
    // A zero-time look at what the user asked since the last; Skip and Run failed again
    // are taken by it, Cancel and a stop stay.
    virtual TUserSignals TakeSignals() = 0;
    // Before ProgressClose, when items failed and the run was not cancelled: the failed
    // items in list order; true when the user asks to run them again, in the progress
    // as it was.
    virtual bool ShowFailures(const TBatchStatus& status,
                              const std::vector<TFailedItem>& failed) = 0;

    // How a watch goes (the status line, the notification area's icon); WatchEnded takes
    // it away.
    virtual void ShowWatch(const TWatchState& state) = 0;
    virtual void WatchEnded() = 0;

    // Where a face passes the output of programs that run at once on, whole as each ends:
    // the folder and the start of the names of the files that keep it meanwhile. Empty
    // where output goes where the programs write it.
    virtual std::string KeptOutputPrefix() = 0;
};
