#include "zemrunJobRunner.h"

#include <algorithm>
#include <utility>

TJobRunner::TJobRunner(TLauncherSystem& system, const TOptions& settings, uint32_t firstPause,
                       TBuildCommand build, TInterruptions& interruptions, TRunListener& listener,
                       std::function<bool()> halted)
    : system_(system), settings_(settings), firstPause_(firstPause), build_(std::move(build)),
      interruptions_(interruptions), listener_(listener), halted_(std::move(halted)),
      rules_(system, settings) {}

bool TJobRunner::StopStarting() const {
    return interruptions_.Cancelled() || interruptions_.Stopped() || halted_();
}

int32_t TJobRunner::ItemsOfRetries() const {
    int32_t items = 0;
    for (const TTry& retry : retries_)
        items += retry.count;
    return items;
}

void TJobRunner::WaitOpenAfterStart(TProcess process) {
    if (!settings_.WaitOpen) return;
    if (!interruptions_.Skipped()) system_.WaitForInputIdle(process, InputIdleMilliseconds);
    for (uint32_t waited = 0; !settings_.Exe.empty() && !interruptions_.Skipped();) {
        interruptions_.Poll();
        system_.Sleep(WaitOpenPollMilliseconds);
        waited += WaitOpenPollMilliseconds;
        if (system_.IsProgramRunning(settings_.Exe) != 0) break;
        // A program that has ended, or a name that never shows, must not keep the run
        // waiting, with the progress window as without it.
        if (system_.ExitCode(process) || waited >= WaitOpenLimitMilliseconds) break;
    }
    interruptions_.Poll();
}

// What the try's time limit still allows; NoTimeout without one.
uint32_t TJobRunner::TimeLeft(const TRunning& running) {
    if (settings_.TimeLimit <= 0) return NoTimeout;
    const uint64_t limit = uint64_t(settings_.TimeLimit) * 1000;
    const uint64_t spent = system_.Milliseconds() - running.end.startedAt;
    return spent >= limit ? 0 : uint32_t(std::min<uint64_t>(limit - spent, NoTimeout - 1));
}

// The runner is done with the try: it fails when its start failed, when its time limit
// ended it, or when it ended with an exit code other than 0, and is then followed by its
// next try while retries are left.
void TJobRunner::End(TRunning& running, bool timedOut) {
    if (timedOut) system_.EndProgram(running.process);
    TTryEnd& end = running.end;
    if (running.process && settings_.WaitClose) {
        const std::optional<uint32_t> exitCode = system_.ExitCode(running.process);
        end.waited = exitCode.has_value();
        end.exitCode = exitCode.value_or(0);
    }
    end.runTime = system_.Milliseconds() - end.startedAt;
    if (timedOut) end.error = TimeLimitError;
    end.succeeded = end.error == 0 && end.exitCode == 0;
    const TTry& tried = end.tried;
    end.triedAgain = !end.succeeded && tried.attempt - tried.firstAttempt < settings_.Retries;
    if (running.process) system_.CloseProcess(running.process);
    listener_.TryEnded(end);
    if (!end.triedAgain) return;
    TTry next = tried;
    ++next.attempt;
    retries_.push_back(std::move(next));
}

// Ends the running tries for which ended (which may end them) holds, in their order; true
// when there was one.
bool TJobRunner::FinishRunningWhere(const std::function<bool(TRunning&)>& ended) {
    bool any = false;
    for (size_t i = 0; i < running_.size();) {
        if (!ended(running_[i])) {
            ++i;
            continue;
        }
        TRunning running = std::move(running_[i]);
        running_.erase(running_.begin() + ptrdiff_t(i));
        End(running, running.timedOut);
        any = true;
    }
    return any;
}

// Waits at most that long until one of the running tries has ended, or its time limit
// ended it; where free memory is asked, it is looked at meanwhile. False when Skip or
// Cancel ended the wait.
bool TJobRunner::WaitForOneEnd(uint32_t most) {
    std::vector<TProcess> processes;
    uint32_t timeout = rules_.WatchesMemory() ? std::min(most, RoomCheckMilliseconds) : most;
    for (const TRunning& running : running_) {
        processes.push_back(running.process);
        timeout = std::min(timeout, TimeLeft(running));
    }
    const int32_t ended = system_.WaitAnyProcessEnd(processes, timeout);
    interruptions_.Poll();
    if (ended == WaitTimedOut) {
        FreeMemory();
        FinishRunningWhere(
            [this](TRunning& running) { return running.timedOut = TimeLeft(running) == 0; });
        return true;
    }
    if (ended < 0 || size_t(ended) >= running_.size()) return false;
    TRunning running = std::move(running_[size_t(ended)]);
    running_.erase(running_.begin() + ended);
    End(running, false);
    return true;
}

// The tries that ran out of time are ended first.
void TJobRunner::FinishEnded() {
    FinishRunningWhere(
        [this](TRunning& running) { return running.timedOut = TimeLeft(running) == 0; });
    FinishRunningWhere(
        [this](TRunning& running) { return system_.ExitCode(running.process).has_value(); });
    StartRetries();
}

// Whether a start may be made now; else waits a while for room, an end, or Skip (which
// lets it start at once), and tells why it waits.
bool TJobRunner::HasRoom() {
    const THeldStart held = rules_.Hold(!running_.empty());
    if (!(held == held_)) listener_.StartHeld(held_ = held);
    if (held.rule == THeldStart::None) return true;
    if (held.rule == THeldStart::Delay) {
        system_.Sleep(uint32_t(held.have));
        interruptions_.Poll();
        return interruptions_.Skipped();
    }
    return !WaitForOneEnd(RoomCheckMilliseconds) || interruptions_.Skipped();
}

// Under half the free memory asked, with more than one running, the youngest program is
// ended with everything it started and put back at the front of the queue: that is no
// failure and takes none of its retries.
void TJobRunner::FreeMemory() {
    if (running_.size() < 2 || !rules_.MemoryShort()) return;
    // The last of those started last.
    const auto youngest = std::max_element(
        running_.rbegin(), running_.rend(),
        [](const TRunning& a, const TRunning& b) { return a.end.startedAt < b.end.startedAt; });
    TRunning running = std::move(*youngest);
    running_.erase(std::next(youngest).base());
    system_.EndProgram(running.process);
    system_.CloseProcess(running.process);
    TTryEnd& end = running.end;
    end.runTime = system_.Milliseconds() - end.startedAt;
    end.error = MemoryFreedError;
    end.triedAgain = true;
    listener_.TryEnded(end);
    TTry again = end.tried;
    again.putBack = true;
    retries_.push_front(std::move(again));
}

// The lowest job slot that none of the running tries holds.
int32_t TJobRunner::FreeSlot() const {
    for (int32_t slot = 1;; ++slot)
        if (std::none_of(running_.begin(), running_.end(),
                         [slot](const TRunning& running) { return running.tried.slot == slot; }))
            return slot;
}

// Builds the try's command for the lowest free slot and starts it; with one job at a time
// its end is waited for here.
void TJobRunner::Start(TTry tried) {
    tried.slot = FreeSlot();
    tried.command = build_(tried, tried.slot);
    if (interruptions_.Cancelled()) return; // during the expression's search
    TRunning running{tried, TProcess(), {tried, system_.LocalTime(), system_.Milliseconds()}};
    listener_.TryStarting(running.tried);
    rules_.Started(running.end.startedAt);
    if (tried.command.refusal) {
        running.end.error = tried.command.refusal;
    } else {
        const TStarted started = system_.Start(tried.command);
        running.process = started.process;
        if (!started.process) running.end.error = started.error;
    }
    listener_.TryStarted(running.tried);
    interruptions_.Poll();
    if (running.process) WaitOpenAfterStart(running.process);
    if (running.process && settings_.WaitClose && settings_.Jobs > 1) {
        running_.push_back(std::move(running));
    } else {
        const bool timedOut =
            running.process && settings_.WaitClose &&
            WaitProcessEnd(system_, running.process, TimeLeft(running)) == WaitTimedOut;
        End(running, timedOut);
    }
    interruptions_.Poll();
    // A negative pause would be an endless sleep; it counts as none.
    if (tried.index == 0 && tried.attempt == 1 && !interruptions_.Skipped() && firstPause_ > 0)
        system_.Sleep(firstPause_);
}

bool TJobRunner::Run(TTry tried) {
    for (;;) {
        // With more than one job, a start waits for a free slot; Skip lets it start at once.
        while (settings_.WaitClose && running_.size() >= size_t(settings_.Jobs) && !StopStarting())
            if (!WaitForOneEnd()) break;
        if (StopStarting()) return false;
        if (tried.attempt > tried.firstAttempt || tried.putBack || retries_.empty()) {
            if (HasRoom()) break;
            continue;
        }
        StartRetries();
    }
    tried.putBack = false;
    Start(std::move(tried));
    return true;
}

void TJobRunner::StartRetries() {
    while (!retries_.empty() && !StopStarting()) {
        TTry retry = std::move(retries_.front());
        retries_.pop_front();
        if (!Run(retry)) retries_.push_front(std::move(retry));
    }
}

void TJobRunner::Finish() {
    const auto startsRetries = [this] {
        return !retries_.empty() && !interruptions_.Stopped() && !halted_();
    };
    while (!interruptions_.Cancelled() && (!running_.empty() || startsRetries())) {
        if (startsRetries())
            StartRetries();
        else if (!WaitForOneEnd())
            break;
    }
    std::vector<TRunning> left = std::exchange(running_, {});
    for (TRunning& running : left)
        End(running, false);
}
