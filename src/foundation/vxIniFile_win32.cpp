#include "vxIniFile.h"

#include "vxFileUtils.h"

#include <windows.h>

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
    // The system reader would wait for ever on a device such as AUX or COM1.
    if (!IsRegularFile(file)) return defaultValue.substr(0, 4095);
    char buffer[4096];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                                  sizeof buffer, file.c_str());
    return std::string(buffer, length);
}
