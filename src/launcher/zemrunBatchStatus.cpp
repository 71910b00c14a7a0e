#include "zemrunBatchStatus.h"

#include "../resources/zemrunIds.h"
#include "../ui/DlgLocaleU.h"
#include "zemrunCommand.h"
#include "zemrunFace.h"

#include <algorithm>
#include <cstdio>

namespace {
std::string DurationText(int64_t seconds, const std::string& languageFile) {
    constexpr int64_t Minute = 60, TwoHours = 2 * 60 * 60;
    if (seconds < Minute)
        return FillIn(LangString(languageFile, IDS_SECONDS_LEFT), {std::to_string(seconds)});
    if (seconds < TwoHours)
        return FillIn(LangString(languageFile, IDS_MINUTES_LEFT),
                      {std::to_string((seconds + Minute / 2) / Minute)});
    return FillIn(LangString(languageFile, IDS_HOURS_LEFT),
                  {std::to_string((seconds + 30 * Minute) / (60 * Minute))});
}
// "; waiting for memory: 1.2 GB free of 2 GB asked", where a rule holds the next start back.
std::string HeldText(const THeldStart& held, const std::string& languageFile) {
    switch (held.rule) {
    case THeldStart::Memory:
        return "; " + FillIn(LangString(languageFile, IDS_WAITING_MEMORY),
                             {MemoryText(held.have), MemoryText(held.asked)});
    case THeldStart::Load:
        return "; " + FillIn(LangString(languageFile, IDS_WAITING_LOAD),
                             {std::to_string(held.have), std::to_string(held.asked)});
    case THeldStart::Delay: {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", double(held.have) / 1000.0);
        return "; " + FillIn(LangString(languageFile, IDS_WAITING_DELAY), {seconds});
    }
    default:
        return {};
    }
}
} // namespace

std::string MemoryText(uint64_t bytes) {
    constexpr uint64_t Megabyte = uint64_t(1) << 20, Gigabyte = uint64_t(1) << 30;
    const bool gigabytes = bytes >= Gigabyte;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f",
                  double(bytes) / double(gigabytes ? Gigabyte : Megabyte));
    std::string number = text;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, ".0") == 0)
        number.resize(number.size() - 2);
    return number + (gigabytes ? " GB" : " MB");
}

int64_t EstimateSecondsLeft(uint64_t endedMilliseconds, int32_t ended, int32_t remaining,
                            int32_t jobs) {
    if (ended <= 0) return -1;
    const double perItem = double(endedMilliseconds) / ended;
    const double rounds = double(std::max(remaining, 0)) / std::max(jobs, 1);
    return int64_t(perItem * rounds / 1000.0 + 0.5);
}

std::string BatchStatusText(const TBatchStatus& status, const std::string& languageFile) {
    std::string text = FillIn(
        LangString(languageFile, IDS_BATCH_DONE),
        {std::to_string(status.done), std::to_string(status.all), std::to_string(status.failed)});
    if (status.secondsLeft >= 0)
        text += FillIn(LangString(languageFile, IDS_BATCH_LEFT),
                       {DurationText(status.secondsLeft, languageFile)});
    return text + HeldText(status.held, languageFile);
}

std::string WatchStatusText(const std::string& folder, const TBatchStatus& status, bool folderThere,
                            const std::string& languageFile) {
    return FillIn(LangString(languageFile, folderThere ? IDS_WATCHING : IDS_WAITING_FOR_FOLDER),
                  {folder, std::to_string(status.done), std::to_string(status.failed)}) +
           HeldText(status.held, languageFile);
}

std::string WatchText(int32_t textId, const std::string& name, const std::string& languageFile) {
    return FillIn(LangString(languageFile, textId), {name});
}

std::string FailureReason(const TFailedItem& failed, const std::string& systemText,
                          const std::string& languageFile) {
    if (failed.error == TimeLimitError)
        return FillIn(LangString(languageFile, IDS_ENDED_AFTER_TIME_LIMIT),
                      {std::to_string(failed.timeLimit)});
    if (failed.error == UnpassableItemError) return LangString(languageFile, IDS_CMD_CANNOT_PASS);
    if (failed.error != 0) return systemText;
    std::string code = std::to_string(failed.exitCode);
    // Warnings and errors of the system have the top bit set: 0x80000000 and above.
    if (failed.exitCode >= 0x80000000u) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " (0x%08X)", unsigned(failed.exitCode));
        code += hex;
    }
    return FillIn(LangString(languageFile, IDS_EXIT_CODE), {code});
}

uint32_t BatchExitStatus(int32_t failed) {
    if (failed <= 0) return 0;
    return failed <= int32_t(MaxCountedFailures) ? uint32_t(failed) : MaxCountedFailures + 1;
}

std::string ScheduleNoticeText(const TScheduleNotice& notice, const std::string& systemText,
                               const std::string& languageFile) {
    const auto text = [&](int32_t id, std::initializer_list<std::string> values) {
        return FillIn(LangString(languageFile, id), values);
    };
    switch (notice.kind) {
    case TScheduleNotice::Registered:
    case TScheduleNotice::Shown:
        return text(IDS_SCHEDULE_SET, {notice.project, notice.text});
    case TScheduleNotice::Removed:
        return text(IDS_SCHEDULE_REMOVED, {notice.project});
    case TScheduleNotice::NotScheduled:
        return text(IDS_SCHEDULE_NONE, {notice.project});
    case TScheduleNotice::ProjectGone:
        return text(IDS_SCHEDULE_GONE, {notice.project, notice.text});
    case TScheduleNotice::BadForm:
        return text(IDS_SCHEDULE_BAD, {notice.text});
    case TScheduleNotice::NoProject:
        return text(IDS_SCHEDULE_NO_PROJECT, {notice.project});
    case TScheduleNotice::NeedsProject:
        return text(IDS_SCHEDULE_NEEDS_PROJECT, {});
    case TScheduleNotice::QuoteInName:
        return text(IDS_SCHEDULE_QUOTE, {notice.project});
    case TScheduleNotice::VariableInName:
        return text(IDS_SCHEDULE_VARIABLE, {notice.project});
    default:
        return text(IDS_SCHEDULE_FAILED, {notice.project, systemText});
    }
}
