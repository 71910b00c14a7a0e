// Case mapping through the system's rules.
#include "vxStrUtils.h"

#include "vxTextCodec.h"

#include <windows.h>

#include <shlwapi.h>

unsigned char AnsiUpperChar(unsigned char c) {
    char buffer[2] = {char(c), 0};
    CharUpperBuffA(buffer, 1);
    return static_cast<unsigned char>(buffer[0]);
}

unsigned char AnsiLowerChar(unsigned char c) {
    char buffer[2] = {char(c), 0};
    CharLowerBuffA(buffer, 1);
    return static_cast<unsigned char>(buffer[0]);
}

// Whole strings through the wide function: a UTF-8 letter is several bytes, and a trail
// byte of a double-byte code page is no letter of its own.
std::string AnsiUpperCase(std::string_view text) {
    const uint32_t codePage = ProcessCodePage();
    std::u16string wide = ToUtf16(text, codePage);
    if (!wide.empty()) CharUpperBuffW(reinterpret_cast<LPWSTR>(wide.data()), DWORD(wide.size()));
    return FromUtf16(wide, codePage);
}

int CompareLogical(std::string_view a, std::string_view b) {
    const std::u16string wideA = ProcessToUtf16(a), wideB = ProcessToUtf16(b);
    return StrCmpLogicalW(reinterpret_cast<LPCWSTR>(wideA.c_str()),
                          reinterpret_cast<LPCWSTR>(wideB.c_str()));
}
