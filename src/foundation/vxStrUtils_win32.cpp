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
