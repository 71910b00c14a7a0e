#pragma once
// How far a batch is, as the progress window tells it, and the exit status that reports
// a batch to the script or scheduled task that started it.

#include <cstdint>
#include <string>

struct TBatchStatus {
    int32_t done = 0;         // items whose last try has ended, or that a resumed run left out
    int32_t all = 0;          // items of the run
    int32_t failed = 0;       // items whose last try failed
    int64_t secondsLeft = -1; // the estimate; less than 0 until an item has ended
};

// The run time still to come: the mean time of the items that ended, for every item not
// yet done, shared among the programs run at once.
int64_t EstimateSecondsLeft(uint64_t endedMilliseconds, int32_t ended, int32_t remaining,
                            int32_t jobs);

// "3 of 10 done, 1 failed, about 2 minutes left" in the texts of the language file: the
// time in seconds under a minute, in minutes under two hours, else in hours.
std::string BatchStatusText(const TBatchStatus& status, const std::string& languageFile);

// The exit status of a batch that counts failures: 0 when every item succeeded, else the
// number of failed items up to MaxCountedFailures, above that one more.
constexpr uint32_t MaxCountedFailures = 253;
uint32_t BatchExitStatus(int32_t failed);
// The exit status of a batch that counts failures when the run could not be done.
constexpr uint32_t RunNotDoneStatus = 255;
