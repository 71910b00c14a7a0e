#include "vxIniFile.h"

#include <windows.h>

#include <shlwapi.h>

// As the system's profile functions do, a name without a folder is in the Windows folder.
std::string ProfileFilePath(const std::string& file) {
    if (file.empty() || !PathIsRelativeA(file.c_str())) return file;
    char folder[MAX_PATH] = "";
    const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return file;
    return std::string(folder) + "\\" + file;
}
