#pragma once
// One try of a command and how it ended, as the job runner tells those who listen to the
// run: the job log, the batch's status, the failures summary, a watch's after-care and the
// face.

#include "../foundation/vxLocalTime.h"
#include "zemrunBatchStatus.h"
#include "zemrunCommand.h"

#include <cstdint>
#include <string>

struct TTry {
    int32_t index = 0;        // of its first item among the run's items, from 0
    int32_t count = 1;        // the items that its command takes, from index on
    int32_t attempt = 1;      // 1 for the first try
    int32_t firstAttempt = 1; // the number of the first try in this run of the items
    std::string items;        // the items as the job log names them
    int32_t slot = 1;         // the job slot it runs in, from 1
    bool putBack = false;     // ended to free memory once, and to run again at once
    TStartCommand command;    // as built for its slot, outputs included
};

struct TTryEnd {
    TTry tried;
    TLocalTime startTime;
    uint64_t startedAt = 0; // on the system's clock
    uint64_t runTime = 0;   // milliseconds from its start to its end
    bool waited = false;    // its end was waited for and came
    uint32_t exitCode = 0;  // where waited
    // The start's error, TimeLimitError or UnpassableItemError; a listener may add its own.
    uint32_t error = 0;
    bool succeeded = false;  // as its start and end decide
    bool triedAgain = false; // a retry follows, or the try itself again (put back)
};

// What listens to the run, in the order in which the run goes.
class TRunListener {
  public:
    virtual ~TRunListener() = default;
    // Before the program starts, and once it started (or its start failed).
    virtual void TryStarting(const TTry&) {}
    virtual void TryStarted(const TTry&) {}
    // Once the run is done with the try. A listener may tell of a failure of its own
    // (a watched file that could not be moved): the error of the end for those after it.
    virtual void TryEnded(TTryEnd&) {}
    // The batch's status after a change.
    virtual void StatusChanged(const TBatchStatus&) {}
    // A rule holds the next start back until the machine has room, or no longer does.
    virtual void StartHeld(const THeldStart&) {}
};
