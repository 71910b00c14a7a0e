#pragma once
// The compiled program's opcodes and node layout. Every node starts with a 5-byte header:
// the opcode and a signed little-endian offset to the next node (0 = none).

#include <cstdint>
#include <cstring>

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
};

constexpr int32_t NodeHeader = 5;
constexpr int32_t BracesHeader = 13;
constexpr int32_t UnboundedCount = 0x7FFFFFFE;
constexpr uint8_t ProgramSignature = 216;

inline int32_t ReadInt(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
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
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsOpen(uint8_t op) { return op >= opOpenBase + 1 && op <= opOpenBase + 14; }
inline bool IsClose(uint8_t op) { return op >= opCloseBase + 1 && op <= opCloseBase + 14; }

} // namespace vxre
