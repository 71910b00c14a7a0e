// uiclick "<window title>" <control id>: clicks a control of a visible top-level window,
// for scripts that take pictures of the dialogs.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (HWND window = FindWindowA(nullptr, argv[1])) {
            PostMessageA(GetDlgItem(window, std::atoi(argv[2])), BM_CLICK, 0, 0);
            return 0;
        }
        Sleep(50);
    }
    return 1;
}
