// The compiled program's settings and hints.
#include "vxRegExprProgram.h"

#include "../foundation/vxUnicodeCase.h"

char32_t TvxRegSyntax::FlipCase(char32_t c) const {
    if (utf8) return OtherCase(c);
    return c < 256 ? flipTable[c] : c;
}

bool vxre::ApplyModifierLetters(std::string_view letters, uint32_t& modifiers) {
    bool clear = false;
    for (char letter : letters) {
        uint32_t bit;
        switch (letter) {
        case '-':
            clear = true;
            continue;
        case 'i':
        case 'I':
            bit = ModI;
            break;
        case 'r':
        case 'R':
            bit = ModR;
            break;
        case 's':
        case 'S':
            bit = ModS;
            break;
        case 'g':
        case 'G':
            bit = ModG;
            break;
        case 'm':
        case 'M':
            bit = ModM;
            break;
        case 'x':
        case 'X':
            bit = ModX;
            break;
        default:
            return false;
        }
        modifiers = clear ? (modifiers & ~bit) : (modifiers | bit);
    }
    return true;
}
