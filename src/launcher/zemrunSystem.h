#pragma once
// The system as a run reaches it: processes and their waits, the clock, the registry's
// associations, standard input and watched folders. Nothing here shows anything; a face
// (zemrunFace.h) does, so that a run's decisions can be followed against a recording
// system with simulated time.

#include "../foundation/vxLocalTime.h"
#include "zemrunCommand.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A started process, as the system identifies it; none when no process was obtained.
class TProcess {
  public:
    constexpr TProcess() = default;
    constexpr explicit TProcess(uintptr_t id) : id_(id) {}
    constexpr uintptr_t Id() const { return id_; }
    constexpr explicit operator bool() const { return id_ != 0; }
    friend constexpr bool operator==(TProcess, TProcess) = default;

  private:
    uintptr_t id_ = 0;
};

// What a start gave: the process, or none and the system's error number (0 when the shell
// started the item without giving a process).
struct TStarted {
    TProcess process;
    uint32_t error = 0;
};

// What AskWatchToStop says when no watch has the folder.
constexpr uint32_t NoWatchError = 2; // the system's "cannot find the file"

// How a wait for an end came out, besides the index of the process that ended.
constexpr int32_t WaitInterrupted = -1; // Skip or Cancel of the face's progress window
constexpr int32_t WaitTimedOut = -2;
constexpr uint32_t NoTimeout = UINT32_MAX;

// How much room the machine has for one more program.
struct TMachine {
    int32_t processors = 1;                // logical, in all processor groups
    uint64_t availableMemory = UINT64_MAX; // bytes of physical memory available
    int32_t load = 0;                      // percent of the processors' time busy lately
};

class TLauncherSystem {
  public:
    virtual ~TLauncherSystem() = default;

    // Starts one command through process creation or the shell.
    virtual TStarted Start(const TStartCommand& command) = 0;
    virtual void WaitForInputIdle(TProcess process, uint32_t milliseconds) = 0;
    // Waits at most milliseconds (NoTimeout: without end) for the first of the processes
    // to end: its index, WaitTimedOut, or WaitInterrupted when the face's Skip or Cancel
    // ended the wait.
    virtual int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes,
                                      uint32_t milliseconds) = 0;
    // The exit code of a process that has ended; none while it runs.
    virtual std::optional<uint32_t> ExitCode(TProcess process) = 0;
    // Ends the program, with every process of its job where it has one, and returns once
    // it has ended or after a few seconds.
    virtual void EndProgram(TProcess process) = 0;
    virtual void CloseProcess(TProcess process) = 0;
    virtual uint32_t IsProgramRunning(const std::string& name) = 0;

    // The machine as it is now; its load over about the last second.
    virtual TMachine Machine() = 0;

    virtual TLocalTime LocalTime() = 0;
    // A clock for run times, in milliseconds from any fixed point.
    virtual uint64_t Milliseconds() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;

    virtual std::string GetAssocCommand(const std::string& extension) = 0;
    // The whole of standard input, read at the first call and kept for every later one;
    // throws TvxInOutError where there is none to read.
    virtual const std::string& StandardInput() = 0;

    // A watched folder: waits at most milliseconds for a change in it (a folder that is
    // not there: the time); returns early, too, when the watch is asked to stop or the
    // face's signals come.
    virtual void WaitForFolderChange(const std::string& folder, bool subfolders,
                                     uint32_t milliseconds) = 0;
    // Takes the folder for this watch; false when another watch on this machine has it.
    virtual bool ClaimWatch(const std::string& folder) = 0;
    // A zero-time test whether /UNWATCH asked the watch of the claimed folder to stop.
    virtual bool UnwatchAsked() = 0;
    // /UNWATCH: asks the watch of the folder to stop: 0, NoWatchError when there is none,
    // or the system's error number why this user may not.
    virtual uint32_t AskWatchToStop(const std::string& folder) = 0;
};

// Waits for the one process to end, as WaitAnyProcessEnd waits.
inline int32_t WaitProcessEnd(TLauncherSystem& system, TProcess process, uint32_t milliseconds) {
    return system.WaitAnyProcessEnd({process}, milliseconds);
}
