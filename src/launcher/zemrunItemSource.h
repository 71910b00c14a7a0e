#pragma once
// Where the items of a run come from: the list file (or standard input) and the items given
// besides it, the failed items of a run taken again, or a watched folder
// (zemrunWatchedFolder). The run asks its source for the next item and does not know where
// it came from.

#include "../settings/zemrunRunSettings.h"
#include "zemrunBatchStatus.h"
#include "zemrunCommand.h"
#include "zemrunSystem.h"

#include <cstdint>
#include <string>
#include <vector>

// While programs run, a source that has no item yet is waited on at most this long, so that
// their ends are seen.
constexpr uint32_t SourceWaitWhileRunningMilliseconds = 250;

// What a source answers.
struct TSourced {
    enum TKind { Item, Later, NoMore } kind = NoMore;
    int32_t index = 0;   // Item: of the item among the run's items
    int32_t attempt = 1; // the number of its first try in this run
};

class TItemSource {
  public:
    virtual ~TItemSource() = default;
    // The next item, which the source may add to the run's items first; Later: none yet,
    // but more may come after WaitForMore.
    virtual TSourced Next(TRunItems& items) = 0;
    // The command of the item that Next gave took count items from it on.
    virtual void Took(int32_t) {}
    // Waits at most milliseconds for more items.
    virtual void WaitForMore(uint32_t) {}
    // The user asked, while the run goes on, that the failed items run again.
    virtual void RunFailedAgain() {}
    // The run is over.
    virtual void RunEnded() {}
    // The items of the run, as many as are known so far.
    virtual int32_t ItemsToRun() const = 0;
};

// The items of the settings: the list file's lines (standard input's for the list "-"),
// then the names given besides, whose wildcards are expanded; each without the quotes
// around it (UnquoteItem).
constexpr const char* StandardInputList = "-";
void LoadItems(const TOptions& settings, TLauncherSystem& system, TRunItems& items);
// The item without the one pair of double quotes that encloses it, after its outer blanks
// and controls, where it holds no other quote (as Explorer's "Copy as path" writes names);
// any other item as it is.
std::string UnquoteItem(const std::string& item);

// The items of the settings, in their order.
class TListSource : public TItemSource {
  public:
    TListSource(const TOptions& settings, TLauncherSystem& system, TRunItems& items);
    TSourced Next(TRunItems& items) override;
    void Took(int32_t count) override { next_ += count; }
    int32_t ItemsToRun() const override { return count_; }

  private:
    int32_t next_ = 0;
    int32_t count_ = 0;
};

// The failed items of a run once more, in list order, each from the try after its last.
class TFailedAgainSource : public TItemSource {
  public:
    explicit TFailedAgainSource(std::vector<TFailedItem> failed);
    TSourced Next(TRunItems& items) override;
    void Took(int32_t) override { ++next_; }
    int32_t ItemsToRun() const override;

  private:
    std::vector<TFailedItem> failed_;
    size_t next_ = 0;
};
