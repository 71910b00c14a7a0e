// ANSI case mapping of Windows-1252, the code page the program is written for.
#include "vxStrUtils.h"

#include <array>

namespace {
struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
    CaseTables() {
        for (int c = 0; c < 256; ++c) upper[c] = lower[c] = (unsigned char)c;
        auto pair = [this](int up, int low) {
            upper[low] = (unsigned char)up;
            lower[up] = (unsigned char)low;
        };
        for (int c = 'a'; c <= 'z'; ++c) pair(c - 32, c);
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

unsigned char AnsiUpperChar(unsigned char c) { return Tables().upper[c]; }
unsigned char AnsiLowerChar(unsigned char c) { return Tables().lower[c]; }

std::string AnsiUpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = char(AnsiUpperChar(static_cast<unsigned char>(c)));
    return result;
}
