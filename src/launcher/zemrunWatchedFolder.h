#pragma once
// A watched folder as the source of a run's items: each file that arrives runs once it is
// complete; once its command ended for good it goes to the done or the failed folder; Run
// failed again makes the failed files new to the watch. Its reporter tells the face how the
// watch goes.

#include "../settings/zemrunRunSettings.h"
#include "zemrunFace.h"
#include "zemrunItemSource.h"
#include "zemrunSystem.h"
#include "zemrunTry.h"
#include "zemrunWatch.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// A watched folder is looked at no more often than this, and at least every rescan
// time, should a notification get lost; one that is not there is looked for this often.
constexpr uint64_t WatchLookMilliseconds = 250;
constexpr uint64_t WatchRescanMilliseconds = 30000;
constexpr uint64_t WatchMissingFolderMilliseconds = 2000;
// A watch announces its first failure, and then at most one in this time.
constexpr uint64_t WatchAnnounceMilliseconds = 60000;

// Tells the face how the watch goes: after every try that ended and every look at the
// folder, with the files that failed since and, the first and then at most one a minute,
// a failure to announce at once. With /G:0 nothing tells.
class TWatchReporter : public TRunListener {
  public:
    TWatchReporter(TLauncherSystem& system, TLauncherFace& face, const TOptions& settings,
                   std::function<TBatchStatus()> status);
    void TryEnded(TTryEnd& end) override;
    void StartHeld(const THeldStart&) override { Show(true); }
    void Show(bool folderThere);
    // The failures told so far are run again.
    void FailuresRetried() { failuresRetried_ = true; }
    void Ended();

  private:
    TLauncherSystem& system_;
    TLauncherFace& face_;
    const TOptions& settings_;
    std::function<TBatchStatus()> status_;
    std::vector<TFailedItem> newlyFailed_;
    bool failuresRetried_ = false; // since the last state
    bool announced_ = false;
    uint64_t lastAnnounced_ = 0;
};

class TWatchedFolder : public TItemSource, public TRunListener {
  public:
    // folderThere hears when the folder goes away and when it comes back; retried of the
    // failed items that Run failed again takes.
    TWatchedFolder(TLauncherSystem& system, const TOptions& settings, TWatchReporter& reporter,
                   std::function<void(bool there)> folderThere,
                   std::function<void(int32_t items)> retried);
    TSourced Next(TRunItems& items) override;
    void WaitForMore(uint32_t milliseconds) override;
    void RunFailedAgain() override;
    void RunEnded() override { reporter_.Ended(); }
    int32_t ItemsToRun() const override { return taken_; }
    // The after-care of a file whose command ended for good: it goes aside.
    void TryEnded(TTryEnd& end) override;

  private:
    void Look();
    std::string AsideFolder(const std::string& folder) const;
    bool PutAside(const TFolderEntry& entry) const;

    TLauncherSystem& system_;
    const TOptions& settings_;
    TWatchReporter& reporter_;
    std::function<void(bool)> folderThere_;
    std::function<void(int32_t)> retried_;
    TFolderWatch watch_;
    std::deque<std::string> complete_; // files of the last look not yet given to the run
    int32_t taken_ = 0;                // files given to the run
    const TRunItems* items_ = nullptr;
    bool looked_ = false; // since the last wait
    bool there_ = true;   // the folder, at the last look
    uint64_t lastLook_ = 0;
    struct TFailedFile {
        std::string came, now; // where it came from, and where it is now
    };
    std::vector<TFailedFile> failedFiles_; // since they were last run again
};
