#include "zemrunConsole_win32.h"

#include "../foundation/vxHandles.h"
#include "../foundation/vxTextCodec.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../ui/DlgLocaleU.h"

#include <atomic>

namespace {
// Set by the first Ctrl+C or Ctrl+Break; the handler runs on a thread of its own.
TvxHandle StopRequested;
std::atomic<int> ControlPresses{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    // The second ends the process, and with it its jobs, with the status the system's own
    // handler gives (Wine's gives 0).
    if (ControlPresses++ > 0) ExitProcess(STATUS_CONTROL_C_EXIT);
    SetEvent(StopRequested.Get());
    return TRUE;
}

bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// A new empty file in the user's temporary folder.
std::string TemporaryFile() {
    char folder[MAX_PATH + 1];
    char path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || !GetTempFileNameA(folder, "zem", 0, path)) return {};
    return path;
}

// Writes the file's bytes, as the program wrote them, to the standard handle.
void PassOn(const std::string& path, DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    try {
        TvxFileReader file(path);
        std::string chunk(1 << 16, '\0');
        while (const size_t got = file.Read(chunk.data(), chunk.size())) {
            DWORD written = 0;
            if (handle && handle != INVALID_HANDLE_VALUE)
                WriteFile(handle, chunk.data(), DWORD(got), &written, nullptr);
        }
    } catch (const TvxInOutError&) {
        // What cannot be read back is lost to the console, not to the run.
    }
    RemoveFile(path);
}

std::string LanguageText(int32_t id) {
    return LangString(Options().GetLanguageFile(), id);
}
} // namespace

void WriteStandardText(DWORD which, const std::string& text) {
    const HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE) return;
    if (IsConsole(which)) {
        const std::u16string wide = ProcessToUtf16(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    std::string bytes;
    for (const char c : FromUtf16(ProcessToUtf16(text), codepage::Utf8)) {
        if (c == '\n' && (bytes.empty() || bytes.back() != '\r')) bytes += '\r';
        bytes += c;
    }
    DWORD written = 0;
    WriteFile(handle, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

TConsoleLauncherHost::TConsoleLauncherHost() {
    shareStandardHandles_ = true;
    StopRequested.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TConsoleLauncherHost::~TConsoleLauncherHost() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

bool TConsoleLauncherHost::StopSignalled() {
    return TWin32LauncherHost::StopSignalled() ||
           WaitForSingleObject(StopRequested.Get(), 0) == WAIT_OBJECT_0;
}

HANDLE TConsoleLauncherHost::StopEvent() const {
    return StopRequested.Get();
}

void TConsoleLauncherHost::ShowUsage() {
    WriteStandardText(STD_OUTPUT_HANDLE, LanguageText(IDS_USAGE) + "\n");
}

void TConsoleLauncherHost::ShowFailure(const TvxInOutError& failure) {
    if (failure.path == "-" && failure.code == ERROR_INVALID_HANDLE) {
        WriteStandardText(STD_ERROR_HANDLE,
                          "zemrun: " + LanguageText(IDS_NO_STANDARD_INPUT) + "\n");
        return;
    }
    std::string line = "zemrun: ";
    if (!failure.path.empty()) line += failure.path + ": ";
    WriteStandardText(STD_ERROR_HANDLE, line + SystemMessage(uint32_t(failure.code)) + "\n");
}

void TConsoleLauncherHost::ShowUnknownEncoding(const std::string& name) {
    WriteStandardText(STD_ERROR_HANDLE, "zemrun: " + LanguageText(IDS_UNKNOWN_ENCODING) + " " +
                                            name + " " + LanguageText(IDS_ENCODING_NAMES) + "\n");
}

void TConsoleLauncherHost::ClearStatus() {
    if (status_) WriteStandardText(STD_ERROR_HANDLE, status_->Clear());
}

TProcess TConsoleLauncherHost::Start(const TStartCommand& command) {
    ClearStatus();
    if (!command.keepOutput) return TWin32LauncherHost::Start(command);
    TKeptOutput kept{TemporaryFile(), TemporaryFile()};
    if (kept.output.empty() || kept.error.empty()) return TWin32LauncherHost::Start(command);
    TStartCommand keeping = command;
    keeping.output = kept.output;
    keeping.errorOutput = kept.error;
    const TProcess process = TWin32LauncherHost::Start(keeping);
    if (process) {
        kept_[process.Id()] = std::move(kept);
    } else {
        RemoveFile(kept.output);
        RemoveFile(kept.error);
    }
    return process;
}

void TConsoleLauncherHost::CloseProcess(TProcess process) {
    TWin32LauncherHost::CloseProcess(process);
    const auto kept = kept_.find(process.Id());
    if (kept == kept_.end()) return;
    ClearStatus();
    PassOn(kept->second.output, STD_OUTPUT_HANDLE);
    PassOn(kept->second.error, STD_ERROR_HANDLE);
    kept_.erase(kept);
}

void TConsoleLauncherHost::ShowExpressionError(const TExpressionError& error) {
    WriteStandardText(STD_ERROR_HANDLE, "zemrun: /R: " + error.text + ", at " +
                                            std::to_string(error.position) + "\n");
}

bool TConsoleLauncherHost::ConfirmCommands(const std::vector<std::string>& commands) {
    std::string text;
    for (const std::string& command : commands)
        text += command + "\n";
    WriteStandardText(STD_OUTPUT_HANDLE, text);
    return false;
}

bool TConsoleLauncherHost::ProgressStart() {
    status_.emplace(IsConsole(STD_ERROR_HANDLE));
    statusLanguage_ = Options().GetLanguageFile();
    return true;
}

void TConsoleLauncherHost::ProgressSetStatus(const TBatchStatus& status) {
    if (!status_) return;
    WriteStandardText(STD_ERROR_HANDLE,
                      status_->Update(BatchStatusText(status, statusLanguage_), Milliseconds()));
}

void TConsoleLauncherHost::WriteFailures(const std::vector<TFailedItem>& failed) {
    ClearStatus();
    std::string lines;
    for (const TFailedItem& item : failed)
        lines += "zemrun: " + item.item + ": " +
                 FailureReason(item, SystemMessage(item.error), Options().GetLanguageFile()) + "\n";
    WriteStandardText(STD_ERROR_HANDLE, lines);
}

bool TConsoleLauncherHost::ShowFailures(const TBatchStatus& status,
                                        const std::vector<TFailedItem>& failed) {
    WriteFailures(failed);
    ProgressSetStatus(status);
    return false;
}

void TConsoleLauncherHost::ShowWatchRefused(const std::string& folder, TWatchRefusal why) {
    WriteStandardText(
        STD_ERROR_HANDLE,
        "zemrun: " +
            WatchText(why == TWatchRefusal::NotAFolder ? IDS_NOT_A_FOLDER : IDS_ALREADY_WATCHED,
                      folder, Options().GetLanguageFile()) +
            "\n");
}

void TConsoleLauncherHost::ShowWatch(const TWatchState& state) {
    if (!status_) ProgressStart();
    if (!state.newlyFailed.empty()) WriteFailures(state.newlyFailed);
    if (state.folderThere != watchedFolderThere_) {
        watchedFolderThere_ = state.folderThere;
        ClearStatus();
        WriteStandardText(STD_ERROR_HANDLE,
                          "zemrun: " +
                              WatchText(state.folderThere ? IDS_FOLDER_BACK : IDS_FOLDER_GONE,
                                        state.folder, statusLanguage_) +
                              "\n");
    }
    WriteStandardText(STD_ERROR_HANDLE,
                      status_->Update(WatchStatusText(state.folder, state.status, state.folderThere,
                                                      statusLanguage_),
                                      Milliseconds()));
}

void TConsoleLauncherHost::ProgressClose() {
    if (status_) WriteStandardText(STD_ERROR_HANDLE, status_->Close());
    status_.reset();
}
