#pragma once
// The system of a run on Windows: the two starters, the waits, the job objects of
// time-limited programs, the registry's associations, standard input and the watched
// folder's changes and claim.

#include "../foundation/vxHandles.h"
#include "../foundation/vxWinUtils.h"
#include "vxChildProcess_win32.h"
#include "zemrunFolderChanges_win32.h"
#include "zemrunPhaseTimes_win32.h"
#include "zemrunSystem.h"

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The starters: the system's error number, 0 when the command started; the child then
// holds the process, where the shell gave one.
// With standard handles, the child gets copies of this process's (TvxChildStart).
DWORD StartByCreateProcess(const TStartCommand& command, TvxChild& child,
                           bool standardHandles = false);
// The shell's messages are owned by the window, which may be null.
DWORD StartByShellExecute(const TStartCommand& command, HWND window, TvxChild& child);

// Whether a person can see this process's windows: not on a window station that is not
// shown (a service, a scheduled task run whether the user is logged on or not).
bool WindowStationVisible();

// What of a face's windows and events the system's starts and waits take.
class TWin32FaceHandles {
  public:
    virtual ~TWin32FaceHandles() = default;
    // The window that owns the shell's messages; null for none.
    virtual HWND OwnerWindow() const = 0;
    // Skip (reset by the wait that takes it) and Cancel (stays set), which end a wait for
    // a program's end; null where there are none.
    virtual HANDLE SkipEvent() const = 0;
    virtual HANDLE CancelEvent() const = 0;
    // What ends a wait for a watched folder's change besides /UNWATCH.
    virtual std::vector<HANDLE> FolderWaitEvents() const = 0;
};

// How busy the processors were over about the last second, from the system's times.
class TLoadMeter {
  public:
    TLoadMeter() { Busy(); }
    // Percent of the processors' time, from 0 to 100.
    int32_t Busy();

  private:
    static constexpr uint64_t LoadSpanMilliseconds = 1000;
    struct TSample {
        uint64_t at, idle, total;
    };
    std::deque<TSample> samples_;
};

class TWin32System : public TLauncherSystem {
  public:
    // With standard handles, started programs without an output file of their own write
    // where this process writes.
    TWin32System(TWin32FaceHandles& face, TPhaseTimes& phases, bool standardHandles);
    TStarted Start(const TStartCommand& command) override;
    void WaitForInputIdle(TProcess process, uint32_t milliseconds) override;
    int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes,
                              uint32_t milliseconds) override;
    std::optional<uint32_t> ExitCode(TProcess process) override;
    void EndProgram(TProcess process) override;
    void CloseProcess(TProcess process) override;
    uint32_t IsProgramRunning(const std::string& name) override;
    TMachine Machine() override;
    TLocalTime LocalTime() override;
    uint64_t Milliseconds() override;
    void Sleep(uint32_t milliseconds) override;
    std::string GetAssocCommand(const std::string& extension) override;
    const std::string& StandardInput() override;
    void WaitForFolderChange(const std::string& folder, bool subfolders,
                             uint32_t milliseconds) override;
    bool ClaimWatch(const std::string& folder) override;
    bool UnwatchAsked() override;
    uint32_t AskWatchToStop(const std::string& folder) override;

  private:
    TWin32FaceHandles& face_;
    TPhaseTimes& phases_;
    bool standardHandles_;
    std::optional<std::string> input_;
    std::unordered_map<uintptr_t, TvxHandle> jobs_; // of the contained programs, by process
    TvxHandle watchMutex_;                          // held while this run watches its folder
    TvxHandle unwatchEvent_;                        // set by /UNWATCH of that folder
    TFolderChanges folderChanges_;
    TLoadMeter load_;
};
