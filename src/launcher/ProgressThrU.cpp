#include "ProgressThrU.h"

#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "../ui/DlgLocaleU.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR RefreshTimerId = 1;
// Four times a second: each repaint of its controls costs a few milliseconds of the
// processor that the programs it starts are waiting for, and nobody reads faster.
constexpr UINT RefreshMilliseconds = 250;
} // namespace

TProgressWindow::~TProgressWindow() {
    Close();
}

void TProgressWindow::ShowLatestValues(HWND window) {
    TShownValues latest;
    {
        const std::lock_guard<std::mutex> lock(shownLock_);
        latest = std::move(shown_);
        shown_ = TShownValues();
        shown_.low = latest.low;
        shown_.high = latest.high;
        shown_.position = latest.position;
    }
    // The 32-bit range message, so that lists beyond 65535 items show right.
    if (latest.rangeChanged)
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, WPARAM(latest.low),
                            LPARAM(latest.high));
    if (latest.positionChanged)
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, WPARAM(latest.position), 0);
    if (latest.textChanged) SetDialogItemText(window, IDC_PROGRESS_COMMAND, latest.text);
    if (latest.statusChanged) SetDialogItemText(window, IDC_PROGRESS_STATUS, latest.status);
}

INT_PTR CALLBACK TProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    TProgressWindow* self = DialogData<TProgressWindow>(window, message, lParam);
    if (!self) return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        self->window_ = window;
        SetProgramIcon(window);
        SetTimer(window, RefreshTimerId, RefreshMilliseconds, nullptr);
        // No failure may leave this procedure; an untranslated window still works.
        try {
            LocalizeWindow(window, self->languageFile_);
        } catch (...) {
        }
        return FALSE; // no focus set
    }
    case WM_COMMAND:
        if (wParam == IDC_PROGRESS_SKIP) {
            SetEvent(self->skipEvent_.Get());
            return TRUE;
        }
        if (wParam == IDC_PROGRESS_CANCEL) {
            SetEvent(self->cancelEvent_.Get());
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        if (wParam != RefreshTimerId) return FALSE;
        self->ShowLatestValues(window);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        RemoveProperties(window, {LocalizeMarkProperty});
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

void TProgressWindow::RunMessageLoop(HWND window) {
    MSG msg;
    while (WaitForSingleObject(cancelEvent_.Get(), 0) == WAIT_TIMEOUT) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            SetEvent(cancelEvent_.Get()); // the window is gone
            break;
        }
        const TPhaseClock clock(times_, TPhase::WindowUpdates);
        TranslateMessage(&msg);
        DispatchMessageA(&msg); // keyboard messages get no dialog navigation
    }
    // Cancel ends the thread; its window goes with it.
    if (IsWindow(window)) DestroyWindow(window);
}

DWORD WINAPI TProgressWindow::Thread(LPVOID parameter) {
    auto& self = *static_cast<TProgressWindow*>(parameter);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // The events exist before the window, whose buttons set them.
    self.skipEvent_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    self.cancelEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HWND window = nullptr;
    if (self.skipEvent_ && self.cancelEvent_)
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS),
                                    nullptr, Procedure, LPARAM(&self));
    if (!window) {
        // The start failed: the run goes on without the window and its events.
        self.skipEvent_.Reset();
        self.cancelEvent_.Reset();
        self.window_ = nullptr;
        SetEvent(self.readyEvent_.Get());
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetEvent(self.readyEvent_.Get());
    self.RunMessageLoop(window);
    self.window_ = nullptr;
    return 0;
}

bool TProgressWindow::Start(const std::string& languageFile) {
    Close();
    languageFile_ = languageFile;
    {
        const std::lock_guard<std::mutex> lock(shownLock_);
        shown_ = TShownValues();
    }
    readyEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!readyEvent_) return false;
    thread_.Reset(CreateThread(nullptr, 0, Thread, this, 0, nullptr));
    if (thread_) {
        // Wait for the window, or for the thread's end should it fail before reporting.
        // Messages that the window's activation sends to this thread's windows are taken
        // meanwhile, so that the window's thread never waits on this one.
        HANDLE waits[2] = {readyEvent_.Get(), thread_.Get()};
        while (MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_SENDMESSAGE) ==
               WAIT_OBJECT_0 + 2) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    readyEvent_.Reset();
    if (thread_ && skipEvent_ && cancelEvent_) return true;
    Close();
    return false;
}

void TProgressWindow::SetRange(int32_t low, int32_t high) {
    const std::lock_guard<std::mutex> lock(shownLock_);
    shown_.low = low;
    shown_.high = high;
    shown_.rangeChanged = true;
}

void TProgressWindow::SetPos(int32_t position) {
    const std::lock_guard<std::mutex> lock(shownLock_);
    shown_.position = position;
    shown_.positionChanged = true;
}

void TProgressWindow::SetText(const std::string& text) {
    // The box shows three lines. It lays its text out anew at every change, and for a long
    // word (a list line of 30,000 characters) that takes seconds, during which its thread
    // answers nobody: not the run's thread, which hides the window for the summary, nor a
    // screen reader.
    constexpr size_t ShownCharacters = 1024;
    const std::lock_guard<std::mutex> lock(shownLock_);
    shown_.text = ShownText(text, ShownCharacters);
    shown_.textChanged = true;
}

void TProgressWindow::SetStatus(const std::string& status) {
    const std::lock_guard<std::mutex> lock(shownLock_);
    shown_.status = status;
    shown_.statusChanged = true;
}

void TProgressWindow::Close() {
    HWND window = window_;
    if (IsLiveWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
    if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
    skipEvent_.Reset();
    cancelEvent_.Reset();
}
