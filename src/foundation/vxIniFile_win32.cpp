#include "vxIniFile.h"

#include <windows.h>

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
    char buffer[4096];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                                  sizeof buffer, file.c_str());
    return std::string(buffer, length);
}
