#pragma once
// Those who listen to a run: the count of what is done and failed that the status and the
// exit status tell, the failures that the end of a run shows, and the one listener that
// hands each report to all of them in their order.

#include "zemrunBatchStatus.h"
#include "zemrunTry.h"

#include <cstdint>
#include <functional>
#include <vector>

// The items done and failed, and the run time of the tries that ended, for the estimate.
class TBatchCounter : public TRunListener {
  public:
    void TryEnded(TTryEnd& end) override;
    void StartHeld(const THeldStart& held) override { held_ = held; }
    // The items that the job log has as done, which a resumed run leaves out.
    void LeftOut(int32_t count) { done_ += count; }
    // Failed items that are run again no longer count as failed.
    void Forgive(int32_t count) { failed_ -= count; }
    void Reset() { *this = TBatchCounter(); }
    int32_t Failed() const { return failed_; }
    // The status of a run of that many items, of which so many run at once.
    TBatchStatus Status(int32_t items, int32_t jobs) const;

  private:
    int32_t done_ = 0;   // items whose last try ended, or that the job log has as done
    int32_t failed_ = 0; // items whose last try failed
    int32_t ended_ = 0;  // items whose tries ran, for the estimate
    uint64_t endedMilliseconds_ = 0;
    THeldStart held_;
};

// What a try that failed for good tells the end of the run: timeLimit is the settings'.
TFailedItem FailedItem(const TTryEnd& end, int32_t timeLimit);

// The items whose last try failed, in order of failure, which the end of a run shows.
class TFailuresKept : public TRunListener {
  public:
    explicit TFailuresKept(int32_t timeLimit) : timeLimit_(timeLimit) {}
    void TryEnded(TTryEnd& end) override;
    bool Any() const { return !failed_.empty(); }
    // In list order; none are kept after it.
    std::vector<TFailedItem> TakeInListOrder();

  private:
    int32_t timeLimit_;
    std::vector<TFailedItem> failed_;
};

// Hands every report to the listeners in their order, and after a try's end the status
// that status gives to the status listener, where there is one.
class TRunReport : public TRunListener {
  public:
    TRunReport(std::vector<TRunListener*> listeners, TRunListener* statusListener,
               std::function<TBatchStatus()> status)
        : listeners_(std::move(listeners)), statusListener_(statusListener),
          status_(std::move(status)) {}
    void TryStarting(const TTry& tried) override;
    void TryStarted(const TTry& tried) override;
    void TryEnded(TTryEnd& end) override;
    void StatusChanged(const TBatchStatus& status) override;
    void StartHeld(const THeldStart& held) override;
    void SetStatusListener(TRunListener* listener) { statusListener_ = listener; }
    // The status as it is now, to the status listener.
    void ShowStatus() { StatusChanged(status_()); }

  private:
    std::vector<TRunListener*> listeners_;
    TRunListener* statusListener_;
    std::function<TBatchStatus()> status_;
};
