#pragma once
// How far a batch is, as the progress window tells it, and the exit status that reports
// a batch to the script or scheduled task that started it.

#include <cstdint>
#include <string>

// What holds the next start back until the machine has room: too little free memory
// (bytes there and asked), too busy processors (percent busy and asked), or the delay
// between starts (milliseconds left and asked).
struct THeldStart {
    enum TRule { None, Memory, Load, Delay } rule = None;
    uint64_t have = 0, asked = 0;
    friend bool operator==(const THeldStart&, const THeldStart&) = default;
};

struct TBatchStatus {
    int32_t done = 0;         // items whose last try has ended, or that a resumed run left out
    int32_t all = 0;          // items of the run
    int32_t failed = 0;       // items whose last try failed
    int64_t secondsLeft = -1; // the estimate; less than 0 until an item has ended
    THeldStart held;          // why nothing starts now, where a rule holds it back
};

// "1.2 GB", "512 MB": a size as the status tells it.
std::string MemoryText(uint64_t bytes);

// The run time still to come: the mean time of the items that ended, for every item not
// yet done, shared among the programs run at once.
int64_t EstimateSecondsLeft(uint64_t endedMilliseconds, int32_t ended, int32_t remaining,
                            int32_t jobs);

// "3 of 10 done, 1 failed, about 2 minutes left" in the texts of the language file: the
// time in seconds under a minute, in minutes under two hours, else in hours.
std::string BatchStatusText(const TBatchStatus& status, const std::string& languageFile);
// One of the watch's texts about a file or folder (IDS_WATCH_FAILED, IDS_FOLDER_GONE ...),
// with the name filled in.
std::string WatchText(int32_t textId, const std::string& name, const std::string& languageFile);
// "Watching <folder>: <done> done, <failed> failed", or that the folder is waited for.
std::string WatchStatusText(const std::string& folder, const TBatchStatus& status, bool folderThere,
                            const std::string& languageFile);

// What /SCHEDULE did or why not, in the texts of the language file; systemText tells the
// Task Scheduler's reason of a failure.
struct TScheduleNotice;
std::string ScheduleNoticeText(const TScheduleNotice& notice, const std::string& systemText,
                               const std::string& languageFile);

// The system's time-out error: the job log's error of a program that its time limit ended.
constexpr uint32_t TimeLimitError = 1460;
// The system's "not enough memory": the job log's error of a program that was ended to free
// memory and put back, to run again.
constexpr uint32_t MemoryFreedError = 8;

// An item whose last try failed, as the end of the run tells it.
struct TFailedItem {
    int32_t number = 0; // its place in the list, from 1
    int32_t count = 1;  // the items that its command took, from there on
    std::string item;   // the items its command took, blank-separated where several
    int32_t tries = 1;
    uint32_t error = 0;    // the system's error number of a start that failed, or TimeLimitError
    uint32_t exitCode = 0; // else the exit code of its end
    std::string output;    // the file of its output, where output is kept
    int32_t timeLimit = 0; // the seconds a try may run
};

// Why it failed, in words: systemText (the system's message for its error) for a start
// that failed, "Ended after the time limit of <n> s", or "Exit code <n>", the latter with
// its hexadecimal form where it looks like an NTSTATUS ("Exit code 3221225477 (0xC0000005)").
std::string FailureReason(const TFailedItem& failed, const std::string& systemText,
                          const std::string& languageFile);

// The exit status of a batch that counts failures: 0 when every item succeeded, else the
// number of failed items up to MaxCountedFailures, above that one more.
constexpr uint32_t MaxCountedFailures = 253;
uint32_t BatchExitStatus(int32_t failed);
// The exit status of a batch that counts failures when the run could not be done.
constexpr uint32_t RunNotDoneStatus = 255;
