#include "vxCommandLine.h"

#include <windows.h>

std::string ProcessCommandText() {
    const char* text = GetCommandLineA();
    return text ? text : "";
}
