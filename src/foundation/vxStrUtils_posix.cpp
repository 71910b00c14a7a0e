// Case mapping of Windows-1252, the code page the program was first written for, and of
// UTF-8 for the letters of Latin-1, Latin Extended-A, Greek and Cyrillic.
#include "vxStrUtils.h"

#include "vxTextCodec.h"

#include <array>

namespace {
struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
    CaseTables() {
        for (int c = 0; c < 256; ++c)
            upper[c] = lower[c] = (unsigned char)c;
        auto pair = [this](int up, int low) {
            upper[low] = (unsigned char)up;
            lower[up] = (unsigned char)low;
        };
        for (int c = 'a'; c <= 'z'; ++c)
            pair(c - 32, c);
        pair(0x8A, 0x9A); // S caron
        pair(0x8C, 0x9C); // OE
        pair(0x8E, 0x9E); // Z caron
        pair(0x9F, 0xFF); // Y diaeresis
        for (int c = 0xE0; c <= 0xFE; ++c)
            if (c != 0xF7) pair(c - 32, c);
    }
};
const CaseTables& Tables() {
    static const CaseTables tables;
    return tables;
}
} // namespace

unsigned char AnsiUpperChar(unsigned char c) {
    return Tables().upper[c];
}
unsigned char AnsiLowerChar(unsigned char c) {
    return Tables().lower[c];
}

namespace {
char16_t UpperUnit(char16_t c) {
    if (c < 0x100) return c == 0xFF ? char16_t(0x178) : char16_t(Tables().upper[c]);
    if (c >= 0x100 && c <= 0x17F) {
        // Pairs of capital and small letter; the odd stretches start with the capital.
        const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool small = oddCapitals ? c % 2 == 0 : c % 2 == 1;
        return small && c != 0x138 && c != 0x149 && c != 0x17F ? char16_t(c - 1) : c;
    }
    if ((c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
    return c;
}
} // namespace

std::string AnsiUpperCase(std::string_view text) {
    if (ProcessCodePage() != codepage::Utf8) {
        std::string result(text);
        for (char& c : result)
            c = char(AnsiUpperChar(static_cast<unsigned char>(c)));
        return result;
    }
    std::u16string wide = ToUtf16(text, codepage::Utf8);
    for (char16_t& c : wide)
        c = c < 0x80 ? char16_t(Tables().upper[c]) : UpperUnit(c);
    return FromUtf16(wide, codepage::Utf8);
}

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}
} // namespace

int CompareLogical(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Numbers by value: leading zeros left out, then the longer is the greater.
            while (i < a.size() && a[i] == '0')
                ++i;
            while (j < b.size() && b[j] == '0')
                ++j;
            const size_t startA = i, startB = j;
            while (i < a.size() && IsDigit(a[i]))
                ++i;
            while (j < b.size() && IsDigit(b[j]))
                ++j;
            const std::string_view numberA = a.substr(startA, i - startA);
            const std::string_view numberB = b.substr(startB, j - startB);
            if (numberA.size() != numberB.size()) return numberA.size() < numberB.size() ? -1 : 1;
            if (const int order = numberA.compare(numberB)) return order < 0 ? -1 : 1;
            continue;
        }
        const char x = LowerAscii(a[i++]), y = LowerAscii(b[j++]);
        if (x != y) return (unsigned char)x < (unsigned char)y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}
