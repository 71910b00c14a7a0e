#include "zemrunWindowFace_win32.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../ui/DlgFailures.h"
#include "../ui/DlgInteractiveU.h"
#include "../ui/DlgLocaleU.h"
#include "../ui/DlgPreview.h"

namespace {
bool Taken(HANDLE event) {
    if (!event || WaitForSingleObject(event, 0) != WAIT_OBJECT_0) return false;
    ResetEvent(event);
    return true;
}

bool IsSet(HANDLE event) {
    return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

void ShowWatchRefused(const TWatchRefused& refused) {
    if (!WindowStationVisible()) return;
    const bool file = refused.why == TWatchRefusal::NotAFolder;
    const std::string text = WatchText(file ? IDS_NOT_A_FOLDER : IDS_ALREADY_WATCHED,
                                       refused.folder, Options().GetLanguageFile());
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(ProcessToUtf16(text).c_str()), L"Zemrun",
                MB_OK | (file ? MB_ICONERROR : MB_ICONINFORMATION));
}
// Where a person can see it: a task scheduled from a script tells by its exit status.
void ShowScheduleNotice(const TScheduleNotice& notice) {
    if (!WindowStationVisible()) return;
    const std::string text =
        ScheduleNoticeText(notice, SystemMessage(notice.error), Options().GetLanguageFile());
    const bool told = notice.kind <= TScheduleNotice::NotScheduled;
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(ProcessToUtf16(text).c_str()), L"Zemrun",
                MB_OK | (told ? MB_ICONINFORMATION : MB_ICONERROR));
}
} // namespace

std::vector<TFailureRow> FailureRows(const std::vector<TFailedItem>& failed,
                                     const std::string& language) {
    std::vector<TFailureRow> rows;
    for (const TFailedItem& item : failed)
        rows.push_back({item.item, std::to_string(item.tries),
                        FailureReason(item, SystemMessage(item.error), language), item.output});
    return rows;
}

void TWindowFace::ShowUsage() {
    const std::string version = FileVersionText(ProgramPath());
    std::string caption = "Zemrun ";
    if (!version.empty()) caption += " Ver." + version;
    const std::string text = LangString(Options().GetLanguageFile(), IDS_USAGE);
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void TWindowFace::Tell(const TNotice& notice) {
    if (const auto* encoding = std::get_if<TUnknownEncoding>(&notice))
        ShowUnknownEncodingMessage(nullptr, encoding->name);
    if (const auto* refused = std::get_if<TWatchRefused>(&notice)) ShowWatchRefused(*refused);
    if (const auto* schedule = std::get_if<TScheduleNotice>(&notice)) ShowScheduleNotice(*schedule);
}

bool TWindowFace::EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) {
    return ::EditSettingsDialog(settings, preview);
}

bool TWindowFace::ConfirmCommands(const std::vector<std::string>& commands) {
    return PreviewDialog(nullptr, commands, true);
}

bool TWindowFace::ProgressStart(int32_t items) {
    // Found once: finding it looks at the file system.
    progressLanguage_ = Options().GetLanguageFile();
    if (!progress_.Start(progressLanguage_)) return false;
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetRange(0, items);
    progress_.SetPos(0);
    progress_.SetText(std::string());
    return true;
}

void TWindowFace::TryStarted(const TTry& tried) {
    if (!progress_.Window()) return;
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetText(tried.command.parameters);
    progress_.SetPos(tried.index);
}

void TWindowFace::StatusChanged(const TBatchStatus& status) {
    if (!progress_.Window()) return;
    const TPhaseClock clock(phases_, TPhase::WindowUpdates);
    progress_.SetStatus(BatchStatusText(status, progressLanguage_));
}

TUserSignals TWindowFace::TakeSignals() {
    return {IsSet(progress_.CancelEvent()), Taken(progress_.SkipEvent()), IsSet(stopEvent_.Get()),
            Taken(runAgainEvent_.Get())};
}

bool TWindowFace::ShowFailures(const TBatchStatus& status, const std::vector<TFailedItem>& failed) {
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

void TWindowFace::ShowWatch(const TWatchState& state) {
    if (!watchIconTried_) {
        watchIconTried_ = true;
        watchLanguage_ = Options().GetLanguageFile();
        // Manual reset: the wait for the folder's change that they end leaves them set.
        stopEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        runAgainEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (WindowStationVisible())
            watchIcon_.Start(state.folder, state.jobLog, stopEvent_.Get(), runAgainEvent_.Get(),
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
