#include "vxCommandLine.h"

#include <windows.h>

std::string ProcessCommandText() {
    const char* text = GetCommandLineA();
    return text ? text : "";
}

std::string ProgramPath() {
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}
