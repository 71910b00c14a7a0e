// A small profile reader with the system reader's observable rules: sections and keys
// matched without regard to case, blanks around names and values removed, one pair of
// surrounding quotes dropped, ";" lines skipped, the first match taken.
#include "vxIniFile.h"

#include "vxFileUtils.h"
#include "vxStrUtils.h"
#include "vxStringList.h"

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
    if (!PathExists(file)) return defaultValue.substr(0, 4095);
    TvxStringList lines;
    try {
        lines.LoadFromFile(file);
    } catch (const TvxInOutError&) {
        return defaultValue.substr(0, 4095);
    }
    bool inSection = false;
    for (int32_t i = 0; i < lines.Count(); ++i) {
        const std::string line = Trim(lines.Strings(i));
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            inSection = SameTextAnsi(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
                                     section);
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos || !SameTextAnsi(Trim(line.substr(0, equals)), key)) continue;
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value.substr(0, 4095);
    }
    return defaultValue.substr(0, 4095);
}
