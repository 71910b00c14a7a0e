#include "zemrunRunSettings.h"

#include "../foundation/vxStrUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

void SetDefaultOptions(TOptions& options) {
    options.List.clear();
    options.Exe.clear();
    options.BParam.clear();
    options.Eparam.clear();
    options.RegExp.clear();
    options.WaitOpen = true;
    options.WaitClose = false;
    options.ShellExecute = false;
    options.FirstPause = 1000;
    options.GUI = 1;
    options.Window = 1;
    options.Priority = 0;
    options.Jobs = 1;
    options.JobsPercent = 0;
    options.JobLog.clear();
    options.Resume = false;
    options.Encoding.clear();
    options.TimeLimit = 0;
    options.Retries = 0;
    options.ItemsPerCommand = 1;
    options.ShowFailures = ShowFailuresByEntry;
    options.Halt = NoHalt;
    options.OutputFolder.clear();
    options.WatchFolder.clear();
    options.SettleTime = DefaultSettleTime;
    options.Match.clear();
    options.Subfolders = false;
    options.DoneFolder.clear();
    options.FailedFolder.clear();
    options.MemFree = 0;
    options.LoadLimit = NoLoadLimit;
    options.Delay = 0;
    options.Environment.clear();
    options.Items.clear();
}

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number of decimal digits with an optional fraction after a point, and what follows it.
bool ReadDecimal(std::string_view text, double& number, std::string_view& rest) {
    size_t pos = 0;
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    size_t end = pos;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && IsDigit(text[end]))
            ++end;
    }
    if (pos == 0 && end <= 1) return false;
    number = std::strtod(std::string(text.substr(0, end)).c_str(), nullptr);
    rest = text.substr(end);
    return true;
}
} // namespace

void ReadJobs(std::string_view text, TOptions& settings) {
    const std::string value = Trim(text);
    if (value.empty() || value.back() != '%') {
        settings.Jobs = ReadInteger(value);
        settings.JobsPercent = 0;
        return;
    }
    const std::string number = value.substr(0, value.size() - 1);
    if (!std::all_of(number.begin(), number.end(), IsDigit) || number.size() > 6) return;
    // "%" and "0%" are a share too small for a processor: at least one job.
    settings.JobsPercent = std::max(ReadInteger(number), 1);
}

std::string JobsText(const TOptions& settings) {
    if (settings.JobsPercent > 0) return std::to_string(settings.JobsPercent) + "%";
    return std::to_string(settings.Jobs);
}

int32_t JobsOn(const TOptions& settings, int32_t processors) {
    if (settings.JobsPercent <= 0) return settings.Jobs;
    const int64_t jobs = int64_t(std::max(processors, 1)) * settings.JobsPercent / 100;
    return int32_t(std::clamp<int64_t>(jobs, 1, INT32_MAX));
}

std::optional<uint64_t> ReadSize(std::string_view text) {
    const std::string value = AnsiUpperCase(Trim(text));
    double number = 0;
    std::string_view unit;
    if (!ReadDecimal(value, number, unit)) return std::nullopt;
    if (!unit.empty() && unit.back() == 'B') unit.remove_suffix(1);
    constexpr std::string_view Units = "KMGT";
    double bytes = number;
    if (!unit.empty()) {
        const size_t power = Units.find(unit);
        if (unit.size() != 1 || power == std::string_view::npos) return std::nullopt;
        bytes *= std::pow(1024.0, double(power + 1));
    }
    if (bytes >= 18446744073709551615.0) return UINT64_MAX;
    return uint64_t(bytes);
}

std::string SizeText(uint64_t bytes) {
    constexpr const char* Units[] = {"T", "G", "M", "K"};
    for (int i = 0; i < 4; ++i) {
        const uint64_t unit = uint64_t(1) << (10 * (4 - i));
        if (bytes != 0 && bytes % unit == 0) return std::to_string(bytes / unit) + Units[i];
    }
    return std::to_string(bytes);
}

std::optional<int32_t> ReadSeconds(std::string_view text) {
    const std::string value = Trim(text);
    double seconds = 0;
    std::string_view rest;
    if (!ReadDecimal(value, seconds, rest) || !rest.empty()) return std::nullopt;
    return int32_t(std::min(std::round(seconds * 1000), double(INT32_MAX)));
}

std::string SecondsText(int32_t milliseconds) {
    std::string text = std::to_string(milliseconds / 1000);
    if (const int32_t rest = milliseconds % 1000) {
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", int(rest));
        text += fraction;
        while (text.back() == '0')
            text.pop_back();
    }
    return text;
}

bool IsEnvironmentEntry(std::string_view entry) {
    const size_t equals = entry.find('=');
    return equals != std::string_view::npos && equals > 0 &&
           entry.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string EnvironmentText(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) {
        if (!IsEnvironmentEntry(entry)) continue;
        if (!text.empty()) text += "\r\n";
        text += entry;
    }
    return text;
}

std::vector<std::string> ReadEnvironment(std::string_view text) {
    std::vector<std::string> entries;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(from, end - from);
        if (IsEnvironmentEntry(line)) entries.emplace_back(line);
        from = end + 1;
    }
    return entries;
}
