#include "zemrunU_win32.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxRegistry.h"
#include "../foundation/vxStrUtils.h"
#include "../settings/zemrunOptions.h"
#include "../ui/DlgInteractiveU.h"
#include "../ui/DlgLocaleU.h"
#include "../ui/DlgPreview.h"
#include "ProgressThrU.h"
#include "vxProccess.h"

#include <shellapi.h>

#include <vector>

namespace {
// 1 shifted left by Priority + 5; the shift count wraps as the processor's does.
DWORD PriorityClass(int32_t priority) { return DWORD(1) << ((uint32_t(priority) + 5u) & 31u); }

// A wait that keeps failing (an unusable handle) is given up after this many tries.
constexpr int WaitFailureLimit = 1000;
} // namespace

namespace {
// A command that cannot reach its program whole is not started.
HANDLE Refused() {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
}
} // namespace

HANDLE StartByCreateProcess(const std::string& program, const std::string& parameters, bool /*noProgram*/) {
    // A zero byte would cut the command before the expansion could see it.
    if (!CanPassWhole(program) || !CanPassWhole(parameters)) return Refused();
    const std::string command = CreateProcessCommand(program, parameters);
    if (!CanPassWhole(command)) return Refused();
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = WORD(RunSettings.Window & 0xFFFF);
    PROCESS_INFORMATION info{};
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info))
        return nullptr;
    SetPriorityClass(info.hProcess, PriorityClass(RunSettings.Priority));
    CloseHandle(info.hThread);
    return info.hProcess;
}

HANDLE StartByShellExecute(const std::string& program, const std::string& parameters, bool noProgram) {
    if (!CanPassWhole(program) || !CanPassWhole(parameters)) return Refused();
    const TShellCommand shell = ShellCommand(program, parameters, noProgram);
    const std::string& file = shell.file;
    const std::string& arguments = shell.arguments;
    // The shell joins the two into one command line, which has the same limit.
    if (!CanPassWhole(file + " " + arguments)) return Refused();
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_CONNECTNETDRV | SEE_MASK_DOENVSUBST;
    info.hwnd = ProgressShown ? ProgressWnd.load() : nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = noProgram ? nullptr : arguments.c_str();
    info.nShow = RunSettings.Window;
    if (!ShellExecuteExA(&info)) return nullptr;
    if (info.hProcess) SetPriorityClass(info.hProcess, PriorityClass(RunSettings.Priority));
    SetLastError(0); // started, though perhaps without a process to wait for
    return info.hProcess;
}

void WaitProcessEnd(HANDLE process) { WaitAnyProcessEnd({process}); }

int32_t WaitAnyProcessEnd(const std::vector<HANDLE>& processes) {
    // The two events first: a Skip or Cancel is seen even while a process has ended. A Skip
    // that ends the wait is taken by it; a Cancel stays set for the next poll.
    std::vector<HANDLE> objects;
    if (ProgressShown) objects = {SkipEvent, CancelEvent};
    const DWORD events = DWORD(objects.size());
    objects.insert(objects.end(), processes.begin(), processes.end());
    for (int failures = 0; failures < WaitFailureLimit; ++failures) {
        const DWORD result = WaitForMultipleObjects(DWORD(objects.size()), objects.data(), FALSE, INFINITE);
        if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + objects.size()) {
            const DWORD index = result - WAIT_OBJECT_0;
            return index < events ? -1 : int32_t(index - events);
        }
        ::Sleep(0);
    }
    return -1;
}

void ShowUsage() {
    const std::string version = FileVersionText(ProgramPath());
    std::string caption = "Zemrun ";
    if (!version.empty()) caption += " Ver." + version;
    const std::string text = LangString(Options().GetLanguageFile(), 10);
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void TWin32LauncherHost::ShowUsage() { ::ShowUsage(); }

void TWin32LauncherHost::ShowUnknownEncoding(const std::string& name) { ShowUnknownEncodingMessage(nullptr, name); }

bool TWin32LauncherHost::EditSettingsDialog(TOptions& settings) {
    // The Preview button shows the first thousand items' commands.
    return ::EditSettingsDialog(settings, [this](const TOptions& current) { return PreviewCommands(*this, current, 1000); });
}

bool TWin32LauncherHost::ConfirmCommands(const std::vector<std::string>& commands) {
    return PreviewDialog(nullptr, commands, true);
}

TProcess TWin32LauncherHost::Start(bool shellExecute, const std::string& program, const std::string& parameters,
                                   bool noProgram) {
    HANDLE process = shellExecute ? StartByShellExecute(program, parameters, noProgram)
                                  : StartByCreateProcess(program, parameters, noProgram);
    startError_ = process ? 0 : GetLastError();
    return process;
}

void TWin32LauncherHost::WaitForInputIdle(TProcess process, uint32_t milliseconds) {
    ::WaitForInputIdle(static_cast<HANDLE>(process), milliseconds);
}

void TWin32LauncherHost::WaitProcessEnd(TProcess process) { ::WaitProcessEnd(static_cast<HANDLE>(process)); }

bool TWin32LauncherHost::ProcessEnded(TProcess process) {
    return WaitForSingleObject(static_cast<HANDLE>(process), 0) != WAIT_TIMEOUT;
}

int32_t TWin32LauncherHost::WaitAnyProcessEnd(const std::vector<TProcess>& processes) {
    std::vector<HANDLE> handles;
    for (TProcess process : processes) handles.push_back(static_cast<HANDLE>(process));
    return ::WaitAnyProcessEnd(handles);
}

uint32_t TWin32LauncherHost::ExitCode(TProcess process) {
    DWORD code = 0;
    GetExitCodeProcess(static_cast<HANDLE>(process), &code);
    return code;
}

TLocalTime TWin32LauncherHost::LocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t TWin32LauncherHost::Milliseconds() { return GetTickCount64(); }

void TWin32LauncherHost::CloseProcess(TProcess process) { CloseHandle(static_cast<HANDLE>(process)); }

uint32_t TWin32LauncherHost::IsProgramRunning(const std::string& name) { return ::IsProgramRunning(name); }

void TWin32LauncherHost::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

std::string TWin32LauncherHost::GetAssocCommand(const std::string& extension) {
    return ::GetAssocCommand(extension);
}

bool TWin32LauncherHost::ProgressStart() { return ::ProgressStart(); }
void TWin32LauncherHost::ProgressSetRange(int32_t low, int32_t high) { ::ProgressSetRange(low, high); }
void TWin32LauncherHost::ProgressSetPos(int32_t position) { ::ProgressSetPos(position); }
void TWin32LauncherHost::ProgressSetText(const std::string& text) { ::ProgressSetText(text); }

bool TWin32LauncherHost::CancelSignalled() {
    return CancelEvent && WaitForSingleObject(CancelEvent, 0) == WAIT_OBJECT_0;
}

bool TWin32LauncherHost::TakeSkipSignal() {
    if (!SkipEvent) return false;
    const bool taken = WaitForSingleObject(SkipEvent, 0) == WAIT_OBJECT_0;
    ResetEvent(SkipEvent);
    return taken;
}

void TWin32LauncherHost::ProgressClose() { ::ProgressClose(); }
