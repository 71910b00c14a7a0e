#include "zemrunReporters.h"

#include <algorithm>
#include <utility>

void TBatchCounter::TryEnded(TTryEnd& end) {
    endedMilliseconds_ += end.runTime;
    if (end.triedAgain) return;
    if (!end.succeeded) failed_ += end.tried.count;
    done_ += end.tried.count;
    ended_ += end.tried.count;
}

TBatchStatus TBatchCounter::Status(int32_t items, int32_t jobs) const {
    return {done_, items, failed_,
            EstimateSecondsLeft(endedMilliseconds_, ended_, items - done_, jobs), held_};
}

TFailedItem FailedItem(const TTryEnd& end, int32_t timeLimit) {
    const TTry& tried = end.tried;
    return {tried.index + 1,
            tried.count,
            tried.items,
            tried.attempt,
            end.error,
            end.exitCode,
            tried.command.keepOutput ? std::string() : tried.command.output,
            timeLimit};
}

void TFailuresKept::TryEnded(TTryEnd& end) {
    if (!end.succeeded && !end.triedAgain) failed_.push_back(FailedItem(end, timeLimit_));
}

std::vector<TFailedItem> TFailuresKept::TakeInListOrder() {
    std::vector<TFailedItem> failed = std::exchange(failed_, {});
    std::sort(failed.begin(), failed.end(),
              [](const TFailedItem& a, const TFailedItem& b) { return a.number < b.number; });
    return failed;
}

void TRunReport::TryStarting(const TTry& tried) {
    for (TRunListener* listener : listeners_)
        listener->TryStarting(tried);
}

void TRunReport::TryStarted(const TTry& tried) {
    for (TRunListener* listener : listeners_)
        listener->TryStarted(tried);
}

void TRunReport::TryEnded(TTryEnd& end) {
    for (TRunListener* listener : listeners_)
        listener->TryEnded(end);
    ShowStatus();
}

void TRunReport::StatusChanged(const TBatchStatus& status) {
    if (statusListener_) statusListener_->StatusChanged(status);
}

void TRunReport::StartHeld(const THeldStart& held) {
    for (TRunListener* listener : listeners_)
        listener->StartHeld(held);
    ShowStatus();
}
