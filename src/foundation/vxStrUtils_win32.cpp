// ANSI case mapping through the system's rules for the user's code page.
#include "vxStrUtils.h"

#include <windows.h>

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

// Whole strings, so that on a double-byte code page a trail byte is never mapped as if it
// were a letter of its own.
std::string AnsiUpperCase(std::string_view text) {
    std::string result(text);
    if (!result.empty()) CharUpperBuffA(result.data(), DWORD(result.size()));
    return result;
}
