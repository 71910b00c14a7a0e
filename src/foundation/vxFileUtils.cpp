#include "vxFileUtils.h"

namespace {
bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

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

std::string PathExtension(std::string_view path) {
    for (size_t i = path.size(); i-- > 0;) {
        if (path[i] == '.') return std::string(path.substr(i));
        if (IsPathSeparator(path[i])) break;
    }
    return {};
}
