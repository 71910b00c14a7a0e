#include "vxRegExprClass.h"

#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprOps.h"

#include <algorithm>

using namespace vxre;

namespace {
const unsigned char CyrLowerRun[33] = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xB8, 0xE6, 0xE7,
                                       0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0,
                                       0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9,
                                       0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};
const unsigned char CyrUpperRun[33] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xA8, 0xC6, 0xC7,
                                       0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
                                       0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9,
                                       0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF};
// The same alphabets in Unicode: а-я and А-Я, and the letters ё and Ё apart from them.
constexpr char32_t CyrSmallA = 0x430, CyrSmallYa = 0x44F, CyrSmallYo = 0x451;
constexpr char32_t CyrCapitalA = 0x410, CyrCapitalYa = 0x42F, CyrCapitalYo = 0x401;
} // namespace

void TCharSet::Normalize() {
    std::sort(ranges_.begin(), ranges_.end());
    std::vector<TRange> merged;
    for (const auto& [first, last] : ranges_) {
        if (last < first) continue;
        if (!merged.empty() && first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, last);
        else
            merged.emplace_back(first, last);
    }
    ranges_ = std::move(merged);
}

bool TCharSet::Holds(char32_t c) const {
    const auto after =
        std::upper_bound(ranges_.begin(), ranges_.end(), c,
                         [](char32_t value, const TRange& range) { return value < range.first; });
    return after != ranges_.begin() && c <= std::prev(after)->second;
}

void TCharSet::Complement() {
    std::vector<TRange> others;
    char32_t next = 1;
    for (const auto& [first, last] : ranges_) {
        if (first > next) others.emplace_back(next, first - 1);
        next = last + 1;
    }
    if (next <= LastCodePoint) others.emplace_back(next, LastCodePoint);
    ranges_ = std::move(others);
}

void TCharSet::CloseUnderCaseFolding() {
    TCharSet folded = *this;
    ForEachCaseFolding([&](char32_t c, char32_t fold) {
        if (Holds(c)) folded.Add(fold, fold);
    });
    folded.Normalize();
    TCharSet closed = folded;
    ForEachCaseFolding([&](char32_t c, char32_t fold) {
        if (folded.Holds(fold)) closed.Add(c, c);
    });
    closed.Normalize();
    *this = std::move(closed);
}

TvxRegClassWriter::TvxRegClassWriter(const TvxRegSyntax& syntax, TvxRegEmitter& emit, bool negative,
                                     bool foldCase)
    : syntax_(syntax), emit_(emit), node_(emit.EmitOp(negative ? opNotInTriple : opInTriple)),
      operandAt_(emit.Pos()), negative_(negative), foldCase_(foldCase) {}

void TvxRegClassWriter::AddByte(unsigned char m) {
    if (m == 0 || members_.test(m)) return; // code 0 is never a member
    members_.set(m);
    ++count_;
    rangeMin_ = std::min(rangeMin_, m);
    rangeMax_ = std::max(rangeMax_, m);
}

void TvxRegClassWriter::AddMember(char32_t c) {
    if (syntax_.utf8) {
        characters_.Add(c, c); // folded when the class is finished
        return;
    }
    AddByte(static_cast<unsigned char>(c));
    if (foldCase_) AddByte(syntax_.flipTable[c & 0xFF]);
}

void TvxRegClassWriter::AddRange(char32_t first, char32_t last) {
    if (syntax_.utf8) {
        characters_.Add(first, last);
        return;
    }
    for (char32_t c = first; c <= last; ++c)
        AddMember(c);
}

bool TvxRegClassWriter::AddAlphabetRange(char32_t first, char32_t last) {
    bool small, capital;
    if (syntax_.utf8) {
        const bool fromSmall = first == CyrSmallA, toSmall = last == CyrSmallYa;
        if ((!fromSmall && first != CyrCapitalA) || (!toSmall && last != CyrCapitalYa))
            return false;
        small = fromSmall || toSmall;
        capital = !fromSmall || !toSmall;
        if (small) {
            AddRange(CyrSmallA, CyrSmallYa);
            AddMember(CyrSmallYo);
        }
        if (capital) {
            AddRange(CyrCapitalA, CyrCapitalYa);
            AddMember(CyrCapitalYo);
        }
        return true;
    }
    if (first != 0xE0 && first != 0xC0) return false;
    small = first == 0xE0 && (last == 0xFF || last == 0xDF);
    capital = last == 0xDF && (first == 0xC0 || first == 0xE0);
    if (small)
        for (unsigned char m : CyrLowerRun)
            AddMember(m);
    if (capital)
        for (unsigned char m : CyrUpperRun)
            AddMember(m);
    return small || capital;
}

bool TvxRegClassWriter::Finish() {
    if (syntax_.utf8) return FinishCharacterClass();
    // A class whose only element was code 0 has no member: an invalid range.
    if (count_ == 0) return false;
    WriteByteClass();
    return true;
}

void TvxRegClassWriter::WriteByteClass() {
    emit_.Rewind(operandAt_);
    if (count_ > 3) {
        std::bitset<256> set = negative_ ? ~members_ : members_;
        if (emit_.Code()) emit_.Code()[node_] = opInSet;
        for (int byte = 0; byte < 32; ++byte) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (set.test(size_t(byte * 8 + bit))) bits |= uint8_t(1u << bit);
            emit_.EmitByte(bits);
        }
    } else {
        int written = 0;
        for (int c = rangeMin_; c <= rangeMax_ && written < 3; ++c)
            if (members_.test(size_t(c))) {
                emit_.EmitByte(uint8_t(c));
                ++written;
            }
        for (; written < 3; ++written)
            emit_.EmitByte(rangeMax_);
    }
}

// A class of UTF-8 characters: with the i modifier it holds every character that folds like
// a member, and a negative class is turned into the characters it holds. One of ASCII
// characters only is a class of bytes, as fast as one of an ANSI code page.
bool TvxRegClassWriter::FinishCharacterClass() {
    TCharSet& set = characters_;
    set.Normalize();
    if (foldCase_ && !set.Ranges().empty()) set.CloseUnderCaseFolding();
    escapes_.Normalize();
    for (const auto& [first, last] : escapes_.Ranges())
        set.Add(first, last);
    set.Normalize();
    if (set.Ranges().empty()) return false;
    if (negative_) set.Complement();
    if (!negative_ && set.Ranges().back().second < 0x80) {
        for (const auto& [first, last] : set.Ranges())
            for (char32_t c = first; c <= last; ++c)
                AddByte(static_cast<unsigned char>(c));
        WriteByteClass();
        return true;
    }
    emit_.Rewind(operandAt_);
    if (emit_.Code()) emit_.Code()[node_] = opClassU;
    uint8_t low[ClassSetBytes] = {};
    std::vector<TCharSet::TRange> high;
    for (const auto& [first, last] : set.Ranges()) {
        for (char32_t c = first; c <= std::min<char32_t>(last, 255); ++c)
            low[c >> 3] |= uint8_t(1u << (c & 7));
        if (last > 255) high.emplace_back(std::max<char32_t>(first, 256), last);
    }
    for (const uint8_t bits : low)
        emit_.EmitByte(bits);
    emit_.EmitInt(int32_t(high.size()));
    for (const auto& [first, last] : high) {
        emit_.EmitInt(int32_t(first));
        emit_.EmitInt(int32_t(last));
    }
    return true;
}

void TvxRegClassWriter::AddEscapeMembers(const std::string& letters, bool complement) {
    std::bitset<256> held;
    for (unsigned char c : letters)
        held.set(c);
    const char32_t lastByte = syntax_.utf8 ? 0x7F : 0xFF;
    for (char32_t c = 1; c <= lastByte; ++c) {
        if (held[c] == complement) continue;
        if (syntax_.utf8)
            escapes_.Add(c, c);
        else
            AddByte(static_cast<unsigned char>(c));
    }
    if (syntax_.utf8 && complement) escapes_.Add(0x80, 0x10FFFF);
}
