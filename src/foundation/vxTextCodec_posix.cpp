// The code pages away from Windows: the texts inside are UTF-8 unless ZEMRUN_CODEPAGE
// names 1252, which tests use for the program on systems without the manifest's setting.
// The legacy page is Windows-1252, the one the program was first written for.
#include "vxTextCodec.h"

#include <cstdlib>

namespace {
constexpr uint32_t Windows1252 = 1252;

// 0x80 to 0x9F; the bytes the page leaves undefined keep their own code.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromWindows1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : char16_t(byte);
}

bool ToWindows1252(char16_t code, char& byte) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        byte = char(code);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (HighControls[i] == code) {
            byte = char(0x80 + i);
            return true;
        }
    return false;
}
} // namespace

uint32_t ProcessCodePage() {
    const char* forced = std::getenv("ZEMRUN_CODEPAGE");
    return forced && std::atoi(forced) == int(Windows1252) ? Windows1252 : codepage::Utf8;
}
uint32_t LegacyAnsiCodePage() {
    return Windows1252;
}
uint32_t LegacyOemCodePage() {
    return Windows1252;
}
uint32_t ConsoleCodePage() {
    return 0;
}

bool IsLegacyCodePage(uint32_t codePage) {
    return codePage == Windows1252;
}

std::u16string LegacyToUtf16(std::string_view text, uint32_t) {
    std::u16string out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = FromWindows1252(static_cast<unsigned char>(text[i]));
    return out;
}

std::string Utf16ToLegacy(std::u16string_view text, uint32_t, bool* lost) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char byte = '?';
        if (!ToWindows1252(text[i], byte) && lost) *lost = true;
        // A surrogate pair is one character with one default.
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) ++i;
        out += byte;
    }
    return out;
}
