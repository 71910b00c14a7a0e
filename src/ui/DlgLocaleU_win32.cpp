// The built-in table is the program's string-table resource.
#include "DlgLocaleU.h"

#include <windows.h>

std::string BuiltinString(int32_t id) {
    if (id <= 0 || id > 0xFFFF) return {};
    char buffer[4096];
    const int length = LoadStringA(GetModuleHandleA(nullptr), UINT(id), buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? size_t(length) : 0);
}
