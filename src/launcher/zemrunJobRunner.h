#pragma once
// The job runner: starts each try of a command through the system in a free job slot,
// waits as the settings say (ready for input, the program among the running ones, the
// end within the time limit), takes failed commands again as often as the settings allow,
// and tells the run's listener how each try went. It knows nothing of windows, logs or
// folders.

#include "../settings/zemrunRunSettings.h"
#include "zemrunCommand.h"
#include "zemrunRoomRules.h"
#include "zemrunSystem.h"
#include "zemrunTry.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

// Without the progress window nothing can skip the wait for the program to show among
// the running processes, so it also ends when the process has ended or after this long.
constexpr uint32_t WaitOpenPollMilliseconds = 100;
constexpr uint32_t WaitOpenLimitMilliseconds = 30000;
constexpr uint32_t InputIdleMilliseconds = 5000;
// While a rule holds a start back, or free memory is asked, the machine is looked at this
// often.
constexpr uint32_t RoomCheckMilliseconds = 250;

// What the user asked, as the run reads it: Skip ends the waits of a try, Cancel every
// wait and every start, a stop the starts while what runs is waited for.
class TInterruptions {
  public:
    virtual ~TInterruptions() = default;
    virtual void Poll() = 0;
    virtual bool Skipped() const = 0;
    virtual bool Cancelled() const = 0;
    virtual bool Stopped() const = 0;
};

// The whole command of a try in the job slot (from 1) that it is to run in.
using TBuildCommand = std::function<TStartCommand(const TTry& tried, int32_t slot)>;

class TJobRunner {
  public:
    // The settings as the run takes them; firstPause is the pause after the first start of
    // the first item, where one is made. Nothing more starts once halted holds.
    TJobRunner(TLauncherSystem& system, const TOptions& settings, uint32_t firstPause,
               TBuildCommand build, TInterruptions& interruptions, TRunListener& listener,
               std::function<bool()> halted);
    // Starts the try once a slot is free, the retries that the wait brought first; false
    // when nothing is to start any more.
    bool Run(TTry tried);
    // The retries that are due, as long as starts are allowed.
    void StartRetries();
    // The tries that ended or ran out of time meanwhile, without waiting for any.
    void FinishEnded();
    // Waits for the last starts and starts their retries; what Skip or Cancel leaves
    // running is not waited for.
    void Finish();
    bool Idle() const { return running_.empty(); }
    // The items of the retries that never started, which count as failed.
    int32_t ItemsOfRetries() const;
    void DropRetries() { retries_.clear(); }

  private:
    struct TRunning;
    bool StopStarting() const;
    void WaitOpenAfterStart(TProcess process);
    uint32_t TimeLeft(const TRunning& running);
    void End(TRunning& running, bool timedOut);
    bool FinishRunningWhere(const std::function<bool(TRunning&)>& ended);
    bool WaitForOneEnd(uint32_t most = NoTimeout);
    bool HasRoom();
    void FreeMemory();
    int32_t FreeSlot() const;
    void Start(TTry tried);

    TLauncherSystem& system_;
    const TOptions& settings_;
    uint32_t firstPause_;
    TBuildCommand build_;
    TInterruptions& interruptions_;
    TRunListener& listener_;
    std::function<bool()> halted_;
    std::vector<TRunning> running_; // started with more than one job, end not yet seen
    std::deque<TTry> retries_;      // the next tries of failed commands, in order of failure
    TRoomRules rules_;
    THeldStart held_; // as last told
};

// A try that was started, or whose start failed, until the runner is done with it.
struct TJobRunner::TRunning {
    TTry tried;
    TProcess process;
    TTryEnd end;
    bool timedOut = false;
};
