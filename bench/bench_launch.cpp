// Launch overhead under Wine: zemrun.exe over a list of N items of zprobe with
// /W /P /F:0, with its progress window and without it (/G:0), and its console face
// zemrun.com beside it, against a bare CreateProcessA + WaitForSingleObject loop over the
// same command lines, the four taking turns in every round, so that the machine's drift cancels out
// of each round's ratios.
//   bench_launch ZEMRUN ZPROBE ITEMS ROUNDS [batch]
// prints one line per round, the medians, the median and spread of the per-round
// ratios, and where zemrun's time went per start (ZEMRUN_PHASE_TIMES): in the starts, the
// waits for input idle, the running-program checks, the window's updates and the waits
// for the ends. With batch zemrun also gets /T:60 /U:<folder>, and the loop starts each process
// suspended in a job object of its own with its output redirected to a new file.
//   bench_launch jobs ZEMRUN ZPROBE
// times parallel jobs instead: 64 items of a program that sleeps 200 ms with /N:1 and
// /N:8, and 8 items of one that keeps a core busy for 200 ms with /N:1 and /N:2.
//   bench_launch items ZEMRUN ZPROBE ITEMS PER_COMMAND
// times ITEMS short names with /ITEMS:PER_COMMAND against one item per command.
//   bench_launch watch ZEMRUN ZPROBE FILES IDLE_SECONDS
// drops FILES small files at once into a watched folder (/SETTLE:1) and times the last
// file's arrival to the last start against the same names as a list (zemrun's start to its
// last start), and the processor time of a watch that waits IDLE_SECONDS for nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {
double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Starts one command and waits for its end; false when it could not start. Its standard
// handles are this process's, or with quiet the null device (the console face's status
// line is written all the same, and not seen).
bool StartAndWait(std::string command, bool quiet = false) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE null =
        quiet ? CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_EXISTING, 0, nullptr)
              : INVALID_HANDLE_VALUE;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (null != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = null;
    }
    PROCESS_INFORMATION info{};
    const bool started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, null != INVALID_HANDLE_VALUE, 0,
                       nullptr, nullptr, &startup, &info);
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    if (!started) return false;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

// The same in a kill-on-close job of its own, started suspended, with its output and error
// in a new file and the null device as its input.
bool StartContainedAndWait(std::string command, const std::string& output) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION info{};
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
    CloseHandle(out);
    CloseHandle(in);
    if (!started) return false;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CloseHandle(job);
    return true;
}

double TimeLoop(const std::vector<std::string>& commands, const std::string& outputFolder,
                int& failed) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (size_t i = 0; i < commands.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\%05u.txt", unsigned(i + 1));
        const bool started = outputFolder.empty()
                                 ? StartAndWait(commands[i])
                                 : StartContainedAndWait(commands[i], outputFolder + name);
        failed += started ? 0 : 1;
    }
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

// The milliseconds of each of zemrun's phases, and its starts, summed over its runs.
using TPhaseSums = std::map<std::string, double>;

std::string PhaseTimesFile() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "zemrun_bench_phases.txt";
}

// Adds what zemrun wrote of its last run: "starts <n>", then "<phase> <ms>" pairs.
void AddPhaseTimes(TPhaseSums& sums) {
    std::ifstream file(PhaseTimesFile());
    std::string name;
    double value;
    while (file >> name >> value)
        sums[name] += value;
}

// The phases per start, as "<phase> <ms>, ...".
std::string PhaseText(const TPhaseSums& sums) {
    const auto starts = sums.find("starts");
    if (starts == sums.end() || starts->second <= 0) return "no phase times";
    std::ostringstream text;
    text.precision(1);
    text << std::fixed;
    for (const auto& [name, milliseconds] : sums)
        if (name != "starts")
            text << (text.tellp() > 0 ? ", " : "") << name << " " << milliseconds / starts->second;
    return text.str();
}

double TimeZemrun(const std::string& zemrun, const std::string& probe, const std::string& list,
                  const std::string& switches, bool quiet = false, TPhaseSums* phases = nullptr) {
    SetEnvironmentVariableA("ZEMRUN_PHASE_TIMES", phases ? PhaseTimesFile().c_str() : nullptr);
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    StartAndWait("\"" + zemrun + "\" /L:" + list + " /X:" + probe + " /W /P /F:0" + switches,
                 quiet);
    QueryPerformanceCounter(&to);
    if (phases) AddPhaseTimes(*phases);
    SetEnvironmentVariableA("ZEMRUN_PHASE_TIMES", nullptr);
    return Seconds(from, to);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median of the rounds' ratios of the times to the loop's, and their spread.
std::string RatioText(const std::vector<double>& times, const std::vector<double>& loops) {
    std::vector<double> ratios;
    for (size_t i = 0; i < times.size(); ++i)
        ratios.push_back(times[i] / loops[i]);
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    char text[96];
    std::snprintf(text, sizeof text, "ratio %.3f (rounds %.3f to %.3f)", Median(ratios), *low,
                  *high);
    return text;
}
} // namespace

std::string WriteList(const std::string& name, int items) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string list = std::string(temp) + name;
    std::ofstream file(list, std::ios::binary);
    for (int i = 0; i < items; ++i)
        file << "item" << i << ".txt\r\n";
    return list;
}

// The time of /N:1 against /N:jobs, the program made to sleep or to work by its environment.
void CompareJobs(const std::string& zemrun, const std::string& probe, const char* variable,
                 int items, int jobs, double target) {
    SetEnvironmentVariableA(variable, "200");
    const std::string list = WriteList("zemrun_bench_jobs.txt", items);
    const double one = TimeZemrun(zemrun, probe, list, " /G:0 /N:1");
    const double many = TimeZemrun(zemrun, probe, list, " /G:0 /N:" + std::to_string(jobs));
    DeleteFileA(list.c_str());
    SetEnvironmentVariableA(variable, nullptr);
    std::printf("%d items, %s=200: /N:1 %.2f s, /N:%d %.2f s, ratio %.2f (target >= %.1f)\n", items,
                variable, one, jobs, many, one / many, target);
}

// The time of a run whose room rules never hold a start back against the same run without
// them, the rounds taking turns: the rules may cost nothing where they do not bite.
void CompareRoomRules(const std::string& zemrun, const std::string& probe, int items, int rounds) {
    const std::string list = WriteList("zemrun_bench_rules.txt", items);
    std::vector<double> without, with, ratios;
    for (int round = 0; round < rounds; ++round) {
        without.push_back(TimeZemrun(zemrun, probe, list, " /G:0 /N:2"));
        with.push_back(TimeZemrun(zemrun, probe, list, " /G:0 /N:2 /MEMFREE:1M /LOAD:100"));
        ratios.push_back(with.back() / without.back());
    }
    DeleteFileA(list.c_str());
    std::printf("%d items, /N:2: without rules %.3f s, with /MEMFREE:1M /LOAD:100 %.3f s "
                "(medians of %d rounds), ratio %.3f (target <= 1.02)\n",
                items, Median(without), Median(with), rounds, Median(ratios));
}

// The time of one item per command against several; the ratio should come near that of
// the process starts.
void CompareItemsPerCommand(const std::string& zemrun, const std::string& probe, int items,
                            int perCommand) {
    const std::string list = WriteList("zemrun_bench_items.txt", items);
    const double one = TimeZemrun(zemrun, probe, list, " /G:0");
    const double several =
        TimeZemrun(zemrun, probe, list, " /G:0 /ITEMS:" + std::to_string(perCommand));
    DeleteFileA(list.c_str());
    const int commands = (items + perCommand - 1) / perCommand;
    std::printf("%d items: one per command %.2f s (%d starts), /ITEMS:%d %.2f s (%d starts), "
                "ratio %.1f (starts ratio %.1f)\n",
                items, one, items, perCommand, several, commands, one / several,
                double(items) / commands);
}

// Milliseconds of the day of a local time as the job log and GetLocalTime give it.
double DayMilliseconds(int hour, int minute, int second, int milliseconds) {
    return ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + milliseconds;
}

double NowDayMilliseconds() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DayMilliseconds(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

// The start time of the job log's last line.
double LastStart(const std::string& jobLog) {
    std::ifstream file(jobLog, std::ios::binary);
    std::string line, last;
    while (std::getline(file, line))
        if (!line.empty() && line != "\r") last = line;
    int hour = 0, minute = 0, second = 0, milliseconds = 0;
    const size_t tab = last.find('\t');
    if (tab != std::string::npos)
        std::sscanf(last.c_str() + tab + 1, "%*d-%*d-%*dT%d:%d:%d.%d", &hour, &minute, &second,
                    &milliseconds);
    return DayMilliseconds(hour, minute, second, milliseconds);
}

// The job log's lines after its header.
size_t JobLogLineCount(const std::string& jobLog) {
    std::ifstream file(jobLog, std::ios::binary);
    std::string line;
    size_t lines = 0;
    while (std::getline(file, line))
        ++lines;
    return lines > 0 ? lines - 1 : 0;
}

// A watch of the folder started, asked to stop once meanwhile() returns, waited for.
void Watch(const std::string& zemrun, const std::string& probe, const std::string& folder,
           const std::string& jobLog, const std::function<void()>& meanwhile) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string command =
        // The waits of the list's run (TimeZemrun), for a fair comparison.
        "\"" + zemrun + "\" /WATCH:" + folder + " /SETTLE:1 /G:0 /W /F:0 /K:" + jobLog +
        " /X:" + probe;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return;
    meanwhile();
    StartAndWait("\"" + zemrun + "\" /UNWATCH:" + folder);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

void CompareWatch(const std::string& zemrun, const std::string& probe, int files, int idleSeconds) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "zemrun_bench_watch";
    const std::string jobLog = std::string(temp) + "zemrun_bench_watch.log";
    CreateDirectoryA(folder.c_str(), nullptr);
    // Idle: the processor time of a watch that waits that long, less that of one that stops
    // soon (its start and end), as zemrun reports them.
    DeleteFileA(jobLog.c_str());
    const auto watchCpu = [&](int seconds) {
        TPhaseSums times;
        SetEnvironmentVariableA("ZEMRUN_PHASE_TIMES", PhaseTimesFile().c_str());
        Watch(zemrun, probe, folder, jobLog, [&] { Sleep(DWORD(seconds) * 1000); });
        SetEnvironmentVariableA("ZEMRUN_PHASE_TIMES", nullptr);
        AddPhaseTimes(times);
        return times["cpu"];
    };
    const double idleCpu = watchCpu(idleSeconds), shortCpu = watchCpu(2);
    // The files dropped at once, as a copy of many small files does.
    DeleteFileA(jobLog.c_str());
    double arrived = 0;
    Watch(zemrun, probe, folder, jobLog, [&] {
        Sleep(2000);
        std::vector<std::string> names;
        for (int i = 0; i < files; ++i) {
            names.push_back(folder + "\\file" + std::to_string(i) + ".txt");
            std::ofstream(names.back(), std::ios::binary) << i;
        }
        arrived = NowDayMilliseconds();
        while (LastStart(jobLog) < arrived || JobLogLineCount(jobLog) < size_t(files))
            Sleep(200);
        for (const std::string& name : names)
            DeleteFileA(name.c_str());
    });
    const double watched = (LastStart(jobLog) - arrived) / 1000.0;
    // The same names as a list.
    DeleteFileA(jobLog.c_str());
    const std::string list = WriteList("zemrun_bench_watch_list.txt", files);
    const double started = NowDayMilliseconds();
    TimeZemrun(zemrun, probe, list, " /G:0 /K:" + jobLog);
    const double listed = (LastStart(jobLog) - started) / 1000.0;
    DeleteFileA(list.c_str());
    DeleteFileA(jobLog.c_str());
    RemoveDirectoryA(folder.c_str());
    // Both include the start and the end of zemrun, which vary by some milliseconds.
    std::printf("%d files dropped into a watched folder (/SETTLE:1): last arrival to last start "
                "%.2f s, the same names as a list %.2f s, ratio %.2f; a watch idle for %d s used "
                "%.3f s of processor time, one of 2 s %.3f s: %.3f s more (target < 0.1 s)\n",
                files, watched, listed, watched / listed, idleSeconds, idleCpu / 1000.0,
                shortCpu / 1000.0, (idleCpu - shortCpu) / 1000.0);
}

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "watch") {
        CompareWatch(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
        return 0;
    }
    if (argc == 6 && std::string(argv[1]) == "items") {
        CompareItemsPerCommand(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
        return 0;
    }
    if (argc == 6 && std::string(argv[1]) == "rules") {
        CompareRoomRules(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "jobs") {
        CompareJobs(argv[2], argv[3], "ZPROBE_STAY_MS", 64, 8, 6.0);
        CompareJobs(argv[2], argv[3], "ZPROBE_BUSY_MS", 8, 2, 1.6);
        return 0;
    }
    const bool batch = argc == 6 && std::string(argv[5]) == "batch";
    if (argc != 5 && !batch) {
        std::fprintf(stderr, "usage: bench_launch ZEMRUN ZPROBE ITEMS ROUNDS [batch] | "
                             "bench_launch jobs ZEMRUN ZPROBE | bench_launch items ZEMRUN ZPROBE "
                             "ITEMS PER_COMMAND\n");
        return 2;
    }
    const std::string zemrun = argv[1], probe = argv[2];
    const int items = std::atoi(argv[3]), rounds = std::atoi(argv[4]);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string list = std::string(temp) + "zemrun_bench_list.txt";
    std::string outputFolder, switches;
    if (batch) {
        outputFolder = std::string(temp) + "zemrun_bench_output";
        CreateDirectoryA(outputFolder.c_str(), nullptr);
        switches = " /T:60 /U:" + outputFolder;
    }
    std::vector<std::string> commands;
    {
        std::ofstream file(list, std::ios::binary);
        for (int i = 0; i < items; ++i) {
            const std::string item = "item" + std::to_string(i) + ".txt";
            file << item << "\r\n";
            commands.push_back(probe + " " + item); // what zemrun builds without parameters
        }
    }
    const std::string console = zemrun.substr(0, zemrun.size() - 4) + ".com";
    std::vector<double> windowTimes, plainTimes, consoleTimes, loopTimes;
    TPhaseSums windowPhases, plainPhases, consolePhases;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        loopTimes.push_back(TimeLoop(commands, outputFolder, failed));
        windowTimes.push_back(TimeZemrun(zemrun, probe, list, switches, false, &windowPhases));
        plainTimes.push_back(
            TimeZemrun(zemrun, probe, list, switches + " /G:0", false, &plainPhases));
        consoleTimes.push_back(TimeZemrun(console, probe, list, switches, true, &consolePhases));
        std::printf("round %d: loop %.3f s, zemrun %.3f s, zemrun /G:0 %.3f s, zemrun.com %.3f s\n",
                    round + 1, loopTimes.back(), windowTimes.back(), plainTimes.back(),
                    consoleTimes.back());
    }
    DeleteFileA(list.c_str());
    const double loop = Median(loopTimes), window = Median(windowTimes), plain = Median(plainTimes);
    std::printf("%s, %d items: loop median %.3f s (%.1f ms/start); zemrun with the progress "
                "window %.3f s (%.1f ms/start), %s, target <= 1.10; without it %.3f s, %s; "
                "the console face %.3f s, %s; failed loop starts %d\n",
                batch ? "batch overhead (/T:60 /U:)" : "launch overhead", items, loop,
                1000 * loop / items, window, 1000 * window / items,
                RatioText(windowTimes, loopTimes).c_str(), plain,
                RatioText(plainTimes, loopTimes).c_str(), Median(consoleTimes),
                RatioText(consoleTimes, loopTimes).c_str(), failed);
    std::printf("zemrun's time per start in ms, with the window: %s; /G:0: %s; zemrun.com: %s\n",
                PhaseText(windowPhases).c_str(), PhaseText(plainPhases).c_str(),
                PhaseText(consolePhases).c_str());
    DeleteFileA(PhaseTimesFile().c_str());
    return 0;
}
