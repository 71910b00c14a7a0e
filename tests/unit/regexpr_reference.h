#pragma once
// A plainly recursive transcription of the matcher, kept in the test tree only: it runs
// the program that the production compiler built and must find exactly the match that
// the production matcher finds.

#include "regexpr/vxRegExpr.h"

#include <array>
#include <string>

class TReferenceMatcher {
public:
    explicit TReferenceMatcher(const TvxRegExpr& compiled) : re_(compiled) {}
    // Searches from the start of input with the object's default settings; fills the
    // group positions (-1 for none) on success.
    bool Search(const std::string& input);
    std::array<int, TvxRegExpr::GroupSlots> starts{}, ends{};

private:
    bool TryAt(const char* p);
    bool MatchPrim(const uint8_t* node);
    int RegRepeat(const uint8_t* operand, int max);
    bool BackRef(int n, bool foldCase, const char*& p) const;
    bool IsLineBreak(unsigned char c) const { return c == '\r' || c == '\n'; }
    bool IsWord(const char* p) const;

    const TvxRegExpr& re_;
    const char* cursor_ = nullptr;
    const char* start_ = nullptr;
    const char* end_ = nullptr;
    std::array<const char*, TvxRegExpr::GroupSlots> gs_{}, ge_{};
    std::array<int, 11> counters_{};
    int depth_ = 0;
    int calls_ = 0;

public:
    // Set when the recursion went too deep for this test matcher; the case is then skipped.
    bool tooDeep = false;
};

// A readable listing of a compiled program, one node per line.
std::string DumpProgram(std::string_view program);
