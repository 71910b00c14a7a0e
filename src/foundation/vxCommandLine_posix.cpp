// The native build rebuilds a command text from the process's arguments, quoting
// those that hold blanks.
#include "vxCommandLine.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

std::string ProcessCommandText() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string text;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        const std::string arg = raw.substr(start, end - start);
        if (!text.empty()) text += ' ';
        text += arg.find(' ') == std::string::npos ? arg : '"' + arg + '"';
        start = end + 1;
    }
    return text;
}

std::string ProgramPath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, size_t(length)) : std::string();
}
