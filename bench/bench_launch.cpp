// Launch overhead under Wine: zemrun.exe over a list of N items of zprobe with
// /W /P /F:0, against a bare CreateProcessA + WaitForSingleObject loop over the same
// command lines, the two alternating in the same Wine.
//   bench_launch ZEMRUN ZPROBE ITEMS ROUNDS
// prints one line per round and the medians with their ratio.
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
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

double TimeLoop(const std::vector<std::string>& commands, int& failed) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (const std::string& command : commands) failed += StartAndWait(command) ? 0 : 1;
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

double TimeZemrun(const std::string& zemrun, const std::string& probe, const std::string& list) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    StartAndWait("\"" + zemrun + "\" /L:" + list + " /X:" + probe + " /W /P /F:0");
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_launch ZEMRUN ZPROBE ITEMS ROUNDS\n");
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
    std::vector<double> zemrunTimes, loopTimes;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        loopTimes.push_back(TimeLoop(commands, failed));
        zemrunTimes.push_back(TimeZemrun(zemrun, probe, list));
        std::printf("round %d: loop %.3f s, zemrun %.3f s\n", round + 1, loopTimes.back(), zemrunTimes.back());
    }
    DeleteFileA(list.c_str());
    const double loop = Median(loopTimes), run = Median(zemrunTimes);
    std::printf("launch overhead, %d items: loop median %.3f s (%.1f ms/start), zemrun median %.3f s "
                "(%.1f ms/start), ratio zemrun/loop %.3f (target <= 1.10); failed loop starts %d\n",
                items, loop, 1000 * loop / items, run, 1000 * run / items, run / loop, failed);
    return 0;
}
