#include "vxCommandLine.h"

#include "vxWinUtils.h"

#include <windows.h>

std::string ProcessCommandText() {
    const char* text = GetCommandLineA();
    return text ? text : "";
}

std::string ProgramPath() {
    return GrownSystemText(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
}
