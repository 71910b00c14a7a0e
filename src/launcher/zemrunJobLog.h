#pragma once
// The job log of /K:<file>: one tab-separated line per item, appended as the item
// finishes, from which a resumed run (/Z) learns which commands are done.

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxLocalTime.h"
#include "zemrunTry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct TJobRecord {
    std::string item;
    std::string start;    // local time, ISO 8601 with milliseconds
    std::string seconds;  // the run time when the end was waited for, else empty
    std::string exitCode; // when the end was waited for, else empty
    uint32_t error = 0;   // the system's error number when the start failed
    std::string command;
    std::string output; // the file of the program's output, where it is kept
};

// "2026-12-07T19:55:01.123".
std::string LocalTimeText(const TLocalTime& time);
// Milliseconds as seconds with three decimals.
std::string SecondsText(uint64_t milliseconds);

// The columns, and a record as one line without its line end. Line breaks and tabs in
// the texts become blanks, so that a line stays one line of six columns, or of seven
// with the output column after the others, which only a run that keeps output writes.
extern const char* const JobLogHeader;
extern const char* const JobLogOutputColumn;
std::string JobLogLine(const TJobRecord& record, bool outputColumn = false);

class TJobLog {
  public:
    // Reads what the file holds and, to append, opens it; a new or empty file then gets
    // the header line, with the output column where asked. Records are appended in the
    // file's encoding, UTF-8 or UTF-16. Failures throw TvxInOutError.
    enum TUse { ReadOnly, Append };
    TJobLog(const std::string& path, TUse use, bool outputColumn = false);
    // Appends the record's line with one write, so that no line is ever half there.
    void Write(const TJobRecord& record);
    // Whether the log holds the command as started without error and, where its end was
    // waited for, ended with exit code 0: the same arguments, however they were quoted.
    bool Done(const std::string& command) const;

  private:
    std::string ReadAsWritten(const std::string& text) const;
    std::string Encoded(std::string_view text) const;
    void AppendText(const std::string& text);

    std::unordered_set<std::string> done_;
    std::unique_ptr<TvxFileWriter> file_;
    bool outputColumn_;
    uint32_t codePage_ = 0; // UTF-16 where the file is; else 0, as written
    std::string pending_;   // what the file's end needs before the next line
};

constexpr uint32_t PathNotFoundError = 3; // the system's "cannot find the path"

// Writes each try's line once the run is done with it, and the lines of a watched folder
// that went away and came back: the folder as the item, no command, and the system's
// "cannot find the path" while it is away.
class TJobLogReporter : public TRunListener {
  public:
    explicit TJobLogReporter(TJobLog& log) : log_(log) {}
    void TryEnded(TTryEnd& end) override;
    void FolderThere(const std::string& folder, const TLocalTime& at, bool there);

  private:
    TJobLog& log_;
};
