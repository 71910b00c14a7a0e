#include "vxIniFile.h"

#include "vxWinUtils.h"

#include <windows.h>

#include <shlwapi.h>

// As the system's profile functions do, a name without a folder is in the Windows folder.
std::string ProfileFilePath(const std::string& file) {
    if (file.empty() || !PathIsRelativeA(file.c_str())) return file;
    const std::string folder = GrownSystemText(
        [](wchar_t* buffer, DWORD size) { return GetWindowsDirectoryW(buffer, size); });
    return folder.empty() ? file : folder + "\\" + file;
}
