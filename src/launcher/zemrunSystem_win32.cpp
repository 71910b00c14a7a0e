#include "zemrunSystem_win32.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxRegistry.h"
#include "../foundation/vxTextCodec.h"
#include "vxProccess.h"
#include "zemrunBatchStatus.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// 1 shifted left by Priority + 5; the shift count wraps as the processor's does.
DWORD PriorityClass(int32_t priority) {
    return DWORD(1) << ((uint32_t(priority) + 5u) & 31u);
}

// A wait that keeps failing (an unusable handle) is given up after this many tries.
constexpr int WaitFailureLimit = 1000;
} // namespace

DWORD StartByCreateProcess(const TStartCommand& start, TvxChild& child, bool standardHandles) {
    // A zero byte would cut the command before the expansion could see it.
    if (!CanPassWhole(start.program) || !CanPassWhole(start.parameters))
        return ERROR_FILENAME_EXCED_RANGE;
    const std::string command = CreateProcessCommand(start.program, start.parameters);
    if (!CanPassWhole(command)) return ERROR_FILENAME_EXCED_RANGE;
    TvxChildStart how;
    how.flags = CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP;
    how.startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    how.startup.wShowWindow = WORD(start.window & 0xFFFF);
    how.contained = start.contained;
    how.output = start.output;
    how.errorOutput = start.errorOutput;
    how.standardHandles = standardHandles;
    how.environment = start.environment;
    if (const DWORD error = CreateChild(command, std::move(how), child)) return error;
    SetPriorityClass(child.process.Get(), PriorityClass(start.priority));
    return ERROR_SUCCESS;
}

DWORD StartByShellExecute(const TStartCommand& start, HWND window, TvxChild& child) {
    if (!CanPassWhole(start.program) || !CanPassWhole(start.parameters))
        return ERROR_FILENAME_EXCED_RANGE;
    const TShellCommand shell = ShellCommand(start.program, start.parameters, start.noProgram);
    const std::string& file = shell.file;
    const std::string& arguments = shell.arguments;
    // The shell joins the two into one command line, which has the same limit.
    if (!CanPassWhole(file + " " + arguments)) return ERROR_FILENAME_EXCED_RANGE;
    // The shell takes this process's environment: the command's variables are set for the
    // start and put back after it.
    const TvxScopedEnvironment environment(start.environment);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    // Nothing more is expanded: the builder expanded what is to be, and a name from the file
    // system may hold a % of its own.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_CONNECTNETDRV;
    info.hwnd = window;
    info.lpFile = file.c_str();
    info.lpParameters = start.noProgram ? nullptr : arguments.c_str();
    info.nShow = start.window;
    if (!ShellExecuteExA(&info)) return GetLastError();
    // Started, though perhaps without a process to wait for or to end.
    child.process.Reset(info.hProcess);
    if (child.process) SetPriorityClass(info.hProcess, PriorityClass(start.priority));
    return ERROR_SUCCESS;
}

namespace {
HANDLE Handle(TProcess process) {
    return reinterpret_cast<HANDLE>(process.Id());
}
TProcess Process(HANDLE handle) {
    return TProcess(reinterpret_cast<uintptr_t>(handle));
}

// Waits at most milliseconds for the first of the processes to end, and for the two
// events where given: the process's index, WaitInterrupted or WaitTimedOut.
int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes, uint32_t milliseconds,
                          HANDLE skipEvent, HANDLE cancelEvent) {
    // The two events first: a Skip or Cancel is seen even while a process has ended. A Skip
    // that ends the wait is taken by it; a Cancel stays set for the next poll.
    std::vector<HANDLE> objects;
    for (HANDLE event : {skipEvent, cancelEvent})
        if (event) objects.push_back(event);
    const DWORD events = DWORD(objects.size());
    for (TProcess process : processes)
        objects.push_back(Handle(process));
    for (int failures = 0; failures < WaitFailureLimit; ++failures) {
        const DWORD result =
            WaitForMultipleObjects(DWORD(objects.size()), objects.data(), FALSE,
                                   milliseconds == NoTimeout ? INFINITE : milliseconds);
        if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + objects.size()) {
            const DWORD index = result - WAIT_OBJECT_0;
            return index < events ? WaitInterrupted : int32_t(index - events);
        }
        if (result == WAIT_TIMEOUT) return WaitTimedOut;
        ::Sleep(0);
    }
    return WaitInterrupted;
}
} // namespace

namespace {
std::string FullPathName(const std::string& path) {
    const std::u16string wide = ProcessToUtf16(path);
    const std::string full = GrownSystemText([&](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(reinterpret_cast<LPCWSTR>(wide.c_str()), size, buffer, nullptr);
    });
    return full.empty() ? path : full;
}

// The name of a kernel object of the watch of a folder, the same for every user of this
// machine: the folder's full path without case, hashed (names may hold no backslash).
std::string WatchObjectName(const char* kind, const std::string& folder) {
    std::u16string path = ProcessToUtf16(FullPathName(folder));
    while (path.size() > 3 && (path.back() == u'\\' || path.back() == u'/'))
        path.pop_back();
    CharUpperBuffW(reinterpret_cast<wchar_t*>(path.data()), DWORD(path.size()));
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char16_t unit : path)
        hash = (hash ^ unit) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "Global\\Zemrun %s %016llx", kind,
                  static_cast<unsigned long long>(hash));
    return name;
}
} // namespace

bool WindowStationVisible() {
    USEROBJECTFLAGS flags{};
    return GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                     nullptr) &&
           (flags.dwFlags & WSF_VISIBLE);
}

TWin32System::TWin32System(TWin32FaceHandles& face, TPhaseTimes& phases, bool standardHandles)
    : face_(face), phases_(phases), standardHandles_(standardHandles) {}

TStarted TWin32System::Start(const TStartCommand& command) {
    const TPhaseClock clock(phases_, TPhase::Start);
    phases_.CountStart();
    TvxChild child;
    const DWORD error = command.shellExecute
                            ? StartByShellExecute(command, face_.OwnerWindow(), child)
                            : StartByCreateProcess(command, child, standardHandles_);
    if (!child.process) return {TProcess(), error};
    const TProcess process = Process(child.process.Release());
    if (child.job) jobs_[process.Id()] = std::move(child.job);
    return {process};
}

void TWin32System::WaitForInputIdle(TProcess process, uint32_t milliseconds) {
    const TPhaseClock clock(phases_, TPhase::InputIdle);
    ::WaitForInputIdle(Handle(process), milliseconds);
}

int32_t TWin32System::WaitAnyProcessEnd(const std::vector<TProcess>& processes,
                                        uint32_t milliseconds) {
    const TPhaseClock clock(phases_, TPhase::EndWait);
    return ::WaitAnyProcessEnd(processes, milliseconds, face_.SkipEvent(), face_.CancelEvent());
}

std::optional<uint32_t> TWin32System::ExitCode(TProcess process) {
    if (WaitForSingleObject(Handle(process), 0) == WAIT_TIMEOUT) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(Handle(process), &code);
    return code;
}

void TWin32System::EndProgram(TProcess process) {
    const auto job = jobs_.find(process.Id());
    EndChild(Handle(process), job == jobs_.end() ? nullptr : job->second.Get(), TimeLimitError);
}

void TWin32System::CloseProcess(TProcess process) {
    // What the program started keeps running, as the program itself would.
    if (const auto job = jobs_.find(process.Id()); job != jobs_.end()) {
        ReleaseJob(job->second);
        jobs_.erase(job);
    }
    CloseHandle(Handle(process));
}

uint32_t TWin32System::IsProgramRunning(const std::string& name) {
    const TPhaseClock clock(phases_, TPhase::RunningCheck);
    return ::IsProgramRunning(name);
}

// The processors' busy share since the newest sample that is at least a second old: a
// sample is taken at each look, and the older ones are let go.
int32_t TLoadMeter::Busy() {
    FILETIME idle, kernel, user;
    if (!GetSystemTimes(&idle, &kernel, &user)) return 0;
    const auto ticks = [](const FILETIME& time) {
        return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    // The kernel's time holds the idle time.
    samples_.push_back({GetTickCount64(), ticks(idle), ticks(kernel) + ticks(user)});
    const uint64_t now = samples_.back().at;
    while (samples_.size() > 2 && now - samples_[1].at >= LoadSpanMilliseconds)
        samples_.pop_front();
    const TSample& from = samples_.front();
    const uint64_t total = samples_.back().total - from.total;
    if (total == 0) return 0;
    const uint64_t idleTime = std::min(samples_.back().idle - from.idle, total);
    return int32_t(100 - idleTime * 100 / total);
}

TMachine TWin32System::Machine() {
    TMachine machine;
    machine.processors = int32_t(std::max<DWORD>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), 1));
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) machine.availableMemory = memory.ullAvailPhys;
    machine.load = load_.Busy();
    return machine;
}

TLocalTime TWin32System::LocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t TWin32System::Milliseconds() {
    return GetTickCount64();
}

void TWin32System::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::string TWin32System::GetAssocCommand(const std::string& extension) {
    return ::GetAssocCommand(extension);
}

const std::string& TWin32System::StandardInput() {
    if (!input_) input_ = ReadStandardInput();
    return *input_;
}

void TWin32System::WaitForFolderChange(const std::string& folder, bool subfolders,
                                       uint32_t milliseconds) {
    std::vector<HANDLE> events = face_.FolderWaitEvents();
    events.push_back(unwatchEvent_.Get());
    folderChanges_.Wait(folder, subfolders, milliseconds, events);
}

bool TWin32System::ClaimWatch(const std::string& folder) {
    // A watch of another user that this one may not open is there all the same.
    TvxHandle mutex(CreateMutexA(nullptr, FALSE, WatchObjectName("watch", folder).c_str()));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    watchMutex_ = std::move(mutex);
    unwatchEvent_.Reset(
        CreateEventA(nullptr, TRUE, FALSE, WatchObjectName("unwatch", folder).c_str()));
    if (unwatchEvent_) ResetEvent(unwatchEvent_.Get());
    return true;
}

uint32_t TWin32System::AskWatchToStop(const std::string& folder) {
    // Another user's watch is there, but only that user (or an administrator) may stop it.
    const TvxHandle unwatch(
        OpenEventA(EVENT_MODIFY_STATE, FALSE, WatchObjectName("unwatch", folder).c_str()));
    if (!unwatch) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? NoWatchError : error;
    }
    return SetEvent(unwatch.Get()) ? 0 : GetLastError();
}

bool TWin32System::UnwatchAsked() {
    return unwatchEvent_ && WaitForSingleObject(unwatchEvent_.Get(), 0) == WAIT_OBJECT_0;
}
