#pragma once
// When a project runs by itself: the forms of /SCHEDULE:, and the task that the Task
// Scheduler keeps for it in its folder \Zemrun\, written and read back as task XML.

#include "../foundation/vxLocalTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TSchedule {
    // Other: a task with a trigger that Zemrun does not make, or none it can read (one made
    // in the Task Scheduler, say).
    enum TKind { Off, Daily, Weekly, Hourly, Logon, Other } kind = Off;
    int32_t hour = 0, minute = 0; // of a daily or weekly start
    uint8_t days = 0;             // of a weekly one: bit 0 Monday ... bit 6 Sunday
    int32_t hours = 0;            // every so many hours, 1..MaxScheduleHours
    friend bool operator==(const TSchedule&, const TSchedule&) = default;
};
constexpr int32_t MaxScheduleHours = 744; // 31 days, the longest repetition there is

// "daily@02:00", "weekly:mon,fri@06:30", "hourly:3", "logon" or "off", in any case; nothing
// for a text that is no such form (25:00, hourly:0, a day that does not exist).
std::optional<TSchedule> ReadSchedule(std::string_view text);
std::string ScheduleText(const TSchedule& schedule);

// The folder of the Task Scheduler that holds Zemrun's tasks.
constexpr const char* TaskFolderName = "Zemrun";
// The program that a task starts: the window face, zemrun.exe beside zemrun.com.
std::string TaskProgram(const std::string& program);

// The task's name in the folder \Zemrun\. The Task Scheduler keeps a task as a file of
// its name, so the project's name is made one as for its shortcuts.
std::string TaskName(const std::string& project);
// What keeps a task from naming the project: a double quote ends the switch for every
// reader, and between two percent signs the Task Scheduler puts the value of a variable of
// that name when it starts the task, as it finds one there (there is no escape for it).
enum class TNameInTask { Passes, HoldsQuote, HoldsVariable };
TNameInTask NameInTask(std::string_view project);
// What the task runs: the window face with the project and a status that counts failures,
// quoted as the started program's C runtime reads it back.
std::string TaskArguments(const std::string& project);
// The task XML: the program, the arguments, the trigger of the schedule from the first
// such time after now (a logon one for the user, DOMAIN\name), started when it is missed
// and never stopped by the Task Scheduler (the project's own time limit ends programs).
// Every text is escaped once, as XML.
std::string TaskXml(const std::string& project, const std::string& program,
                    const TSchedule& schedule, const std::string& user, const TLocalTime& now);
// The schedule that a task's XML holds, Other where it holds none of Zemrun's forms; the
// project of its arguments where asked.
TSchedule ScheduleOfTaskXml(std::string_view xml, std::string* project = nullptr);
