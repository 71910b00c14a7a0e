// The built-in table is the program's string-table resource.
#include "DlgLocaleU.h"

#include "../foundation/vxWinUtils.h"

#include <windows.h>

std::string BuiltinString(int32_t id) {
    if (id <= 0 || id > 0xFFFF) return {};
    char buffer[4096];
    const int length = LoadStringA(GetModuleHandleA(nullptr), UINT(id), buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? size_t(length) : 0);
}

namespace {
// Edit fields and combo boxes hold the user's settings (paths, parameters, expressions),
// never texts of the program: a "%1%" typed there must not turn into a label.
bool HoldsUserText(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, "Edit") == 0 || lstrcmpiA(name, "ComboBox") == 0;
}

void LocalizeOne(HWND window, const std::string& languageFile) {
    if (HoldsUserText(window)) return;
    const auto mark =
        static_cast<int32_t>(reinterpret_cast<intptr_t>(GetPropA(window, LocalizeMarkProperty)));
    const std::string current = WindowText(window);
    std::string text;
    if (mark > 0) {
        text = LangString(languageFile, mark);
        if (text.empty()) text = current; // an id neither source knows keeps the text
    } else {
        int32_t newMark = 0;
        text = TranslateTokens(current, languageFile, newMark);
        if (newMark != 0)
            SetPropA(window, LocalizeMarkProperty, reinterpret_cast<HANDLE>(intptr_t(newMark)));
    }
    if (text != current) SetWindowTextA(window, text.c_str());
}
} // namespace

void LocalizeWindow(void* window, const std::string& languageFile) {
    HWND handle = static_cast<HWND>(window);
    LocalizeOne(handle, languageFile);
    for (HWND child = GetWindow(handle, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        LocalizeWindow(child, languageFile);
}
