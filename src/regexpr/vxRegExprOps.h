#pragma once
// The compiled program's opcodes and node layout. Every node starts with a 5-byte header:
// the opcode and a signed little-endian offset to the next node (0 = none).

#include "../foundation/vxTextCodec.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace vxre {

enum : uint8_t {
    opEnd = 0,          // end of the program: success
    opBeginText = 1,    // empty, at the first character of the input only
    opEndText = 2,      // empty, at the end of the input only
    opAnyChar = 3,      // any one character but the end
    opBranch = 6,       // an alternative at offset 5; next leads to the next alternative
    opBack = 7,         // nothing; its next link points backward
    opExact = 8,        // a zero-terminated literal text, case-sensitive
    opEmpty = 9,        // the empty string
    opStar = 10,        // single-character operand at 5, zero or more, greedy
    opPlus = 11,        // single-character operand at 5, one or more, greedy
    opDigit = 12,       // one of 0-9
    opNonDigit = 13,    // one character that is no digit and not the end
    opBraces = 18,      // min, max (4 bytes each), operand at 13, greedy
    opNoOp = 19,        // the empty string (comments, free-spacing blanks, modifiers)
    opExactCI = 20,     // a zero-terminated literal text, each character or its other case
    opLoopEntry = 23,   // starts a loop: next is the loop node, the body follows at 5
    opLoop = 24,        // min, max, back offset to the body: end of a greedy iteration
    opInTriple = 25,    // one of 3 characters
    opNotInTriple = 26, // none of 3 characters, not the end
    opInSet = 27,       // a 32-byte set
    opBackRef = 28,     // 1 byte: group number
    opBackRefCI = 29,   // the same, folding case
    opStarShort = 30,   // as opStar, as few as possible first
    opPlusShort = 31,   // as opPlus, as few as possible first
    opBracesShort = 32, // as opBraces, as few as possible first
    opLoopShort = 33,   // as opLoop, non-greedy
    opLineStart = 34,   // empty, at the start of the input or of a line
    opLineEnd = 35,     // empty, at the end of the input or of a line
    opAnyInLine = 36,   // any one character but the end and line breaks
    opWordEdge = 37,    // empty, between a word and a non-word character
    opNotWordEdge = 38, // empty, not at such a boundary
    opOpenBase = 39,    // opOpen n = 39 + n, n = 1..14
    opCloseBase = 54,   // opClose n = 54 + n
    // Programs of UTF-8 texts: one character is one to four bytes.
    opAnyCharU = 69,    // any one character but the end
    opAnyInLineU = 70,  // any one character but the end and line breaks
    opClassU = 71,      // one character of a class: a 32-byte set of 0-255, a count, ranges
    opExactFold = 72,   // a zero-terminated folded text: any text that folds to it
    opBackRefFold = 73, // 1 byte: group number; the group's text, compared folded
    // Assertions and atomic groups: a body run on its own, which ends at opAssertEnd. The
    // byte at 5 tells whether the body sets groups or runs loops (StateBodyFlag).
    opAtomic = 74,    // the body at 6 matched once, its other ways given up
    opAhead = 75,     // empty, where the body at 6 matches
    opNotAhead = 76,  // empty, where the body at 6 does not match
    opBehind = 77,    // empty, where an alternative matches that ends here: from 6 on,
                      // each alternative's length in characters, its block size, its body;
                      // a length of -1 ends the list
    opNotBehind = 78, // empty, where no such alternative matches
    opAssertEnd = 79, // the end of a body: it matched
};

constexpr int32_t NodeHeader = 5;
// Where an assertion's body, or its first look-behind alternative, begins.
constexpr int32_t AssertionHeader = NodeHeader + 1;
constexpr int32_t BracesHeader = 13;
constexpr int32_t UnboundedCount = 0x7FFFFFFE;
constexpr uint8_t ProgramSignature = 216;

inline int32_t ReadInt(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}
inline void WriteInt(uint8_t* p, int32_t value) {
    const uint32_t v = uint32_t(value);
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline const uint8_t* NextNode(const uint8_t* node) {
    const int32_t link = ReadInt(node + 1);
    return link ? node + link : nullptr;
}
// The characters that opClassU holds: code points 0-255 in a 32-byte set, then the count
// of ranges above 255 and each range's first and last code point, in ascending order.
constexpr int32_t ClassSetBytes = 32;
inline int32_t ClassOperandSize(int32_t ranges) {
    return ClassSetBytes + 4 + 8 * ranges;
}
inline bool ClassHolds(const uint8_t* operand, char32_t c) {
    if (c < 256) return (operand[c >> 3] >> (c & 7)) & 1;
    const uint8_t* ranges = operand + ClassSetBytes + 4;
    for (int32_t low = 0, high = ReadInt(operand + ClassSetBytes); low < high;) {
        const int32_t middle = (low + high) / 2;
        if (c < char32_t(ReadInt(ranges + 8 * middle)))
            high = middle;
        else if (c > char32_t(ReadInt(ranges + 8 * middle + 4)))
            low = middle + 1;
        else
            return true;
    }
    return false;
}

// One-character nodes of UTF-8 programs, whose width in bytes varies.
inline bool HasVariableWidth(uint8_t op) {
    return op >= opAnyCharU && op <= opExactFold;
}

// The nodes that always match exactly one character, whatever their operand.
inline bool IsOneCharacterNode(uint8_t op) {
    switch (op) {
    case opAnyChar:
    case opAnyInLine:
    case opDigit:
    case opNonDigit:
    case opInTriple:
    case opNotInTriple:
    case opInSet:
    case opAnyCharU:
    case opAnyInLineU:
    case opClassU:
        return true;
    default:
        return false;
    }
}

inline bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
// The character at p (before end) and the bytes it takes; a byte that starts no valid
// UTF-8 sequence is a character of its own, U+FFFD.
inline char32_t CharAt(const char* p, const char* end, int32_t& width) {
    if (static_cast<unsigned char>(*p) < 0x80) {
        width = 1;
        return static_cast<unsigned char>(*p);
    }
    size_t pos = 0;
    const char32_t c = NextUtf8(std::string_view(p, size_t(end - p)), pos);
    width = int32_t(pos);
    return c;
}
inline int32_t CharWidth(const char* p, const char* end) {
    int32_t width;
    CharAt(p, end, width);
    return width;
}
// The start of the character that ends at p (after floor): the exact step back of what
// CharAt steps forward, whatever the bytes.
inline const char* PrevCharStart(const char* p, const char* floor) {
    const char* q = p - 1;
    while (q > floor && IsContinuation(*q) && p - q < 4)
        --q;
    return q < p - 1 && CharWidth(q, p) != p - q ? p - 1 : q;
}
// The first byte of a code point's UTF-8 form.
inline unsigned char LeadByte(char32_t c) {
    return c < 0x80      ? uint8_t(c)
           : c < 0x800   ? uint8_t(0xC0 | c >> 6)
           : c < 0x10000 ? uint8_t(0xE0 | c >> 12)
                         : uint8_t(0xF0 | c >> 18);
}

// The last position in [first, last) that holds the byte c; null when none does. Eight
// bytes at a time: the backtracking of a star looks back for the literal after it.
inline const char* FindLastByte(const char* first, const char* last, unsigned char c) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const uint64_t pattern = ones * c;
    for (; last - first >= 8; last -= 8) {
        uint64_t word;
        std::memcpy(&word, last - 8, 8);
        const uint64_t x = word ^ pattern; // a zero byte where the word holds c
        if ((x - ones) & ~x & highs) break;
    }
    while (last > first)
        if (static_cast<unsigned char>(*--last) == c) return last;
    return nullptr;
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsOpen(uint8_t op) {
    return op >= opOpenBase + 1 && op <= opOpenBase + 14;
}
inline bool IsClose(uint8_t op) {
    return op >= opCloseBase + 1 && op <= opCloseBase + 14;
}

} // namespace vxre
