#include "WatchIcon.h"

#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "DlgLocaleU.h"

#include <shellapi.h>

namespace {
constexpr UINT TextMessage = WM_APP + 2; // the tip or the balloon changed
constexpr UINT MenuOpenFolder = 1, MenuOpenJobLog = 2, MenuShowFailures = 3, MenuStop = 4;

std::wstring Wide(const std::string& text) {
    const std::u16string wide = ProcessToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

// Into a fixed field of the notification data, cut to fit.
template <size_t N> void CopyInto(wchar_t (&field)[N], const std::wstring& text) {
    const size_t length = std::min(text.size(), N - 1);
    text.copy(field, length);
    field[length] = L'\0';
}
} // namespace

bool TWatchIcon::Start(const std::string& folder, const std::string& jobLog, HANDLE stop,
                       HANDLE runAgain, const std::string& languageFile) {
    Close();
    folder_ = folder;
    jobLog_ = jobLog;
    stop_ = stop;
    runAgain_ = runAgain;
    languageFile_ = languageFile;
    ready_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!ready_) return false;
    thread_.Reset(CreateThread(nullptr, 0, Thread, this, 0, nullptr));
    if (!thread_) return false;
    HANDLE waits[2] = {ready_.Get(), thread_.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (window_) return true;
    Close();
    return false;
}

void TWatchIcon::SetTip(const std::string& tip) {
    {
        const std::lock_guard<std::mutex> lock(textLock_);
        tip_ = tip;
    }
    if (HWND window = window_) PostMessageW(window, TextMessage, 0, 0);
}

void TWatchIcon::ShowBalloon(const std::string& text) {
    {
        const std::lock_guard<std::mutex> lock(textLock_);
        balloon_ = Wide(text);
    }
    if (HWND window = window_) PostMessageW(window, TextMessage, 0, 0);
}

void TWatchIcon::AddFailures(const std::vector<TFailureRow>& rows) {
    const std::lock_guard<std::mutex> lock(textLock_);
    failures_.insert(failures_.end(), rows.begin(), rows.end());
}

void TWatchIcon::ClearFailures() {
    const std::lock_guard<std::mutex> lock(textLock_);
    failures_.clear();
}

// The summary of the watch's failures so far.
void TWatchIcon::ShowFailures() {
    std::string status;
    std::vector<TFailureRow> rows;
    {
        const std::lock_guard<std::mutex> lock(textLock_);
        status = tip_;
        rows = failures_;
    }
    if (FailuresDialog(nullptr, status, rows) && runAgain_) SetEvent(runAgain_);
}

void TWatchIcon::Close() {
    if (HWND window = window_) PostMessageW(window, WM_CLOSE, 0, 0);
    if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
    ready_.Reset();
}

bool TWatchIcon::Notify(DWORD action, bool balloon) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WatchIconMessage;
    data.hIcon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    std::wstring tip;
    {
        const std::lock_guard<std::mutex> lock(textLock_);
        tip = Wide(tip_);
        if (balloon) {
            data.uFlags |= NIF_INFO;
            CopyInto(data.szInfo, balloon_);
            CopyInto(data.szInfoTitle, L"Zemrun");
            data.dwInfoFlags = NIIF_WARNING;
            balloon_.clear();
        }
    }
    CopyInto(data.szTip, tip);
    SetWindowTextW(window_, tip.c_str());
    return Shell_NotifyIconW(action, &data);
}

void TWatchIcon::ShowMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    const auto add = [&](UINT command, int textId, bool enabled) {
        AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), command,
                    Wide(LangString(languageFile_, textId)).c_str());
    };
    add(MenuOpenFolder, IDS_OPEN_FOLDER, true);
    add(MenuOpenJobLog, IDS_OPEN_JOB_LOG, !jobLog_.empty());
    bool anyFailed;
    {
        const std::lock_guard<std::mutex> lock(textLock_);
        anyFailed = !failures_.empty();
    }
    add(MenuShowFailures, IDS_SHOW_WHAT_FAILED, anyFailed);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(MenuStop, IDS_STOP_WATCHING, true);
    POINT at;
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its window is in front.
    SetForegroundWindow(window_);
    const UINT chosen =
        UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    if (chosen == MenuOpenFolder) OpenWithShell(window_, folder_);
    if (chosen == MenuOpenJobLog) OpenWithShell(window_, jobLog_);
    if (chosen == MenuShowFailures) ShowFailures();
    if (chosen == MenuStop && stop_) SetEvent(stop_);
}

LRESULT CALLBACK TWatchIcon::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TWatchIcon*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WatchIconMessage:
        if (self && (LOWORD(lParam) == WM_RBUTTONUP || LOWORD(lParam) == WM_LBUTTONUP ||
                     LOWORD(lParam) == WM_CONTEXTMENU))
            self->ShowMenu();
        return 0;
    case TextMessage:
        if (self) {
            bool balloon;
            {
                const std::lock_guard<std::mutex> lock(self->textLock_);
                balloon = !self->balloon_.empty();
            }
            self->Notify(NIM_MODIFY, balloon);
        }
        return 0;
    case WM_CLOSE:
        if (self) self->Notify(NIM_DELETE);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI TWatchIcon::Thread(LPVOID parameter) {
    auto& self = *static_cast<TWatchIcon*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    const std::wstring className = Wide(WatchIconClass);
    windowClass.lpszClassName = className.c_str();
    RegisterClassW(&windowClass); // registered once a process; a second time fails harmlessly
    HWND window = CreateWindowW(className.c_str(), L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, &self);
    if (window) {
        self.window_ = window;
        // Without a notification area (no shell yet at logon) the window still tells.
        self.Notify(NIM_ADD);
    }
    SetEvent(self.ready_.Get());
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    self.window_ = nullptr;
    return 0;
}
