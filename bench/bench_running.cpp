// The running-program check under Wine with many processes running: IsProgramRunning
// against the check as it was, which listed the modules of every process whose file
// name was not the name asked for.
//   bench_running ZPROBE PROCESSES CALLS
// starts PROCESSES probes that stay, times CALLS checks of each kind, ends the probes.
#include "launcher/vxProccess.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

bool HasModulePath(DWORD processId, const std::string& name) {
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (modules == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 module{};
    module.dwSize = sizeof(module);
    bool found = false;
    for (BOOL more = Module32First(modules, &module); more && !found;
         more = Module32Next(modules, &module))
        found = lstrcmpiA(name.c_str(), module.szExePath) == 0;
    CloseHandle(modules);
    return found;
}

// The check before: a module snapshot of every process that the file name did not match.
uint32_t IsProgramRunningBefore(const std::string& name) {
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 process{};
    process.dwSize = sizeof(process);
    uint32_t found = 0;
    for (BOOL more = Process32First(processes, &process); more && !found;
         more = Process32Next(processes, &process))
        if (lstrcmpiA(name.c_str(), process.szExeFile) == 0 ||
            HasModulePath(process.th32ProcessID, name))
            found = process.th32ProcessID;
    CloseHandle(processes);
    return found;
}

template <typename Check>
double MillisecondsPerCall(Check check, const std::string& name, int calls) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (int i = 0; i < calls; ++i)
        check(name);
    QueryPerformanceCounter(&to);
    return Seconds(from, to) * 1000 / calls;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_running ZPROBE PROCESSES CALLS\n");
        return 2;
    }
    const std::string probe = argv[1];
    const int count = std::atoi(argv[2]);
    const int calls = std::atoi(argv[3]);
    SetEnvironmentVariableA("ZPROBE_LOG", nullptr);
    SetEnvironmentVariableA("ZPROBE_STAY_MS", "600000");
    std::vector<PROCESS_INFORMATION> started;
    for (int i = 0; i < count; ++i) {
        std::string command = "\"" + probe + "\" bench";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info))
            started.push_back(info);
    }
    std::printf("%zu probes running; one check, milliseconds (before / now / ratio):\n",
                started.size());
    // A program that is not running, and the probe's own name in another folder: the
    // costliest cases, as every process is looked at.
    for (const char* name : {"C:\\Tools\\not-running.exe", "C:\\Other\\zprobe.exe"}) {
        const double before = MillisecondsPerCall(IsProgramRunningBefore, name, calls);
        const double now = MillisecondsPerCall(IsProgramRunning, name, calls);
        std::printf("  %-28s %8.2f %8.2f %8.1fx\n", name, before, now, before / now);
    }
    for (const PROCESS_INFORMATION& info : started) {
        TerminateProcess(info.hProcess, 0);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    return 0;
}
