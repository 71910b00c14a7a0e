#include "zemrunU_win32.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxHandles.h"
#include "../foundation/vxRegistry.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../ui/DlgFailures.h"
#include "../ui/DlgInteractiveU.h"
#include "../ui/DlgLocaleU.h"
#include "../ui/DlgPreview.h"
#include "vxChildProcess_win32.h"
#include "vxProccess.h"

#include <shellapi.h>

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

// The system's text for an error number, without its line end.
std::string SystemMessage(uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message(reinterpret_cast<const char16_t*>(text), length);
    LocalFree(text);
    while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' ||
                                message.back() == u' ' || message.back() == u'.'))
        message.pop_back();
    if (message.empty()) return "error " + std::to_string(code);
    return ProcessFromUtf16(message);
}

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
bool WindowStationVisible() {
    USEROBJECTFLAGS flags{};
    return GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                     nullptr) &&
           (flags.dwFlags & WSF_VISIBLE);
}
} // namespace

void TWin32LauncherHost::ShowUsage() {
    const std::string version = FileVersionText(ProgramPath());
    std::string caption = "Zemrun ";
    if (!version.empty()) caption += " Ver." + version;
    const std::string text = LangString(Options().GetLanguageFile(), IDS_USAGE);
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void TWin32LauncherHost::ShowFailure(const TvxInOutError&) {}

void TWin32LauncherHost::ShowUnknownEncoding(const std::string& name) {
    ShowUnknownEncodingMessage(nullptr, name);
}

bool TWin32LauncherHost::EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) {
    return ::EditSettingsDialog(settings, preview);
}

bool TWin32LauncherHost::ConfirmCommands(const std::vector<std::string>& commands) {
    return PreviewDialog(nullptr, commands, true);
}

TProcess TWin32LauncherHost::Start(const TStartCommand& command) {
    const TPhaseClock clock(phases_, TPhase::Start);
    phases_.CountStart();
    TvxChild child;
    startError_ = command.shellExecute
                      ? StartByShellExecute(command, progress_.Window(), child)
                      : StartByCreateProcess(command, child, shareStandardHandles_);
    if (!child.process) return TProcess();
    const TProcess process = Process(child.process.Release());
    if (child.job) jobs_[process.Id()] = std::move(child.job);
    return process;
}

void TWin32LauncherHost::WaitForInputIdle(TProcess process, uint32_t milliseconds) {
    const TPhaseClock clock(phases_, TPhase::InputIdle);
    ::WaitForInputIdle(Handle(process), milliseconds);
}

int32_t TWin32LauncherHost::WaitProcessEnd(TProcess process, uint32_t milliseconds) {
    return WaitAnyProcessEnd({process}, milliseconds);
}

bool TWin32LauncherHost::ProcessEnded(TProcess process) {
    return WaitForSingleObject(Handle(process), 0) != WAIT_TIMEOUT;
}

int32_t TWin32LauncherHost::WaitAnyProcessEnd(const std::vector<TProcess>& processes,
                                              uint32_t milliseconds) {
    const TPhaseClock clock(phases_, TPhase::EndWait);
    return ::WaitAnyProcessEnd(processes, milliseconds, SkipEvent(), CancelEvent());
}

void TWin32LauncherHost::EndProgram(TProcess process) {
    const auto job = jobs_.find(process.Id());
    EndChild(Handle(process), job == jobs_.end() ? nullptr : job->second.Get(), TimeLimitError);
}

uint32_t TWin32LauncherHost::ExitCode(TProcess process) {
    DWORD code = 0;
    GetExitCodeProcess(Handle(process), &code);
    return code;
}

TLocalTime TWin32LauncherHost::LocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t TWin32LauncherHost::Milliseconds() {
    return GetTickCount64();
}

void TWin32LauncherHost::CloseProcess(TProcess process) {
    // What the program started keeps running, as the program itself would.
    if (const auto job = jobs_.find(process.Id()); job != jobs_.end()) {
        ReleaseJob(job->second);
        jobs_.erase(job);
    }
    CloseHandle(Handle(process));
}

uint32_t TWin32LauncherHost::IsProgramRunning(const std::string& name) {
    const TPhaseClock clock(phases_, TPhase::RunningCheck);
    return ::IsProgramRunning(name);
}

void TWin32LauncherHost::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::string TWin32LauncherHost::GetAssocCommand(const std::string& extension) {
    return ::GetAssocCommand(extension);
}

const std::string& TWin32LauncherHost::StandardInput() {
    if (!input_) input_ = ReadStandardInput();
    return *input_;
}

bool TWin32LauncherHost::ProgressStart() {
    // Found once: finding it looks at the file system.
    progressLanguage_ = Options().GetLanguageFile();
    return progress_.Start(progressLanguage_);
}
void TWin32LauncherHost::ProgressSetRange(int32_t low, int32_t high) {
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetRange(low, high);
}
void TWin32LauncherHost::ProgressSetPos(int32_t position) {
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetPos(position);
}
void TWin32LauncherHost::ProgressSetText(const std::string& text) {
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetText(text);
}
void TWin32LauncherHost::ProgressSetStatus(const TBatchStatus& status) {
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetStatus(BatchStatusText(status, progressLanguage_));
}

namespace {
// The summary's rows of the failed items.
std::vector<TFailureRow> FailureRows(const std::vector<TFailedItem>& failed,
                                     const std::string& language) {
    std::vector<TFailureRow> rows;
    for (const TFailedItem& item : failed)
        rows.push_back({item.item, std::to_string(item.tries),
                        FailureReason(item, SystemMessage(item.error), language), item.output});
    return rows;
}
} // namespace

bool TWin32LauncherHost::ShowFailures(const TBatchStatus& status,
                                      const std::vector<TFailedItem>& failed) {
    if (!WindowStationVisible()) return false;
    const std::string language = Options().GetLanguageFile();
    const std::vector<TFailureRow> rows = FailureRows(failed, language);
    TBatchStatus done = status;
    done.secondsLeft = -1;
    // In the progress window's place, which comes back for a run of the failed items.
    HWND progress = progress_.Window();
    RECT place{};
    const bool placed = progress && GetWindowRect(progress, &place);
    const POINT corner{place.left, place.top};
    if (progress) ShowWindow(progress, SW_HIDE);
    const bool again =
        FailuresDialog(placed ? &corner : nullptr, BatchStatusText(done, language), rows);
    if (again && progress) ShowWindow(progress, SW_SHOWNORMAL);
    return again;
}

namespace {
std::string FullPathName(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), DWORD(sizeof full), full, nullptr);
    return length == 0 || length >= sizeof full ? path : std::string(full, length);
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

bool TWin32LauncherHost::ClaimWatch(const std::string& folder) {
    // A watch of another user that this one may not open is there all the same.
    TvxHandle mutex(CreateMutexA(nullptr, FALSE, WatchObjectName("watch", folder).c_str()));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    watchMutex_ = std::move(mutex);
    unwatchEvent_.Reset(
        CreateEventA(nullptr, TRUE, FALSE, WatchObjectName("unwatch", folder).c_str()));
    if (unwatchEvent_) ResetEvent(unwatchEvent_.Get());
    return true;
}

uint32_t TWin32LauncherHost::AskWatchToStop(const std::string& folder) {
    // Another user's watch is there, but only that user (or an administrator) may stop it.
    const TvxHandle unwatch(
        OpenEventA(EVENT_MODIFY_STATE, FALSE, WatchObjectName("unwatch", folder).c_str()));
    if (!unwatch) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? NoWatchError : error;
    }
    return SetEvent(unwatch.Get()) ? 0 : GetLastError();
}

void TWin32LauncherHost::ShowWatch(const TWatchState& state) {
    if (!watchIconTried_) {
        watchIconTried_ = true;
        watchLanguage_ = Options().GetLanguageFile();
        // Manual reset: the wait for the folder's change that it ends leaves it set.
        runAgainEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (WindowStationVisible())
            watchIcon_.Start(state.folder, state.jobLog, unwatchEvent_.Get(), runAgainEvent_.Get(),
                             watchLanguage_);
    }
    watchIcon_.SetTip(
        WatchStatusText(state.folder, state.status, state.folderThere, watchLanguage_));
    if (state.failuresRetried) watchIcon_.ClearFailures();
    if (!state.newlyFailed.empty())
        watchIcon_.AddFailures(FailureRows(state.newlyFailed, watchLanguage_));
    if (!state.announced.empty())
        watchIcon_.ShowBalloon(WatchText(IDS_WATCH_FAILED, state.announced, watchLanguage_));
}

void TWin32LauncherHost::ShowWatchRefused(const std::string& folder, TWatchRefusal why) {
    if (!WindowStationVisible()) return;
    const std::string text =
        WatchText(why == TWatchRefusal::NotAFolder ? IDS_NOT_A_FOLDER : IDS_ALREADY_WATCHED, folder,
                  Options().GetLanguageFile());
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(ProcessToUtf16(text).c_str()), L"Zemrun",
                MB_OK | (why == TWatchRefusal::NotAFolder ? MB_ICONERROR : MB_ICONINFORMATION));
}

bool TWin32LauncherHost::StopSignalled() {
    return unwatchEvent_ && WaitForSingleObject(unwatchEvent_.Get(), 0) == WAIT_OBJECT_0;
}

void TWin32LauncherHost::WaitForFolderChange(const std::string& folder, bool subfolders,
                                             uint32_t milliseconds) {
    folderChanges_.Wait(folder, subfolders, milliseconds,
                        {unwatchEvent_.Get(), StopEvent(), runAgainEvent_.Get()});
}

bool TWin32LauncherHost::TakeRunAgainSignal() {
    if (!runAgainEvent_ || WaitForSingleObject(runAgainEvent_.Get(), 0) != WAIT_OBJECT_0)
        return false;
    ResetEvent(runAgainEvent_.Get());
    return true;
}

bool TWin32LauncherHost::CancelSignalled() {
    HANDLE cancel = CancelEvent();
    return cancel && WaitForSingleObject(cancel, 0) == WAIT_OBJECT_0;
}

bool TWin32LauncherHost::TakeSkipSignal() {
    HANDLE skip = SkipEvent();
    if (!skip) return false;
    const bool taken = WaitForSingleObject(skip, 0) == WAIT_OBJECT_0;
    ResetEvent(skip);
    return taken;
}

void TWin32LauncherHost::ProgressClose() {
    progress_.Close();
}
