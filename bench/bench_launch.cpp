// Launch overhead under Wine: zemrun.exe over a list of N items of zprobe with
// /W /P /F:0, with its progress window and without it (/G:0), against a bare
// CreateProcessA + WaitForSingleObject loop over the same command lines, the three
// taking turns in the same Wine.
//   bench_launch ZEMRUN ZPROBE ITEMS ROUNDS
// prints one line per round and the medians with their ratio.
//   bench_launch jobs ZEMRUN ZPROBE
// times parallel jobs instead: 64 items of a program that sleeps 200 ms with /N:1 and
// /N:8, and 8 items of one that keeps a core busy for 200 ms with /N:1 and /N:2.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Starts one command and waits for its end; false when it could not start.
bool StartAndWait(std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

double TimeLoop(const std::vector<std::string>& commands, int& failed) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (const std::string& command : commands)
        failed += StartAndWait(command) ? 0 : 1;
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

double TimeZemrun(const std::string& zemrun, const std::string& probe, const std::string& list,
                  const std::string& switches) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    StartAndWait("\"" + zemrun + "\" /L:" + list + " /X:" + probe + " /W /P /F:0" + switches);
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "jobs") {
        CompareJobs(argv[2], argv[3], "ZPROBE_STAY_MS", 64, 8, 6.0);
        CompareJobs(argv[2], argv[3], "ZPROBE_BUSY_MS", 8, 2, 1.6);
        return 0;
    }
    if (argc != 5) {
        std::fprintf(
            stderr,
            "usage: bench_launch ZEMRUN ZPROBE ITEMS ROUNDS | bench_launch jobs ZEMRUN ZPROBE\n");
        return 2;
    }
    const std::string zemrun = argv[1], probe = argv[2];
    const int items = std::atoi(argv[3]), rounds = std::atoi(argv[4]);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string list = std::string(temp) + "zemrun_bench_list.txt";
    std::vector<std::string> commands;
    {
        std::ofstream file(list, std::ios::binary);
        for (int i = 0; i < items; ++i) {
            const std::string item = "item" + std::to_string(i) + ".txt";
            file << item << "\r\n";
            commands.push_back(probe + " " + item); // what zemrun builds without parameters
        }
    }
    std::vector<double> windowTimes, plainTimes, loopTimes;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        loopTimes.push_back(TimeLoop(commands, failed));
        windowTimes.push_back(TimeZemrun(zemrun, probe, list, ""));
        plainTimes.push_back(TimeZemrun(zemrun, probe, list, " /G:0"));
        std::printf("round %d: loop %.3f s, zemrun %.3f s, zemrun /G:0 %.3f s\n", round + 1,
                    loopTimes.back(), windowTimes.back(), plainTimes.back());
    }
    DeleteFileA(list.c_str());
    const double loop = Median(loopTimes), window = Median(windowTimes), plain = Median(plainTimes);
    std::printf("launch overhead, %d items: loop median %.3f s (%.1f ms/start); zemrun with the "
                "progress window "
                "%.3f s (%.1f ms/start), ratio %.3f (target <= 1.10); without it %.3f s, ratio "
                "%.3f; failed loop "
                "starts %d\n",
                items, loop, 1000 * loop / items, window, 1000 * window / items, window / loop,
                plain, plain / loop, failed);
    return 0;
}
