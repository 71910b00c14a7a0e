#include "zemrunJobLog.h"

#include "../foundation/vxStringList.h"

#include <cstdio>

const char* const JobLogHeader = "Item\tStart\tSeconds\tExitCode\tError\tCommand";

namespace {
constexpr size_t ColumnCount = 6;

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return text;
}

// The six columns of a line; false for a line that has fewer.
bool SplitColumns(const std::string& line, std::string (&columns)[ColumnCount]) {
    size_t start = 0;
    for (size_t i = 0; i + 1 < ColumnCount; ++i) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string::npos) return false;
        columns[i] = line.substr(start, tab - start);
        start = tab + 1;
    }
    columns[ColumnCount - 1] = line.substr(start);
    return true;
}
} // namespace

std::string LocalTimeText(const TLocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
    return text;
}

std::string SecondsText(uint64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03u",
                  static_cast<unsigned long long>(milliseconds / 1000),
                  unsigned(milliseconds % 1000));
    return text;
}

std::string JobLogLine(const TJobRecord& record) {
    return OneLine(record.item) + "\t" + record.start + "\t" + record.seconds + "\t" +
           record.exitCode + "\t" + std::to_string(record.error) + "\t" + OneLine(record.command);
}

TJobLog::TJobLog(const std::string& path, TUse use) {
    TvxStringList lines;
    if (PathExists(path)) lines.LoadFromFile(path);
    for (int32_t i = 1; i < lines.Count(); ++i) {
        std::string columns[ColumnCount];
        if (!SplitColumns(lines.Strings(i), columns)) continue;
        if (columns[4] == "0" && (columns[3].empty() || columns[3] == "0"))
            done_.insert(columns[5]);
    }
    if (use == ReadOnly) return;
    file_ = std::make_unique<TvxFileWriter>(path, TvxFileWriter::Append);
    if (lines.Count() == 0) file_->Write(std::string(JobLogHeader) + "\r\n");
}

void TJobLog::Write(const TJobRecord& record) {
    if (file_) file_->Write(JobLogLine(record) + "\r\n");
}

bool TJobLog::Done(const std::string& command) const {
    return done_.count(OneLine(command)) != 0;
}
