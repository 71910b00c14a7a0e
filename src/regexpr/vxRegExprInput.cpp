#include "vxRegExprInput.h"

#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprOps.h"

#include <cstring>

using namespace vxre;

bool TvxRegInput::IsWordChar(const char* p) const {
    return p < end && syntax_.wordSet[static_cast<unsigned char>(*p)];
}

// The first position from p on whose character may end a "." run, or the end.
const char* TvxRegInput::NextLineStop(const char* p) const {
    if (program_.lineStopLetters.size() <= 2) {
        const char* stop = end;
        for (const char c : program_.lineStopLetters)
            if (const void* found = std::memchr(p, c, size_t(stop - p)))
                stop = static_cast<const char*>(found);
        return stop;
    }
    while (p < end && !program_.lineStops[static_cast<unsigned char>(*p)])
        ++p;
    return p;
}

bool TvxRegInput::IsLineBreakAt(const char* p) const {
    const auto c = static_cast<unsigned char>(*p);
    return (syntax_.pairAssigned && c == syntax_.pairHead && p + 1 < end &&
            static_cast<unsigned char>(p[1]) == syntax_.pairTail) ||
           syntax_.lineBreakSet[c];
}

// The position the given number of characters before p; null before the input's start.
const char* TvxRegInput::StepBack(const char* p, int32_t characters) const {
    if (!syntax_.utf8) return p - start >= characters ? p - characters : nullptr;
    for (int32_t i = 0; i < characters; ++i) {
        if (p <= start) return nullptr;
        p = PrevCharStart(p, start);
    }
    return p;
}

// The bytes of the one character at p that a one-character node matches; 0 when it
// matches none there. Of the literals, those of one byte or one folded character.
int32_t TvxRegInput::MatchedCharWidth(const uint8_t* node, const char* p) const {
    if (p >= end) return 0;
    const auto c = static_cast<unsigned char>(*p);
    const uint8_t* arg = node + NodeHeader;
    switch (node[0]) {
    case opAnyChar:
        return 1;
    case opAnyInLine:
        return !IsLineBreakAt(p);
    case opExact:
        return c == arg[0];
    case opExactCI:
        return c == arg[0] || c == syntax_.flipTable[arg[0]];
    case opDigit:
        return IsDigit(char(c));
    case opNonDigit:
        return !IsDigit(char(c));
    case opInTriple:
        return c == arg[0] || c == arg[1] || c == arg[2];
    case opNotInTriple:
        return c != arg[0] && c != arg[1] && c != arg[2];
    case opInSet:
        return (arg[c >> 3] >> (c & 7)) & 1;
    case opAnyCharU:
        return CharWidth(p, end);
    case opAnyInLineU:
        return IsLineBreakAt(p) ? 0 : CharWidth(p, end);
    case opClassU: {
        int32_t width;
        return ClassHolds(arg, CharAt(p, end, width)) ? width : 0;
    }
    default: { // opExactFold
        const char* q = p;
        return MatchesFolded(arg, q) ? int32_t(q - p) : 0;
    }
    }
}

// Where the character before p starts, p after floor: one byte back in a program of bytes.
const char* TvxRegInput::CharBefore(const uint8_t* node, const char* p, const char* floor) const {
    return HasVariableWidth(node[0]) ? PrevCharStart(p, floor) : p - 1;
}

// A text that folds to the folded text of an opExactFold node.
bool TvxRegInput::MatchesFolded(const uint8_t* text, const char*& cursor) const {
    const std::string_view folded(reinterpret_cast<const char*>(text));
    const char* p = cursor;
    for (size_t pos = 0; pos < folded.size();) {
        if (p >= end) return false;
        int32_t width;
        if (FoldCase(CharAt(p, end, width)) != NextUtf8(folded, pos)) return false;
        p += width;
    }
    cursor = p;
    return true;
}
