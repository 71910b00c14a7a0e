#pragma once
// How a text from an item is written on a command line so that the program that reads the
// line gets it as it is: a program's C runtime (CommandLineToArgvW's rules), or cmd, which
// runs every batch script and reads & | < > ^ ( ) and % as its own.

#include <optional>
#include <string>
#include <string_view>

enum class TCommandReader { Program, Cmd };

// cmd reads the command line of cmd itself (cmd, CMD.EXE, %ComSpec% once expanded, a full
// path) and of every .bat and .cmd script, whichever starter starts it: Windows runs a
// script as cmd /c <command line>. The program is the expanded one, quoted or not.
TCommandReader ReaderOf(std::string_view program);

// The text as the C runtime reads it back as one argument: in double quotes where it is
// empty or holds a blank or a tab, a quote inside as \", and backslashes doubled where
// they come before a quote, the closing one included.
std::string ProgramArgument(std::string_view text);
// The quotes of the text escaped as ProgramArgument escapes them, without quotes around it,
// for a text that stands inside a longer argument.
std::string EscapeQuotes(std::string_view text);

// The text as cmd passes it on as one literal argument: in double quotes where it is empty,
// ends in a backslash or holds any character but letters, digits and #$*+-./:?@\_, a quote
// inside doubled, and every % written as %%cd:~,% (cd is always defined, and its empty
// substring expands to nothing), so that no %NAME% in it is expanded. Nothing where it
// holds a line break or a zero character, which cmd cannot pass on. Windows reads a script
// started directly exactly as cmd /c reads it; Wine's own start of a script reads the % of
// its arguments once more, so there the form holds through cmd /c only.
std::optional<std::string> CmdArgument(std::string_view text);
// The same for a text that stands between quotes that the command already opened: its
// quotes doubled and its % written so, without quotes around it.
std::optional<std::string> CmdQuotedText(std::string_view text);
// Whether cmd passes the text on as it is without quotes: letters, digits and #$*+-./:?@\_
// only (and any character beyond ASCII).
bool CmdTakesAsItIs(std::string_view text);
// Whether the text, which the user wrote, holds what cmd reads as its own: an operator,
// a quote, a % or a blank.
bool HoldsCmdSyntax(std::string_view text);
