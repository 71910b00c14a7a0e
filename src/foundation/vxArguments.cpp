#include "vxArguments.h"

#include "vxCommandLine.h"
#include "vxFileUtils.h"
#include "vxStrUtils.h"

namespace {
bool IsAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Appends the text with quotes and % written for cmd, and with the backslashes before
// each quote doubled (also before the closing one, where closing is set), for the
// programs that read the argument after the script. False for a line break or a zero.
bool AppendForCmd(std::string_view text, bool closing, std::string& out) {
    size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == '\0') return false;
        if (c == '"') {
            out.append(backslashes, '\\');
            out += '"'; // a second quote keeps cmd's quoting as it was
        } else if (c == '%') {
            out += "%%cd:~,";
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
        out += c;
    }
    if (closing) out.append(backslashes, '\\');
    return true;
}
} // namespace

TCommandReader ReaderOf(std::string_view program) {
    std::string name = AnsiUpperCase(PathFileName(StripQuotes(Trim(program))));
    // Windows drops the dots and blanks at the end of a name: "x.bat." runs x.bat.
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    const std::string extension = PathExtension(name);
    return name == "CMD" || name == "CMD.EXE" || extension == ".BAT" || extension == ".CMD"
               ? TCommandReader::Cmd
               : TCommandReader::Program;
}

std::string EscapeQuotes(std::string_view text) {
    std::string out;
    size_t backslashes = 0;
    for (const char c : text) {
        if (c == '"') out.append(backslashes + 1, '\\');
        backslashes = c == '\\' ? backslashes + 1 : 0;
        out += c;
    }
    return out;
}

std::string ProgramArgument(std::string_view text) {
    if (!text.empty() && text.find_first_of(" \t") == std::string_view::npos)
        return EscapeQuotes(text);
    size_t backslashes = 0;
    while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\')
        ++backslashes;
    return '"' + EscapeQuotes(text) + std::string(backslashes, '\\') + '"';
}

bool CmdTakesAsItIs(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x80 && !IsAsciiLetterOrDigit(c) &&
            std::string_view("#$*+-./:?@\\_").find(c) == std::string_view::npos)
            return false;
    return true;
}

bool HoldsCmdSyntax(std::string_view text) {
    return text.find_first_of("&|<>^()%!\" \t") != std::string_view::npos;
}

std::optional<std::string> CmdArgument(std::string_view text) {
    const bool quoted = text.empty() || text.back() == '\\' || !CmdTakesAsItIs(text);
    std::string out = quoted ? "\"" : "";
    if (!AppendForCmd(text, quoted, out)) return std::nullopt;
    if (quoted) out += '"';
    return out;
}

std::optional<std::string> CmdQuotedText(std::string_view text) {
    std::string out;
    if (!AppendForCmd(text, false, out)) return std::nullopt;
    return out;
}
