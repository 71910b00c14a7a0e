#include "zemrunJobLog.h"

#include "../foundation/vxCommandLine.h"
#include "../foundation/vxTextCodec.h"

#include <cstdio>
#include <vector>

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

std::string FileBytes(const std::string& path) {
    std::string bytes;
    if (!PathExists(path)) return bytes;
    TvxFileReader file(path);
    std::vector<char> buffer(256 * 1024);
    for (size_t got; (got = file.Read(buffer.data(), buffer.size())) > 0;)
        bytes.append(buffer.data(), got);
    return bytes;
}

// The text in the process code page.
std::string InProcessPage(std::string_view text, uint32_t codePage) {
    if (codePage == ProcessCodePage()) return std::string(text);
    return FromUtf16(ToUtf16(text, codePage), ProcessCodePage());
}

// The lines of the log's text, at CR LF, CR or LF. Unlike a list, a log has no end mark: a
// control-Z in garbage before the last records must not hide them.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}
// A command by its arguments as the system splits them, so that one that an earlier version
// quoted otherwise (a name with ( or & but no blank, which cmd now gets in quotes) is still
// the same command.
std::string CommandKey(const std::string& command) {
    std::string key;
    for (const std::string& argument : SplitArguments(OneLine(command))) {
        key += argument;
        key += '\0';
    }
    return key;
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
    const std::string bytes = FileBytes(path);
    const TvxTextFormat format = DetectTextFormat(bytes, true);
    if (IsUtf16(format.codePage)) codePage_ = format.codePage;
    const std::string_view content = std::string_view(bytes).substr(format.markSize);
    const std::string text =
        IsUtf16(codePage_) ? InProcessPage(content, codePage_) : std::string(content);
    const std::vector<std::string> lines = SplitLines(text);
    for (const std::string& line : lines) {
        std::string columns[ColumnsRead];
        if (!SplitColumns(line, columns)) continue;
        const std::string& exitCode = columns[ExitCodeColumn];
        // The header's error column is a word, so it never counts as done.
        if (columns[ErrorColumn] == "0" && (exitCode.empty() || exitCode == "0"))
            done_.insert(CommandKey(ReadAsWritten(columns[CommandColumn])));
    }
    if (use == ReadOnly) return;
    // A UTF-16 log cut inside a character is padded, so that what follows is read aligned;
    // a log cut inside a line gets a line break, so that no record is glued to its rest.
    if (IsUtf16(codePage_) && content.size() % 2) pending_ += '\0';
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') pending_ += Encoded("\r\n");
    file_ = std::make_unique<TvxFileWriter>(path, TvxFileWriter::Append);
    if (lines.empty())
        AppendText(std::string(JobLogHeader) +
                   (outputColumn ? std::string("\t") + JobLogOutputColumn : std::string()) +
                   "\r\n");
}

// A command as the log holds it, in the process code page. Logs are written in UTF-8 (or
// UTF-16, decoded before); a text that is no UTF-8 was written in the legacy ANSI page, or
// is garbage that matches nothing either way.
std::string TJobLog::ReadAsWritten(const std::string& text) const {
    if (IsUtf16(codePage_)) return text;
    return InProcessPage(text, IsValidUtf8(text) ? codepage::Utf8 : LegacyAnsiCodePage());
}

// The text in the file's encoding.
std::string TJobLog::Encoded(std::string_view text) const {
    return IsUtf16(codePage_) ? FromUtf16(ProcessToUtf16(text), codePage_) : std::string(text);
}

// One write of the text, after what the file's end still needed.
void TJobLog::AppendText(const std::string& text) {
    file_->Write(std::exchange(pending_, std::string()) + Encoded(text));
}

void TJobLog::Write(const TJobRecord& record) {
    if (file_) AppendText(JobLogLine(record, outputColumn_) + "\r\n");
}

bool TJobLog::Done(const std::string& command) const {
    return done_.count(CommandKey(command)) != 0;
}

void TJobLogReporter::TryEnded(TTryEnd& end) {
    const TStartCommand& command = end.tried.command;
    log_.Write({end.tried.items, LocalTimeText(end.startTime),
                end.waited ? SecondsText(end.runTime) : std::string(),
                end.waited ? std::to_string(end.exitCode) : std::string(), end.error,
                StarterCommand(command), command.keepOutput ? std::string() : command.output});
}

void TJobLogReporter::FolderThere(const std::string& folder, const TLocalTime& at, bool there) {
    TJobRecord record;
    record.item = folder;
    record.start = LocalTimeText(at);
    record.error = there ? 0 : PathNotFoundError;
    log_.Write(record);
}
