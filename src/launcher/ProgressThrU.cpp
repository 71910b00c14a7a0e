#include "ProgressThrU.h"

#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../settings/zemrunOptions.h"
#include "../ui/DlgLocaleU.h"

#include <commctrl.h>

#include <mutex>

std::atomic<HWND> ProgressWnd = nullptr;
HANDLE SkipEvent = nullptr;
HANDLE CancelEvent = nullptr;

namespace {
constexpr int ProgressDialogId = 101;
constexpr int CommandTextId = 111;
constexpr int ProgressBarId = 2000;
constexpr int SkipButtonId = 1000;
constexpr int CancelButtonId = 1002;

HANDLE progressThread = nullptr;
HANDLE readyEvent = nullptr; // set by the thread once the window and events exist

// What the window is to show. The main thread only stores the latest values; the
// progress thread puts them on the screen at most every RefreshMilliseconds, so that a
// start never waits for the window to repaint.
struct TShownValues {
    int32_t low = 0, high = 100, position = 0;
    std::string text;
    bool rangeChanged = false, positionChanged = false, textChanged = false;
};
std::mutex shownLock;
TShownValues shown;
constexpr UINT_PTR RefreshTimerId = 1;
constexpr UINT RefreshMilliseconds = 50;

void ShowLatestValues(HWND window) {
    TShownValues latest;
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        latest = std::move(shown);
        shown = {latest.low, latest.high, latest.position, std::string(), false, false, false};
    }
    // The 32-bit range message, so that lists beyond 65535 items show right.
    if (latest.rangeChanged)
        SendDlgItemMessageA(window, ProgressBarId, PBM_SETRANGE32, WPARAM(latest.low), LPARAM(latest.high));
    if (latest.positionChanged) SendDlgItemMessageA(window, ProgressBarId, PBM_SETPOS, WPARAM(latest.position), 0);
    if (latest.textChanged) SetDialogItemText(window, CommandTextId, latest.text);
}

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        ProgressWnd = window;
        SetProgramIcon(window);
        SetTimer(window, RefreshTimerId, RefreshMilliseconds, nullptr);
        // No failure may leave this procedure; an untranslated window still works.
        try {
            LocalizeWindow(window, Options().GetLanguageFile());
        } catch (...) {
        }
        return FALSE; // no focus set
    }
    case WM_COMMAND:
        if (wParam == SkipButtonId) {
            SetEvent(SkipEvent);
            return TRUE;
        }
        if (wParam == CancelButtonId) {
            SetEvent(CancelEvent);
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        if (wParam != RefreshTimerId) return FALSE;
        ShowLatestValues(window);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        RemoveProperties(window, {"%ID%"});
        PostQuitMessage(0);
        return FALSE;
    default: return FALSE;
    }
}

DWORD WINAPI ProgressThread(LPVOID) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ProgressDialogId), nullptr,
                                     ProgressProc, 0);
    if (window) {
        SkipEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        CancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    if (!window || !SkipEvent || !CancelEvent) {
        // The start failed: ProgressStart releases what exists, the run goes on without.
        if (window) DestroyWindow(window);
        ProgressWnd = nullptr;
        SetEvent(readyEvent);
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetEvent(readyEvent);
    MSG msg;
    while (WaitForSingleObject(CancelEvent, 0) == WAIT_TIMEOUT) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            SetEvent(CancelEvent); // the window is gone
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg); // keyboard messages get no dialog navigation
    }
    // Cancel ends the thread; its window goes with it.
    if (IsWindow(window)) DestroyWindow(window);
    ProgressWnd = nullptr;
    return 0;
}

void CloseHandleOnce(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}
} // namespace

bool ProgressStart() {
    ProgressWnd = nullptr;
    {
        const std::lock_guard<std::mutex> lock(shownLock);
        shown = TShownValues();
    }
    readyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!readyEvent) return false;
    progressThread = CreateThread(nullptr, 0, ProgressThread, nullptr, 0, nullptr);
    if (progressThread) {
        // Wait for the window, or for the thread's end should it fail before reporting.
        HANDLE waits[2] = {readyEvent, progressThread};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    CloseHandleOnce(readyEvent);
    if (progressThread && SkipEvent && CancelEvent) return true;
    if (progressThread) WaitForSingleObject(progressThread, INFINITE);
    CloseHandleOnce(progressThread);
    CloseHandleOnce(SkipEvent);
    CloseHandleOnce(CancelEvent);
    return false;
}

void ProgressSetRange(int32_t low, int32_t high) {
    const std::lock_guard<std::mutex> lock(shownLock);
    shown.low = low;
    shown.high = high;
    shown.rangeChanged = true;
}

void ProgressSetPos(int32_t position) {
    const std::lock_guard<std::mutex> lock(shownLock);
    shown.position = position;
    shown.positionChanged = true;
}

void ProgressSetText(const std::string& text) {
    // An edit box takes minutes over a text of many megabytes (a huge list line); it
    // shows the first 32,767 characters, as many as it lets a user type.
    constexpr size_t ShownCharacters = 32767;
    const std::lock_guard<std::mutex> lock(shownLock);
    shown.text = FirstUtf16Units(text, ShownCharacters);
    shown.textChanged = true;
}

void ProgressClose() {
    HWND window = ProgressWnd;
    if (IsLiveWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
    if (progressThread) WaitForSingleObject(progressThread, INFINITE);
    CloseHandleOnce(progressThread);
    CloseHandleOnce(SkipEvent);
    CloseHandleOnce(CancelEvent);
}
