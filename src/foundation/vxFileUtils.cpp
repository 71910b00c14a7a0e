#include "vxFileUtils.h"

#include "vxStrUtils.h"

#include <algorithm>

namespace {
bool IsPathSeparator(char c) {
    return c == '\\' || c == '/' || c == ':';
}

// Position of the last separator, or npos when the scan reaches the first character
// without finding one before it.
size_t LastSeparator(std::string_view path) {
    for (size_t i = path.size(); i-- > 0;)
        if (IsPathSeparator(path[i])) return i;
    return std::string_view::npos;
}
} // namespace

std::string PathFileName(std::string_view path) {
    const size_t sep = LastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string PathFolder(std::string_view path) {
    const size_t sep = LastSeparator(path);
    // A separator that is the first character gives no folder either.
    if (sep == std::string_view::npos || sep == 0) return {};
    return std::string(path.substr(0, sep + 1));
}

std::vector<std::string> ExpandWildcards(const std::string& pattern) {
    const size_t sep = LastSeparator(pattern);
    const std::string folder =
        sep == std::string::npos ? std::string() : pattern.substr(0, sep + 1);
    if (pattern.find_first_of("*?", folder.size()) == std::string::npos) return {pattern};
    std::vector<std::string> names = MatchingNames(pattern);
    if (names.empty()) return {pattern};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareLogical(a, b) < 0; });
    for (std::string& name : names)
        name.insert(0, folder);
    return names;
}

std::string SafeFileName(std::string_view text) {
    std::string name(text);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    for (size_t end = name.size(); end > 0 && (name[end - 1] == ' ' || name[end - 1] == '.'); --end)
        name[end - 1] = '_';
    // The system takes these for devices, with any extension and in any letter case.
    const std::string stem = name.substr(0, name.find('.'));
    const std::string upper = AnsiUpperCase(stem);
    const bool numbered = upper.size() == 4 &&
                          (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
                          upper[3] >= '1' && upper[3] <= '9';
    if (numbered || upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL")
        name.insert(stem.size(), 1, '_');
    return name;
}

std::string PathExtension(std::string_view path) {
    for (size_t i = path.size(); i-- > 0;) {
        if (path[i] == '.') return std::string(path.substr(i));
        if (IsPathSeparator(path[i])) break;
    }
    return {};
}

std::string ReadStandardInput() {
    TvxFileReader input = TvxFileReader::StandardInput();
    std::string bytes;
    std::string chunk(1 << 16, '\0');
    while (const size_t got = input.Read(chunk.data(), chunk.size()))
        bytes.append(chunk, 0, got);
    return bytes;
}
