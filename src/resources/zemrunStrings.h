/* The built-in English texts, shared by the resource script's string table and by the
   portable build's table. Plain C preprocessor only: the resource compiler reads it. */
#ifndef ZEMRUN_STRINGS_H
#define ZEMRUN_STRINGS_H

#include "zemrunIds.h"
#include "zemrunSwitchForms.h"

/* X-macro over every text: X(id, text). */
#define ZEMRUN_STRINGS(X)                                                                          \
    X(IDS_CANCEL, "Cancel")                                                                        \
    X(IDS_SKIP, "Skip")                                                                            \
    X(IDS_USAGE, "Usage: zemrun.exe <filename> or \nzemrun.exe" ZEMRUN_SWITCH_FORMS(               \
                     ZEMRUN_SWITCH_FORM_TEXT) "\nSee readme.txt for more information")             \
    X(IDS_UNKNOWN_ENCODING, "The list encoding is not known on this system:")                      \
    X(IDS_ENCODING_NAMES, "Name OEM, ANSI, UTF-8, UTF-16 or the number of a code page.")           \
    X(IDS_NO_STANDARD_INPUT, "/L:- reads the list from standard input, and nothing comes there.")  \
    X(IDS_LIST, "List")                                                                            \
    X(IDS_EXECUTABLE, "Executable")                                                                \
    X(IDS_BEGIN_PARAMETERS, "Begin parameters")                                                    \
    X(IDS_END_PARAMETERS, "End Parameters")                                                        \
    X(IDS_REGEXP, "RegExp")                                                                        \
    X(IDS_WAIT_OPEN, "Wait open")                                                                  \
    X(IDS_WAIT_CLOSE, "Wait close")                                                                \
    X(IDS_FIRST_PAUSE, "Pause after first file")                                                   \
    X(IDS_MILLISECONDS, "ms")                                                                      \
    X(IDS_GUI_MODE, "GUI mode")                                                                    \
    X(IDS_EXECUTION_TYPE, "Execution type")                                                        \
    X(IDS_WINDOW_MODE, "Window mode")                                                              \
    X(IDS_PRIORITY, "Priority")                                                                    \
    X(IDS_PROJECTS, "Projects")                                                                    \
    X(IDS_LOAD, "Load")                                                                            \
    X(IDS_SAVE, "Save")                                                                            \
    X(IDS_LANGUAGE, "Language")                                                                    \
    X(IDS_PARALLEL, "Parallel")                                                                    \
    X(IDS_JOB_LOG, "Job log")                                                                      \
    X(IDS_RESUME, "Resume")                                                                        \
    X(IDS_PREVIEW, "Preview")                                                                      \
    X(IDS_LIST_ENCODING, "List encoding")                                                          \
    X(IDS_DROPPED_ITEMS, "Dropped items:")                                                         \
    X(IDS_UNATTENDED, "Unattended batches")                                                        \
    X(IDS_TIME_LIMIT, "Time limit")                                                                \
    X(IDS_SECONDS, "s")                                                                            \
    X(IDS_RETRIES, "Retries")                                                                      \
    X(IDS_COUNT_FAILURES, "Count failures in the exit status")                                     \
    X(IDS_STOP_AFTER, "Stop after")                                                                \
    X(IDS_FAILURES, "failures")                                                                    \
    X(IDS_OUTPUT_FOLDER, "Output folder")                                                          \
    X(IDS_HALT, "Failures in the exit status")                                                     \
    X(IDS_ITEMS_PER_COMMAND, "Items per command")                                                  \
    X(IDS_BATCH_DONE, "%1 of %2 done, %3 failed")                                                  \
    X(IDS_BATCH_LEFT, ", about %1 left")                                                           \
    X(IDS_SECONDS_LEFT, "%1 seconds")                                                              \
    X(IDS_MINUTES_LEFT, "%1 minutes")                                                              \
    X(IDS_HOURS_LEFT, "%1 hours")                                                                  \
    X(IDS_ENDED_AFTER_TIME_LIMIT, "Ended after the time limit of %1 s")                            \
    X(IDS_EXIT_CODE, "Exit code %1")                                                               \
    X(IDS_SHOW_FAILURES, "Show what failed at the end")                                            \
    X(IDS_WATCH_FOLDER, "Watched folder")                                                          \
    X(IDS_SETTLE_TIME, "Settle time")                                                              \
    X(IDS_MATCH, "Watched names")                                                                  \
    X(IDS_SUBFOLDERS, "Subfolders")                                                                \
    X(IDS_DONE_FOLDER, "Done folder")                                                              \
    X(IDS_FAILED_FOLDER, "Failed folder")                                                          \
    X(IDS_WATCHING, "Watching %1: %2 done, %3 failed")                                             \
    X(IDS_WAITING_FOR_FOLDER, "Waiting for %1 to be there: %2 done, %3 failed")                    \
    X(IDS_OPEN_FOLDER, "Open folder")                                                              \
    X(IDS_OPEN_JOB_LOG, "Open job log")                                                            \
    X(IDS_STOP_WATCHING, "Stop watching")                                                          \
    X(IDS_WATCH_FAILED, "A file of the watched folder failed: %1")                                 \
    X(IDS_SHOW_WHAT_FAILED, "Show what failed")                                                    \
    X(IDS_ALREADY_WATCHED, "%1 is watched already")                                                \
    X(IDS_NOT_A_FOLDER, "%1 is a file, not a folder")                                              \
    X(IDS_FOLDER_GONE, "%1 is not there; the watch waits for it")                                  \
    X(IDS_FOLDER_BACK, "%1 is there again; the watch goes on")                                     \
    X(IDS_CMD_CANNOT_PASS, "Holds a line break, which cmd cannot pass on to the script")           \
    X(IDS_WHEN_BUSY, "When the machine is busy")                                                   \
    X(IDS_MEMFREE, "Free memory")                                                                  \
    X(IDS_LOAD_BELOW, "Processors busy below")                                                     \
    X(IDS_DELAY, "Between starts")                                                                 \
    X(IDS_ENVIRONMENT, "Environment")                                                              \
    X(IDS_WAITING_MEMORY, "waiting for memory: %1 free of %2 asked")                               \
    X(IDS_WAITING_LOAD, "waiting for the processors: %1% busy, below %2% asked")                   \
    X(IDS_WAITING_DELAY, "waiting %1 s between starts")                                            \
    X(IDS_SCHEDULE_SET, "%1 runs by itself: %2")                                                   \
    X(IDS_SCHEDULE_REMOVED, "%1 runs by itself no more")                                           \
    X(IDS_SCHEDULE_NONE, "%1 does not run by itself")                                              \
    X(IDS_SCHEDULE_GONE, "A task runs %1 by itself (%2), but there is no such project; "           \
                         "/SCHEDULE:off takes the task away")                                      \
    X(IDS_SCHEDULE_BAD, "Not a schedule: %1. Write daily@HH:MM, weekly:mon,fri@HH:MM, "            \
                        "hourly:<hours>, logon or off")                                            \
    X(IDS_SCHEDULE_NO_PROJECT, "There is no project %1")                                           \
    X(IDS_SCHEDULE_NEEDS_PROJECT, "/SCHEDULE needs its project: /J:<project>")                     \
    X(IDS_SCHEDULE_QUOTE, "%1 holds a double quote, which no command line can pass in /J:")        \
    X(IDS_SCHEDULE_VARIABLE, "%1 holds two percent signs, between which the Task Scheduler puts "  \
                             "a variable's value")                                                 \
    X(IDS_SCHEDULE_FAILED, "The Task Scheduler does not take the task of %1: %2")                  \
    X(IDS_RUN_BY_ITSELF, "Run by itself")                                                          \
    X(IDS_NOT_BY_ITSELF, "Not by itself")                                                          \
    X(IDS_EVERY_DAY_AT, "Every day")                                                               \
    X(IDS_EVERY_WEEK_ON, "Every week on")                                                          \
    X(IDS_EVERY, "Every")                                                                          \
    X(IDS_HOURS, "hours")                                                                          \
    X(IDS_AT_LOGON, "When I log on")                                                               \
    X(IDS_AT, "at")                                                                                \
    X(IDS_MONDAY, "Mo")                                                                            \
    X(IDS_TUESDAY, "Tu")                                                                           \
    X(IDS_WEDNESDAY, "We")                                                                         \
    X(IDS_THURSDAY, "Th")                                                                          \
    X(IDS_FRIDAY, "Fr")                                                                            \
    X(IDS_SATURDAY, "Sa")                                                                          \
    X(IDS_SUNDAY, "Su")                                                                            \
    X(IDS_SAVE_AS_PROJECT, "Save as project")                                                      \
    X(IDS_PROJECT_NAME, "Name")                                                                    \
    X(IDS_SAVE_TO_PROJECT, "Save to project...")                                                   \
    X(IDS_SELECT_ALL, "Select all")                                                                \
    X(IDS_CLEAR_ALL, "Clear all")                                                                  \
    X(IDS_WATCH_AT_LOGON, "Watch this folder when I log on")                                       \
    X(IDS_ADD_TO_SEND_TO, "Add to the Send To menu")                                               \
    X(IDS_COMMANDS_TO_RUN, "Commands to run")                                                      \
    X(IDS_COPY, "Copy")                                                                            \
    X(IDS_RUN, "Run")                                                                              \
    X(IDS_WHAT_FAILED, "What failed")                                                              \
    X(IDS_RUN_FAILED_AGAIN, "Run failed again")                                                    \
    X(IDS_OPEN_OUTPUT, "Open output")                                                              \
    X(IDS_COPY_LIST, "Copy list")                                                                  \
    X(IDS_CLOSE, "Close")                                                                          \
    X(IDS_COLUMN_ITEM, "Item")                                                                     \
    X(IDS_COLUMN_TRIES, "Tries")                                                                   \
    X(IDS_COLUMN_REASON, "Reason")                                                                 \
    X(IDS_COLUMN_OUTPUT, "Output file")                                                            \
    X(IDS_GUI_NONE, "No progress dialog")                                                          \
    X(IDS_GUI_MORE_THAN_ONE, "No progress dialog if only one file in list")                        \
    X(IDS_GUI_WITH_WAIT_CLOSE, "Progress dialog only if /P key used")                              \
    X(IDS_GUI_ALWAYS, "Show progress dialog anyway")                                               \
    X(IDS_START_CREATE_PROCESS, "CreateProcess")                                                   \
    X(IDS_START_SHELL_EXECUTE, "ShellExecute")                                                     \
    X(IDS_WINDOW_NORMAL, "Normal")                                                                 \
    X(IDS_WINDOW_MINIMIZED, "Minimized")                                                           \
    X(IDS_WINDOW_MAXIMIZED, "Maximized")                                                           \
    X(IDS_PRIORITY_NORMAL, "Normal")                                                               \
    X(IDS_PRIORITY_IDLE, "Idle")                                                                   \
    X(IDS_PRIORITY_HIGH, "High")                                                                   \
    X(IDS_PRIORITY_REALTIME, "RealTime")

#endif
