#include "vxWinUtils.h"

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(size_t(length) + 1, '\0');
    const int read = GetWindowTextA(window, text.data(), length + 1);
    text.resize(size_t(read > 0 ? read : 0));
    return text;
}

std::string DialogItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

bool SetDialogItemText(HWND dialog, int id, const std::string& text) {
    return SetDlgItemTextA(dialog, id, text.c_str()) != 0;
}

bool IsLiveWindow(HWND window) { return window && IsWindow(window); }

void RemoveProperties(HWND window, std::initializer_list<const char*> names) {
    for (const char* name : names) RemovePropA(window, name);
}

void SetProgramIcon(HWND window) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}
