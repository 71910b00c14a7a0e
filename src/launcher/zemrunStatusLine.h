#pragma once
// The console face's status line: on a console one line rewritten in place; where standard
// error is a file or a pipe, a line at most once a second when the status changed, and the
// last status at the end.

#include <cstddef>
#include <cstdint>
#include <string>

class TStatusLine {
  public:
    static constexpr uint64_t RedirectedMilliseconds = 1000;
    explicit TStatusLine(bool console) : console_(console) {}
    // What to write for the status text at that time (milliseconds); empty for nothing.
    std::string Update(const std::string& text, uint64_t now);
    // What takes the line off the console before a program writes there: the next Update
    // shows it again on the line after that output (where redirected, writes it again).
    std::string Clear();
    // What to write when the run ends.
    std::string Close();

  private:
    bool console_;
    size_t shownLength_ = 0; // of the line on the console, in UTF-16 units
    std::string pending_;    // the newest status not yet written, where redirected
    std::string lastWritten_;
    uint64_t lastWrite_ = 0;
    bool written_ = false;
};
