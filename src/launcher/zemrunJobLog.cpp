#include "zemrunJobLog.h"

#include "../foundation/vxStringList.h"

#include <cstdio>

const char* const JobLogHeader = "Item\tStart\tSeconds\tExitCode\tError\tCommand";
const char* const JobLogOutputColumn = "Output";

namespace {
// The columns that a resumed run reads, where every log has them.
enum TColumn { ExitCodeColumn = 3, ErrorColumn = 4, CommandColumn = 5, ColumnsRead };

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return text;
}

// The columns of a line up to the command; false for a line that has fewer. The command
// ends at the next tab, where an output column follows.
bool SplitColumns(const std::string& line, std::string (&columns)[ColumnsRead]) {
    size_t start = 0;
    for (size_t i = 0; i < ColumnsRead; ++i) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string::npos && i + 1 < ColumnsRead) return false;
        columns[i] = line.substr(start, tab == std::string::npos ? tab : tab - start);
        start = tab + 1;
    }
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

std::string JobLogLine(const TJobRecord& record, bool outputColumn) {
    std::string line = OneLine(record.item) + "\t" + record.start + "\t" + record.seconds + "\t" +
                       record.exitCode + "\t" + std::to_string(record.error) + "\t" +
                       OneLine(record.command);
    if (outputColumn) {
        line += '\t';
        line += OneLine(record.output);
    }
    return line;
}

TJobLog::TJobLog(const std::string& path, TUse use, bool outputColumn)
    : outputColumn_(outputColumn) {
    TvxStringList lines;
    if (PathExists(path)) lines.LoadFromFile(path);
    for (int32_t i = 1; i < lines.Count(); ++i) {
        std::string columns[ColumnsRead];
        if (!SplitColumns(lines.Strings(i), columns)) continue;
        const std::string& exitCode = columns[ExitCodeColumn];
        if (columns[ErrorColumn] == "0" && (exitCode.empty() || exitCode == "0"))
            done_.insert(columns[CommandColumn]);
    }
    if (use == ReadOnly) return;
    file_ = std::make_unique<TvxFileWriter>(path, TvxFileWriter::Append);
    if (lines.Count() == 0)
        file_->Write(std::string(JobLogHeader) +
                     (outputColumn ? std::string("\t") + JobLogOutputColumn : std::string()) +
                     "\r\n");
}

void TJobLog::Write(const TJobRecord& record) {
    if (file_) file_->Write(JobLogLine(record, outputColumn_) + "\r\n");
}

bool TJobLog::Done(const std::string& command) const {
    return done_.count(OneLine(command)) != 0;
}
