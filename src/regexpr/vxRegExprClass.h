#pragma once
// A bracket class as the compiler writes it: its members gathered (bytes, or UTF-8
// characters as ranges), then its node written, a set of bytes or of characters.

#include "vxRegExprEmitter.h"
#include "vxRegExprProgram.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vxre {
constexpr char32_t LastCodePoint = 0x10FFFF;

// A set of characters as ranges, ascending and disjoint once normalized. Code 0 is never a
// member: it ends every text.
class TCharSet {
  public:
    using TRange = std::pair<char32_t, char32_t>;
    void Add(char32_t first, char32_t last) {
        ranges_.emplace_back(first > 1 ? first : char32_t(1), last);
    }
    void Normalize();
    bool Holds(char32_t c) const;
    // Every character that is not a member, on a normalized set.
    void Complement();
    // Adds every character that folds like a member, on a normalized set.
    void CloseUnderCaseFolding();
    const std::vector<TRange>& Ranges() const { return ranges_; }

  private:
    std::vector<TRange> ranges_;
};
} // namespace vxre

class TvxRegClassWriter {
  public:
    // Writes the class's node, whose operand Finish writes.
    TvxRegClassWriter(const TvxRegSyntax& syntax, TvxRegEmitter& emit, bool negative,
                      bool foldCase);
    int32_t Node() const { return node_; }

    void AddMember(char32_t c);
    void AddRange(char32_t first, char32_t last);
    // The r modifier: a range from the first to the last letter of the Russian alphabet also
    // holds the letter yo, which both code pages keep apart from it; a range from the small
    // а to the capital Я holds both alphabets. False for any other range.
    bool AddAlphabetRange(char32_t first, char32_t last);
    // \d, \s and \w in a class, or with complement \D, \S and \W: their letters, or every
    // character but them, bytes or code points. As outside a class, the i modifier does not
    // add the other case of what they hold.
    void AddEscapeMembers(const std::string& letters, bool complement);
    // Writes the operand; false when the class has no member (an invalid range).
    bool Finish();

  private:
    void AddByte(unsigned char m);
    void WriteByteClass();
    bool FinishCharacterClass();

    const TvxRegSyntax& syntax_;
    TvxRegEmitter& emit_;
    const int32_t node_;
    const int32_t operandAt_;
    const bool negative_;
    const bool foldCase_;
    // The members of a class of bytes.
    std::bitset<256> members_;
    int count_ = 0;
    unsigned char rangeMin_ = 255;
    unsigned char rangeMax_ = 0;
    // The members of a class of UTF-8 characters, and those of \d, \s, \w and their
    // complements, which keep their case.
    vxre::TCharSet characters_;
    vxre::TCharSet escapes_;
};
