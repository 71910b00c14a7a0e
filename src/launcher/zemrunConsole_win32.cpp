#include "zemrunConsole_win32.h"

#include "../foundation/vxHandles.h"
#include "../foundation/vxTextCodec.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../ui/DlgInteractiveU.h"
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

TConsoleFace::TConsoleFace() {
    StopRequested.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TConsoleFace::~TConsoleFace() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

TUserSignals TConsoleFace::TakeSignals() {
    TUserSignals signals;
    signals.stop = WaitForSingleObject(StopRequested.Get(), 0) == WAIT_OBJECT_0;
    return signals;
}

std::vector<HANDLE> TConsoleFace::THandles::FolderWaitEvents() const {
    return {StopRequested.Get()};
}

std::string TConsoleFace::KeptOutputPrefix() {
    const std::string folder =
        GrownSystemText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    if (folder.empty()) return {};
    return folder + "zemrun " + std::to_string(GetCurrentProcessId()) + " ";
}

void TConsoleFace::ShowUsage() {
    WriteStandardText(STD_OUTPUT_HANDLE, LanguageText(IDS_USAGE) + "\n");
}

namespace {
std::string FailureLine(const TvxInOutError& failure) {
    if (failure.path == "-" && failure.code == ERROR_INVALID_HANDLE)
        return LanguageText(IDS_NO_STANDARD_INPUT);
    const std::string path = failure.path.empty() ? std::string() : failure.path + ": ";
    return path + SystemMessage(uint32_t(failure.code));
}

// What a problem says, in a line of its own.
std::string NoticeLine(const TNotice& notice) {
    if (const auto* failure = std::get_if<TvxInOutError>(&notice)) return FailureLine(*failure);
    if (const auto* error = std::get_if<TExpressionError>(&notice))
        return "/R: " + error->text + ", at " + std::to_string(error->position);
    if (const auto* encoding = std::get_if<TUnknownEncoding>(&notice))
        return LanguageText(IDS_UNKNOWN_ENCODING) + " " + encoding->name + " " +
               LanguageText(IDS_ENCODING_NAMES);
    if (const auto* schedule = std::get_if<TScheduleNotice>(&notice))
        return ScheduleNoticeText(*schedule, SystemMessage(schedule->error),
                                  Options().GetLanguageFile());
    const auto& refused = std::get<TWatchRefused>(notice);
    return WatchText(refused.why == TWatchRefusal::NotAFolder ? IDS_NOT_A_FOLDER
                                                              : IDS_ALREADY_WATCHED,
                     refused.folder, Options().GetLanguageFile());
}
} // namespace

void TConsoleFace::Tell(const TNotice& notice) {
    // What /SCHEDULE tells of a schedule goes where a script reads it.
    if (const auto* schedule = std::get_if<TScheduleNotice>(&notice);
        schedule && schedule->kind <= TScheduleNotice::ProjectGone) {
        WriteStandardText(STD_OUTPUT_HANDLE, NoticeLine(notice) + "\n");
        return;
    }
    WriteStandardText(STD_ERROR_HANDLE, "zemrun: " + NoticeLine(notice) + "\n");
}

bool TConsoleFace::EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) {
    return ::EditSettingsDialog(settings, preview);
}

void TConsoleFace::ClearStatus() {
    if (status_) WriteStandardText(STD_ERROR_HANDLE, status_->Clear());
}

void TConsoleFace::TryStarting(const TTry&) {
    ClearStatus();
}

void TConsoleFace::TryEnded(TTryEnd& end) {
    const TStartCommand& command = end.tried.command;
    if (!command.keepOutput) return;
    ClearStatus();
    PassOn(command.output, STD_OUTPUT_HANDLE);
    PassOn(command.errorOutput, STD_ERROR_HANDLE);
}

bool TConsoleFace::ConfirmCommands(const std::vector<std::string>& commands) {
    std::string text;
    for (const std::string& command : commands)
        text += command + "\n";
    WriteStandardText(STD_OUTPUT_HANDLE, text);
    return false;
}

bool TConsoleFace::ProgressStart(int32_t) {
    status_.emplace(IsConsole(STD_ERROR_HANDLE));
    statusLanguage_ = Options().GetLanguageFile();
    return true;
}

void TConsoleFace::StatusChanged(const TBatchStatus& status) {
    if (!status_) return;
    WriteStandardText(STD_ERROR_HANDLE,
                      status_->Update(BatchStatusText(status, statusLanguage_), GetTickCount64()));
}

void TConsoleFace::WriteFailures(const std::vector<TFailedItem>& failed) {
    ClearStatus();
    std::string lines;
    for (const TFailedItem& item : failed)
        lines += "zemrun: " + item.item + ": " +
                 FailureReason(item, SystemMessage(item.error), Options().GetLanguageFile()) + "\n";
    WriteStandardText(STD_ERROR_HANDLE, lines);
}

bool TConsoleFace::ShowFailures(const TBatchStatus& status,
                                const std::vector<TFailedItem>& failed) {
    WriteFailures(failed);
    StatusChanged(status);
    return false;
}

void TConsoleFace::ShowWatch(const TWatchState& state) {
    if (!status_) ProgressStart(0);
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
                                      GetTickCount64()));
}

void TConsoleFace::ProgressClose() {
    if (status_) WriteStandardText(STD_ERROR_HANDLE, status_->Close());
    status_.reset();
}
