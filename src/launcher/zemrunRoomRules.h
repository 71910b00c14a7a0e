#pragma once
// When the machine has room for one more program: at least the delay since the last start,
// and where a program runs already, enough free memory and processors less busy than the
// settings ask. With nothing running only the delay holds a start back, so that a run
// never stalls on its own.

#include "../settings/zemrunRunSettings.h"
#include "zemrunBatchStatus.h"
#include "zemrunSystem.h"

#include <cstdint>
#include <optional>

class TRoomRules {
  public:
    TRoomRules(TLauncherSystem& system, const TOptions& settings)
        : system_(system), settings_(settings) {}
    // What holds the next start back now; None where it may be made.
    THeldStart Hold(bool anyRunning);
    void Started(uint64_t at) { lastStart_ = at; }
    // Whether free memory has fallen under half of what is asked, so that a program is to
    // end to make room.
    bool MemoryShort();
    bool WatchesMemory() const { return settings_.MemFree > 0; }

  private:
    TMachine Machine();

    // Asking the system costs more than a start where programs end quickly (Wine reads a
    // file for the free memory): the machine is looked at no more often than this.
    static constexpr uint64_t LookMilliseconds = 100;
    TLauncherSystem& system_;
    const TOptions& settings_;
    std::optional<uint64_t> lastStart_;
    std::optional<uint64_t> lookedAt_;
    TMachine machine_;
};
