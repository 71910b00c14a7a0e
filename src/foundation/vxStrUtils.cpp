#include "vxStrUtils.h"

#include <algorithm>

namespace {
bool IsTrimmed(unsigned char c) {
    return c <= 32;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::string Trim(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsTrimmed(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && IsTrimmed(static_cast<unsigned char>(text[last - 1])))
        --last;
    return std::string(text.substr(first, last - first));
}

int32_t ReadInteger(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    bool negative = false;
    bool hex = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    } else if (pos < text.size() && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X')) {
        hex = true;
        ++pos;
    } else if (pos + 1 < text.size() && text[pos] == '0' &&
               (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        hex = true;
        pos += 2;
    }
    // Unsigned arithmetic wraps like the 32-bit registers the values live in.
    uint32_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = hex ? HexValue(text[pos])
                              : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);
        if (digit < 0) return int32_t(value); // stopped early: no sign
        value = value * (hex ? 16u : 10u) + uint32_t(digit);
    }
    return int32_t(negative ? 0u - value : value);
}

std::string IntToText(int32_t value) {
    return std::to_string(value);
}

bool IsAsciiText(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

namespace {
char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}
} // namespace

// Folded texts may differ in length from the originals (a UTF-8 letter and its capital),
// and a letter beyond ASCII may fold to an ASCII one. Two ASCII texts, the common case of
// file and key names, fold in every code page as ASCII does: compared in place.
bool SameTextAnsi(std::string_view a, std::string_view b) {
    if (IsAsciiText(a) && IsAsciiText(b))
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
    return AnsiUpperCase(a) == AnsiUpperCase(b);
}
