#pragma once
// The Windows side of the launcher: the two starters, the waits, the usage message and
// the host that the switches and the launch loop run against.

#include "../ui/WatchIcon.h"
#include "ProgressThrU.h"
#include "vxChildProcess_win32.h"
#include "zemrunFolderChanges_win32.h"
#include "zemrunHost.h"
#include "zemrunPhaseTimes_win32.h"

#include <windows.h>

#include <optional>
#include <string>
#include <unordered_map>

// The starters: the system's error number, 0 when the command started; the child then
// holds the process, where the shell gave one.
// With standard handles, the child gets copies of this process's (TvxChildStart).
DWORD StartByCreateProcess(const TStartCommand& command, TvxChild& child,
                           bool standardHandles = false);
// The shell's messages are owned by the window, which may be null.
DWORD StartByShellExecute(const TStartCommand& command, HWND window, TvxChild& child);

// The system's text for an error number, without its line end and full stop.
std::string SystemMessage(uint32_t code);

class TWin32LauncherHost : public TLauncherHost {
  public:
    void ShowUsage() override;
    void ShowUnknownEncoding(const std::string& name) override;
    // The window face says nothing of a failure: its exit status tells.
    void ShowFailure(const TvxInOutError& failure) override;
    void ShowExpressionError(const TExpressionError&) override {}
    bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) override;
    bool ConfirmCommands(const std::vector<std::string>& commands) override;
    TProcess Start(const TStartCommand& command) override;
    void WaitForInputIdle(TProcess process, uint32_t milliseconds) override;
    int32_t WaitProcessEnd(TProcess process, uint32_t milliseconds) override;
    int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes,
                              uint32_t milliseconds) override;
    bool ProcessEnded(TProcess process) override;
    void EndProgram(TProcess process) override;
    uint32_t ExitCode(TProcess process) override;
    uint32_t StartError() override { return startError_; }
    TLocalTime LocalTime() override;
    uint64_t Milliseconds() override;
    void CloseProcess(TProcess process) override;
    uint32_t IsProgramRunning(const std::string& name) override;
    void Sleep(uint32_t milliseconds) override;
    std::string GetAssocCommand(const std::string& extension) override;
    const std::string& StandardInput() override;
    bool ProgressStart() override;
    void ProgressSetRange(int32_t low, int32_t high) override;
    void ProgressSetPos(int32_t position) override;
    void ProgressSetText(const std::string& text) override;
    void ProgressSetStatus(const TBatchStatus& status) override;
    bool CancelSignalled() override;
    bool TakeSkipSignal() override;
    // /UNWATCH of the folder that this run watches.
    bool StopSignalled() override;
    void WaitForFolderChange(const std::string& folder, bool subfolders,
                             uint32_t milliseconds) override;
    bool ClaimWatch(const std::string& folder) override;
    uint32_t AskWatchToStop(const std::string& folder) override;
    // Run failed again, chosen in the summary that the watch icon's menu shows.
    bool TakeRunAgainSignal() override;
    // A message box, where a person can see it.
    void ShowWatchRefused(const std::string& folder, TWatchRefusal why) override;
    // The notification area's icon, where a person can see it, whose menu shows what
    // failed; a balloon for an announced failure.
    void ShowWatch(const TWatchState& state) override;
    void WatchEnded() override { watchIcon_.Close(); }
    // Turns the progress window into the summary of what failed, where a person can see
    // it: not on a window station that is not shown (a service, a scheduled task run
    // whether the user is logged on or not).
    bool ShowFailures(const TBatchStatus& status, const std::vector<TFailedItem>& failed) override;
    void ProgressClose() override;
    // Where the run's time went, for the launch benchmark.
    void WritePhaseTimes() const { phases_.WriteWhereAsked(); }

  protected:
    // Whether started programs write where this process writes.
    bool shareStandardHandles_ = false;
    // An event besides /UNWATCH that ends a wait for a folder's change: a stop request.
    virtual HANDLE StopEvent() const { return nullptr; }

  private:
    // The events that end a wait: Skip (reset by the wait that takes it) and Cancel (stays
    // set); the progress window's, where it is shown.
    HANDLE SkipEvent() const { return progress_.SkipEvent(); }
    HANDLE CancelEvent() const { return progress_.CancelEvent(); }
    uint32_t startError_ = 0;
    std::optional<std::string> input_;
    TPhaseTimes phases_;
    TProgressWindow progress_{phases_};
    std::string progressLanguage_; // the language file of the progress window's texts
    std::unordered_map<uintptr_t, TvxHandle> jobs_; // of the contained programs, by process
    TvxHandle watchMutex_;                          // held while this run watches its folder
    TvxHandle unwatchEvent_;                        // set by /UNWATCH of that folder
    TFolderChanges folderChanges_;
    TWatchIcon watchIcon_;
    TvxHandle runAgainEvent_; // set by the icon's Run failed again, reset by its taking
    bool watchIconTried_ = false;
    std::string watchLanguage_;
};
