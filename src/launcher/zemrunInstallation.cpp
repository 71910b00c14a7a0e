#include "zemrunInstallation.h"

#include "../foundation/vxStrUtils.h"

#include <vector>

namespace {
std::vector<std::string> Entries(const std::string& path) {
    std::vector<std::string> entries;
    size_t start = 0;
    for (size_t end; (end = path.find(';', start)) != std::string::npos; start = end + 1)
        entries.push_back(path.substr(start, end - start));
    entries.push_back(path.substr(start));
    return entries;
}

// The folder an entry names, as the system reads it: without blanks around it, quotes and
// trailing backslashes.
std::string FolderOfEntry(std::string_view entry) {
    std::string folder = Trim(entry);
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
        folder = Trim(std::string_view(folder).substr(1, folder.size() - 2));
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/') &&
           folder[folder.size() - 2] != ':')
        folder.pop_back();
    return folder;
}

bool NamesFolder(const std::string& entry, const std::string& folder) {
    return SameTextAnsi(FolderOfEntry(entry), FolderOfEntry(folder));
}
} // namespace

std::string PathWithFolder(const std::string& path, const std::string& folder) {
    for (const std::string& entry : Entries(path))
        if (NamesFolder(entry, folder)) return path;
    const std::string entry = FolderOfEntry(folder);
    if (Trim(path).empty()) return entry;
    return path + (path.back() == ';' ? "" : ";") + entry;
}

std::string PathWithoutFolder(const std::string& path, const std::string& folder) {
    std::string kept;
    bool first = true;
    for (const std::string& entry : Entries(path)) {
        if (NamesFolder(entry, folder)) continue;
        if (!first) kept += ';';
        kept += entry;
        first = false;
    }
    return kept;
}
