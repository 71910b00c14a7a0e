#pragma once
// Text at the edges. Every text inside the program is in the process code page: UTF-8
// where the application manifest's setting is honoured (Windows 10 1903 and later, Wine),
// the ANSI code page before. Files are decoded into it once, where they are read; this
// module is the one place that knows the code pages and converts between them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace codepage {
constexpr uint32_t Utf16LE = 1200;
constexpr uint32_t Utf16BE = 1201;
constexpr uint32_t Utf8 = 65001;
} // namespace codepage

// The code page of the texts inside the program.
uint32_t ProcessCodePage();
// The system locale's legacy pages: files written before UTF-8 are in the ANSI one, and
// what a console's `dir /b >` writes is in the OEM one.
uint32_t LegacyAnsiCodePage();
uint32_t LegacyOemCodePage();
// The page in which the programs of a console write (cmd's `dir /b` among them): the
// console's output page; 0 where this process has no console.
uint32_t ConsoleCodePage();
bool IsUtf16(uint32_t codePage);
// Whether texts can be converted from and to the code page here.
bool IsConvertibleCodePage(uint32_t codePage);

// Text in a code page to UTF-16 and back. Bytes that form no character become U+FFFD;
// lost, when given, tells whether a character had no form in the target page.
std::u16string ToUtf16(std::string_view text, uint32_t codePage);
std::string FromUtf16(std::u16string_view text, uint32_t codePage, bool* lost = nullptr);

// Texts of the process code page to UTF-16 and back, for the system's wide functions.
std::u16string ProcessToUtf16(std::string_view text);
std::string ProcessFromUtf16(std::u16string_view text, bool* lost = nullptr);

// The length that the system counts for a text of the process code page: UTF-16 units.
size_t Utf16Length(std::string_view text);
// Whether the text takes at most that many UTF-16 units; a huge text is judged by its
// size alone.
bool FitsUtf16Units(std::string_view text, size_t units);
// The longest start of the text that holds at most that many UTF-16 units and never ends
// inside a character.
std::string FirstUtf16Units(std::string_view text, size_t units);
// The text as a control shows it: whole where it takes at most that many UTF-16 units,
// else as much of its start as fits before an ellipsis.
std::string ShownText(std::string_view text, size_t units);

// The code page that an encoding's name gives: OEM and ANSI (the system locale's legacy
// pages), UTF-8, UTF-16 (little-endian; BE for big-endian), or a code page number, in any
// case; an empty name gives 0 (detected). False for a name that this system cannot convert.
bool ReadEncodingName(std::string_view name, uint32_t& codePage);

// The code point of the UTF-8 sequence at text[pos], advancing pos past it; a byte that
// starts no valid sequence gives U+FFFD and advances by one. pos must be inside the text.
char32_t NextUtf8(std::string_view text, size_t& pos);
// Appends the UTF-8 form of a code point up to U+10FFFF.
void AppendUtf8(std::string& out, char32_t code);

// Whether the text is UTF-8 by the strict rules: no overlong forms, no surrogates, nothing
// beyond U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view text);

// Checks UTF-8 validity over a text that arrives in pieces cut anywhere.
class TvxUtf8Validator {
  public:
    void Feed(std::string_view piece);
    // Whether everything fed so far, taken as the whole text, is valid.
    bool Valid() const { return valid_ && pending_ == 0; }

  private:
    bool valid_ = true;
    int pending_ = 0;                        // continuation bytes still owed
    unsigned char low_ = 0x80, high_ = 0xBF; // range of the next continuation byte
};

// What a file's first bytes say of its encoding: a byte-order mark (and its size), or the
// shape of UTF-16LE without one (an even length with most odd bytes zero, as `cmd /u`
// writes); 0 when only the whole text can tell UTF-8 from the legacy ANSI page.
struct TvxTextFormat {
    uint32_t codePage = 0;
    size_t markSize = 0;
};
TvxTextFormat DetectTextFormat(std::string_view head, bool wholeFile);
