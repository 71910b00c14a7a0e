// For scripts that take pictures of the windows (tools/screenshots):
//   uiclick "<window title>" <control id>   clicks a control of a visible top-level window;
//   uiclick /watch-icon                      right-clicks the watch's notification-area icon
//                                            (the pointer goes to the first icon of Wine's tray).
#include "ui/WatchIcon.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {
// Waits up to ten seconds for the window.
HWND FindWindowSoon(const char* className, const char* title) {
    for (int attempt = 0; attempt < 200; ++attempt, Sleep(50))
        if (HWND window = FindWindowA(className, title)) return window;
    return nullptr;
}

int RightClickWatchIcon() {
    HWND icon = FindWindowSoon(WatchIconClass, nullptr);
    if (!icon) return 1;
    RECT tray{};
    if (HWND wineTray = FindWindowA(nullptr, "Wine System Tray")) GetWindowRect(wineTray, &tray);
    SetCursorPos(tray.left + 16, tray.bottom - 12);
    PostMessageA(icon, WatchIconMessage, 0, WM_RBUTTONUP);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "/watch-icon") == 0) return RightClickWatchIcon();
    if (argc != 3) return 2;
    HWND window = FindWindowSoon(nullptr, argv[1]);
    if (!window) return 1;
    PostMessageA(GetDlgItem(window, std::atoi(argv[2])), BM_CLICK, 0, 0);
    return 0;
}
