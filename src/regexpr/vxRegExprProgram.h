#pragma once
// A compiled expression: the flat program of linked nodes, the settings it was compiled
// under, and its search hints. The compiler makes it; after that it is only read, so that
// any number of matchers may search with it at once, from any threads.

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vxre {
// Modifier bits.
constexpr uint32_t ModI = 1, ModR = 2, ModS = 4, ModG = 8, ModM = 16, ModX = 32;
// Group 0, the whole match, and the groups that an expression may number.
constexpr int32_t GroupSlots = 15;
constexpr int32_t MaxLoopDepth = 10;
// Parenthesised parts inside one another, so that parsing never runs out of stack.
constexpr int32_t MaxNesting = 100;

// Applies modifier letters ("i", "-s", "ig-x") to the bits; false at a letter that names
// none, the letters before it applied.
bool ApplyModifierLetters(std::string_view letters, uint32_t& modifiers);
} // namespace vxre

// The settings of the expression object that a program is compiled under.
struct TvxRegSyntax {
    uint32_t modifiers = 0;
    bool utf8 = false; // UTF-8 characters, else single bytes of an ANSI code page
    std::string blankLetters;
    std::string wordLetters;
    std::string lineBreakLetters;
    std::bitset<256> wordSet;
    std::bitset<256> lineBreakSet;
    // A pair of characters that ends a line together (CR LF), where one is set.
    bool pairAssigned = false;
    unsigned char pairHead = 0, pairTail = 0;
    std::array<unsigned char, 256> flipTable{}; // the case inversion of an ANSI code page

    // The other-case form of a character (itself when it has none): Unicode's simple case
    // folding for UTF-8, the flip table for bytes.
    char32_t FlipCase(char32_t c) const;
};

struct TvxRegProgram {
    TvxRegSyntax syntax;
    std::unique_ptr<uint8_t[]> code; // the signature byte, then the nodes
    int32_t size = 0;
    int32_t groupCount = 0; // the groups that the expression numbers, 1 to groupCount
    // The characters that may end a "." run (the line breaks and the pair's head), as a set
    // and as a list, which is searched with memchr when short.
    std::bitset<256> lineStops;
    std::string lineStopLetters;
    // Search hints: the bytes a match may start with, the one it must start with (0 for
    // none), whether it matches at the start only, and a literal every match holds.
    std::bitset<256> startSet;
    unsigned char firstLiteral = 0;
    bool anchored = false;
    int32_t mustOffset = -1;
    int32_t mustLength = 0;
    // The offset of the operand of a greedy repeat without an upper bound that every match
    // begins with, alone or alone in a group, where no back-reference reads the group; -1
    // for none. A search whose attempt failed at a start in the operand's run skips the
    // rest of the run: an attempt there would try only what the failed one tried.
    int32_t leadingRepeat = -1;
    // Only with back-references do groups keep where their last capture began.
    bool usesBackRefs = false;

    std::string_view Bytes() const {
        return {reinterpret_cast<const char*>(code.get()), size_t(size)};
    }
    std::string_view MustText() const {
        if (mustOffset < 0) return {};
        return {reinterpret_cast<const char*>(code.get()) + mustOffset, size_t(mustLength)};
    }
};
