#pragma once
// The text that a search reads, with the settings of the program it searches by: word
// characters, line breaks, and the widths of characters. Defined here, for the matcher's
// every step to inline them.

#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprOps.h"
#include "vxRegExprProgram.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace vxre {
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
    bool PairAt(const char* p) const;
    bool AtLineStart(const char* p) const;
    bool AtLineEnd(const char* p) const;
    bool AtWordEdge(const char* p) const;
    // So many characters before p.
    const char* StepBack(const char* p, int32_t characters) const;
    // The bytes of the character at p that the node of one UTF-8 character matches; 0 when
    // it does not match.
    int32_t MatchedCharWidth(const uint8_t* node, const char* p) const;
    // The start of the character before p that the node matched, not before floor.
    const char* CharBefore(const uint8_t* node, const char* p, const char* floor) const;

    // Each of these matches from cursor on, which then is past what it matched.
    // The one character that a one-character node matches.
    bool MatchesChar(const uint8_t* node, const char*& cursor) const;
    // The zero-terminated text of an opExact node; an empty one matches the end only.
    bool MatchesLiteral(const uint8_t* text, const char*& cursor) const;
    // The text of an opExactCI node, each character or its other case.
    bool MatchesCaseless(const uint8_t* text, const char*& cursor) const;
    // A text that folds to the folded text of an opExactFold node.
    bool MatchesFolded(const uint8_t* text, const char*& cursor) const;
    // The text from..to of a group again, null when the group has none; with foldCase,
    // each byte may be its other case.
    bool MatchesAgain(const char* from, const char* to, bool foldCase, const char*& cursor) const;
    // The same, character by character as Unicode folds them: the two may differ in bytes
    // (k and the Kelvin sign).
    bool MatchesAgainFolded(const char* from, const char* to, const char*& cursor) const;

  private:
    const TvxRegProgram& program_;
    const TvxRegSyntax& syntax_;
};

inline bool TvxRegInput::IsWordChar(const char* p) const {
    return p < end && syntax_.wordSet[static_cast<unsigned char>(*p)];
}

// The first position from p on whose character may end a "." run, or the end.
inline const char* TvxRegInput::NextLineStop(const char* p) const {
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

// The pair's two characters at p and p + 1, where a pair is set.
inline bool TvxRegInput::PairAt(const char* p) const {
    return syntax_.pairAssigned && p + 1 < end &&
           static_cast<unsigned char>(p[0]) == syntax_.pairHead &&
           static_cast<unsigned char>(p[1]) == syntax_.pairTail;
}

inline bool TvxRegInput::IsLineBreakAt(const char* p) const {
    return PairAt(p) || syntax_.lineBreakSet[static_cast<unsigned char>(*p)];
}

// At the start of the text or of a line: after a line break, but not between the two
// characters of the pair.
inline bool TvxRegInput::AtLineStart(const char* p) const {
    if (p == start || (p - 1 > start && PairAt(p - 2))) return true;
    return !PairAt(p - 1) && syntax_.lineBreakSet[static_cast<unsigned char>(p[-1])];
}

// At the end of the text or of a line: before a line break, but not between the two
// characters of the pair.
inline bool TvxRegInput::AtLineEnd(const char* p) const {
    if (p >= end || PairAt(p)) return true;
    return !(p > start && PairAt(p - 1)) && syntax_.lineBreakSet[static_cast<unsigned char>(*p)];
}

// Between a word character and another one, or the text's start or end.
inline bool TvxRegInput::AtWordEdge(const char* p) const {
    const bool previousIsWord = p > start && syntax_.wordSet[static_cast<unsigned char>(p[-1])];
    return previousIsWord != IsWordChar(p);
}

// The position the given number of characters before p; null before the input's start.
inline const char* TvxRegInput::StepBack(const char* p, int32_t characters) const {
    if (!syntax_.utf8) return p - start >= characters ? p - characters : nullptr;
    for (int32_t i = 0; i < characters; ++i) {
        if (p <= start) return nullptr;
        p = PrevCharStart(p, start);
    }
    return p;
}

// The bytes of the one character at p that a one-character node matches; 0 when it
// matches none there. Of the literals, those of one byte or one folded character.
inline int32_t TvxRegInput::MatchedCharWidth(const uint8_t* node, const char* p) const {
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
inline const char* TvxRegInput::CharBefore(const uint8_t* node, const char* p,
                                           const char* floor) const {
    return HasVariableWidth(node[0]) ? PrevCharStart(p, floor) : p - 1;
}

inline bool TvxRegInput::MatchesChar(const uint8_t* node, const char*& cursor) const {
    const int32_t width = MatchedCharWidth(node, cursor);
    cursor += width;
    return width != 0;
}

// The zero after the text's end equals no literal character, and ends an empty literal.
inline bool TvxRegInput::MatchesLiteral(const uint8_t* text, const char*& cursor) const {
    if (text[0] == 0) return cursor >= end;
    const char* p = cursor;
    for (const uint8_t* t = text; *t; ++t, ++p)
        if (static_cast<unsigned char>(*p) != *t) return false;
    cursor = p;
    return true;
}

inline bool TvxRegInput::MatchesCaseless(const uint8_t* text, const char*& cursor) const {
    const char* p = cursor;
    for (const uint8_t* t = text; *t; ++t, ++p) {
        if (p >= end) return false;
        const auto c = static_cast<unsigned char>(*p);
        if (c != *t && c != syntax_.flipTable[*t]) return false;
    }
    cursor = p;
    return true;
}

inline bool TvxRegInput::MatchesAgain(const char* from, const char* to, bool foldCase,
                                      const char*& cursor) const {
    if (!from || !to) return false;
    const char* p = cursor;
    for (const char* g = from; g < to; ++g, ++p) {
        if (p >= end) return false;
        const auto gc = static_cast<unsigned char>(*g), ic = static_cast<unsigned char>(*p);
        if (ic != gc && !(foldCase && ic == syntax_.flipTable[gc])) return false;
    }
    cursor = p;
    return true;
}

inline bool TvxRegInput::MatchesAgainFolded(const char* from, const char* to,
                                            const char*& cursor) const {
    if (!from || !to) return false;
    const char* p = cursor;
    for (const char* g = from; g < to;) {
        if (p >= end) return false;
        int32_t groupWidth, inputWidth;
        if (FoldCase(CharAt(g, to, groupWidth)) != FoldCase(CharAt(p, end, inputWidth)))
            return false;
        g += groupWidth;
        p += inputWidth;
    }
    cursor = p;
    return true;
}

inline bool TvxRegInput::MatchesFolded(const uint8_t* text, const char*& cursor) const {
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
} // namespace vxre
