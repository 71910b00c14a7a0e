#include "zemrunPhaseTimes_win32.h"

#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"

#include <cstdio>

int64_t PerformanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void TPhaseTimes::AddSince(TPhase phase, int64_t from) {
    ticks_[size_t(phase)] += PerformanceCounter() - from;
}

void TPhaseTimes::WriteWhereAsked() const {
    const std::u16string path = ProcessToUtf16(GrownSystemText([](wchar_t* buffer, DWORD size) {
        return GetEnvironmentVariableW(L"ZEMRUN_PHASE_TIMES", buffer, size);
    }));
    if (path.empty()) return;
    FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), L"w");
    if (!file) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::fprintf(file, "starts %lld", static_cast<long long>(starts_.load()));
    static const char* const names[] = {"start", "inputIdle", "runningCheck", "windowUpdates",
                                        "endWait"};
    for (size_t phase = 0; phase < ticks_.size(); ++phase)
        std::fprintf(file, " %s %.3f", names[phase],
                     1000.0 * double(ticks_[phase].load()) / double(frequency.QuadPart));
    // The processor time of the whole process, all its threads.
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        const auto ticks = [](FILETIME time) {
            return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        };
        std::fprintf(file, " cpu %.3f", double(ticks(kernel) + ticks(user)) / 10000.0);
    }
    std::fprintf(file, "\n");
    std::fclose(file);
}
