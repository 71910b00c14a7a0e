#pragma once
// Where a run's time goes, phase by phase, for the launch benchmark: the starts, the
// waits for input idle, the running-program checks, the progress window's updates (the
// main thread's and its own thread's) and the waits for the ends; and the processor time
// of the whole run. Written where the
// environment variable ZEMRUN_PHASE_TIMES names a file; without it nothing is written.

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>

enum class TPhase { Start, InputIdle, RunningCheck, WindowUpdates, EndWait, Count };

class TPhaseTimes {
  public:
    // Adds the time from a QueryPerformanceCounter reading until now; any thread may.
    void AddSince(TPhase phase, int64_t from);
    void CountStart() { ++starts_; }
    // One line: the number of starts, then each phase's total in milliseconds.
    void WriteWhereAsked() const;

  private:
    std::array<std::atomic<int64_t>, size_t(TPhase::Count)> ticks_{};
    std::atomic<int64_t> starts_ = 0;
};

// A QueryPerformanceCounter reading.
int64_t PerformanceCounter();

// Adds the time of its scope to a phase.
class TPhaseClock {
  public:
    TPhaseClock(TPhaseTimes& times, TPhase phase)
        : times_(times), phase_(phase), from_(PerformanceCounter()) {}
    ~TPhaseClock() { times_.AddSince(phase_, from_); }
    TPhaseClock(const TPhaseClock&) = delete;
    TPhaseClock& operator=(const TPhaseClock&) = delete;

  private:
    TPhaseTimes& times_;
    TPhase phase_;
    int64_t from_;
};
