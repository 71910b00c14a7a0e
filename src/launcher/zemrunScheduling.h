#pragma once
// What /SCHEDULE asks of a project (/J:): its task is registered, replaced or removed in the
// Task Scheduler, or its schedule is told.

#include "../foundation/vxLocalTime.h"
#include "../foundation/vxTaskScheduler.h"
#include "zemrunFace.h"
#include "zemrunRequest.h"

#include <cstdint>
#include <string>

// Where and for whom the task runs the project: the window face's program (zemrun.exe,
// also where zemrun.com is asked), the user of a logon trigger, and now.
struct TScheduleContext {
    std::string program;
    std::string user;
    TLocalTime now;
};

// The exit status: 0 when the task is registered, removed or told; 1 when the project runs
// by itself not at all (the schedule told); else the failure's (the system's error, or the
// parameter's 87), which is 255 where the status counts failures (/H).
uint32_t ScheduleProject(TvxTaskStore& tasks, TLauncherFace& face, const TRunRequest& request,
                         const TScheduleContext& context);
