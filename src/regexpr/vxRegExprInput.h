#pragma once
// The text that a search reads, with the settings of the program it searches by: word
// characters, line breaks, and the widths of characters.

#include "vxRegExprProgram.h"

#include <cstdint>

class TvxRegInput {
  public:
    explicit TvxRegInput(const TvxRegProgram& program)
        : program_(program), syntax_(program.syntax) {}
    // The text; a zero byte follows end.
    const char* start = nullptr;
    const char* end = nullptr;

    bool IsWordChar(const char* p) const;
    // The first position from p on whose character may end a "." run, or the end.
    const char* NextLineStop(const char* p) const;
    bool IsLineBreakAt(const char* p) const;
    // So many characters before p.
    const char* StepBack(const char* p, int32_t characters) const;
    // The bytes of the character at p that the node of one UTF-8 character matches; 0 when
    // it does not match.
    int32_t MatchedCharWidth(const uint8_t* node, const char* p) const;
    // The start of the character before p that the node matched, not before floor.
    const char* CharBefore(const uint8_t* node, const char* p, const char* floor) const;
    // A text that folds to the folded text of an opExactFold node, from cursor on, which
    // then is past it.
    bool MatchesFolded(const uint8_t* text, const char*& cursor) const;

  private:
    const TvxRegProgram& program_;
    const TvxRegSyntax& syntax_;
};
