#pragma once
// Text helpers shared by every subsystem: trimming, the one number-reading rule of
// switches, INI values and string-id tokens, and ANSI case mapping.

#include <cstdint>
#include <string>
#include <string_view>

// Removes the characters with codes 0 to 32 from both ends.
std::string Trim(std::string_view text);

// Reads a signed 32-bit number: leading blanks are skipped, then an optional sign and
// decimal digits, or a hexadecimal prefix ("$", "x", "X", "0x", "0X") and hex digits.
// Reading stops at the first unfit character; a text read only partly gives the
// magnitude of the digits read so far, without the sign; no digit gives 0.
int32_t ReadInteger(std::string_view text);

// Decimal text of a number, "-" for negatives, no leading zeros.
std::string IntToText(int32_t value);

// The ANSI code page's case mapping (the system's on Windows, Windows-1252 elsewhere).
// The characters alone serve single-byte texts; names and keys are folded as whole
// strings, which keeps the trail bytes of a double-byte code page as they are.
unsigned char AnsiUpperChar(unsigned char c);
unsigned char AnsiLowerChar(unsigned char c);
std::string AnsiUpperCase(std::string_view text);
bool SameTextAnsi(std::string_view a, std::string_view b);
// Whether every byte of the text is below 0x80.
bool IsAsciiText(std::string_view text);
// Compares two names as Explorer orders them: runs of digits by their value, the rest
// without case ("p2.jpg" before "p10.jpg"); less than, equal to or greater than 0.
int CompareLogical(std::string_view a, std::string_view b);
