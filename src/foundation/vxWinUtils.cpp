#include "vxWinUtils.h"

#include "vxTextCodec.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

std::string GrownSystemText(const std::function<DWORD(wchar_t* buffer, DWORD size)>& fill) {
    // The longest path the system knows, with room to spare for its end.
    constexpr DWORD Largest = 65536;
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD size = DWORD(buffer.size());
        const DWORD length = fill(buffer.data(), size);
        if (length == 0) return {};
        if (length < size - 1 || (length == size - 1 && buffer[length] == L'\0')) {
            buffer.resize(length);
            return ProcessFromUtf16(std::u16string(buffer.begin(), buffer.end()));
        }
        if (size >= Largest) return {};
        buffer.assign(std::min(Largest, std::max(size * 2, length + 1)), L'\0');
    }
}

UINT WindowDpi(HWND window) {
    // Windows 10 1607 on; before it, the system's DPI, which is every window's.
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<TGetDpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : 96;
}

std::string PathOfItem(const ITEMIDLIST* item) {
    return GrownSystemText([&](wchar_t* buffer, DWORD size) -> DWORD {
        if (SHGetPathFromIDListEx(item, buffer, size, GPFIDL_DEFAULT)) return DWORD(wcslen(buffer));
        // Cut or none: the call does not say which, so a larger buffer is tried.
        return size;
    });
}

int ScaledToWindow(HWND window, int pixelsAt96) {
    return MulDiv(pixelsAt96, int(WindowDpi(window)), 96);
}

// Read through the wide functions: their lengths are exact, where the narrow ones only
// bound a text of several bytes a character.
std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::u16string text(size_t(length) + 1, u'\0');
    const int read = GetWindowTextW(window, reinterpret_cast<LPWSTR>(text.data()), length + 1);
    text.resize(size_t(read > 0 ? read : 0));
    return ProcessFromUtf16(text);
}

std::string DialogItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

bool SetDialogItemText(HWND dialog, int id, const std::string& text) {
    return SetDlgItemTextA(dialog, id, text.c_str()) != 0;
}

namespace {
// The clipboard is another program's while that program reads or writes it (a clipboard
// manager, a remote desktop, a test): the opening is tried again for up to a second.
bool OpenClipboardSoon(HWND owner) {
    constexpr int Tries = 20;
    constexpr DWORD Pause = 50;
    for (int tries = 0; tries < Tries; ++tries, Sleep(Pause))
        if (OpenClipboard(owner)) return true;
    return false;
}
} // namespace

bool CopyTextToClipboard(HWND owner, const std::string& text) {
    const std::u16string wide = ProcessToUtf16(text);
    const size_t bytes = (wide.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    std::memcpy(GlobalLock(memory), wide.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboardSoon(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!placed) GlobalFree(memory); // the clipboard owns it once placed
    CloseClipboard();
    return placed;
}

void OpenWithShell(HWND owner, const std::string& path) {
    const std::u16string wide = ProcessToUtf16(path);
    ShellExecuteW(owner, L"open", reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

void AcceptDroppedFiles(HWND window) {
    DragAcceptFiles(window, TRUE);
}

std::vector<std::string> TakeDroppedFiles(WPARAM drop, POINT& point) {
    HDROP handle = reinterpret_cast<HDROP>(drop);
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(handle, i, nullptr, 0);
        std::u16string name(size_t(length) + 1, u'\0');
        DragQueryFileW(handle, i, reinterpret_cast<LPWSTR>(name.data()), length + 1);
        name.resize(length);
        files.push_back(ProcessFromUtf16(name));
    }
    DragQueryPoint(handle, &point);
    DragFinish(handle);
    return files;
}

bool IsLiveWindow(HWND window) {
    return window && IsWindow(window);
}

void RemoveProperties(HWND window, std::initializer_list<const char*> names) {
    for (const char* name : names)
        RemovePropA(window, name);
}

void SetProgramIcon(HWND window) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

namespace {
struct TDialogGuard {
    DLGPROC procedure;
    std::exception_ptr failure;
};
constexpr const char* GuardProperty = "zemrun.guard";
// The guard of the dialog being created; its first message takes it over.
thread_local TDialogGuard* pendingGuard = nullptr;

INT_PTR CALLBACK GuardedProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* guard = static_cast<TDialogGuard*>(GetPropA(dialog, GuardProperty));
    if (!guard) {
        guard = pendingGuard;
        if (!guard) return FALSE;
        pendingGuard = nullptr;
        SetPropA(dialog, GuardProperty, guard);
    }
    if (message == WM_NCDESTROY) RemovePropA(dialog, GuardProperty);
    if (guard->failure) return FALSE; // ending: the system's own handling only
    try {
        return guard->procedure(dialog, message, wParam, lParam);
    } catch (...) {
        guard->failure = std::current_exception();
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
}
} // namespace

INT_PTR GuardedDialogBox(int templateId, HWND owner, DLGPROC procedure, void* data) {
    TDialogGuard guard{procedure, nullptr};
    TDialogGuard* const outer = pendingGuard;
    pendingGuard = &guard;
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                           owner, GuardedProcedure, reinterpret_cast<LPARAM>(data));
    pendingGuard = outer;
    if (guard.failure) std::rethrow_exception(guard.failure);
    return result;
}

std::string SystemMessage(uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message(reinterpret_cast<const char16_t*>(text), length);
    LocalFree(text);
    while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' ||
                                message.back() == u' ' || message.back() == u'.'))
        message.pop_back();
    if (!message.empty()) return ProcessFromUtf16(message);
    char number[32];
    std::snprintf(number, sizeof number, code >= 0x80000000u ? "error 0x%08X" : "error %u",
                  unsigned(code));
    return number;
}
