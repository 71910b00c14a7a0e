#include "DlgPreview.h"

#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "DlgLocaleU.h"

namespace {
// Lengths in pixels at 96 DPI, scaled to the window's.
constexpr int MarginAt96 = 6;
constexpr SIZE SmallestAt96 = {320, 160};

struct TPreviewData {
    std::string text;
    bool offerRun;
};

// The text fills the window; Copy stays at the bottom left, Run and Cancel at the right.
void LayOut(HWND dialog) {
    const int margin = ScaledToWindow(dialog, MarginAt96);
    RECT client, button;
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &button);
    const int width = button.right - button.left, height = button.bottom - button.top;
    const int buttonsTop = client.bottom - margin - height;
    MoveWindow(GetDlgItem(dialog, IDC_PREVIEW_COMMANDS), margin, margin, client.right - 2 * margin,
               buttonsTop - 2 * margin, TRUE);
    MoveWindow(GetDlgItem(dialog, IDC_PREVIEW_COPY), margin, buttonsTop, width, height, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - margin - width, buttonsTop, width,
               height, TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), client.right - 2 * (margin + width), buttonsTop, width,
               height, TRUE);
}

void CopyAll(HWND dialog) {
    HWND commands = GetDlgItem(dialog, IDC_PREVIEW_COMMANDS);
    SendMessageA(commands, EM_SETSEL, 0, -1);
    SendMessageA(commands, WM_COPY, 0, 0);
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETMINMAXINFO) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {
            ScaledToWindow(dialog, SmallestAt96.cx), ScaledToWindow(dialog, SmallestAt96.cy)};
        return TRUE;
    }
    const TPreviewData* data = DialogData<TPreviewData>(dialog, message, lParam);
    if (!data) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        SetProgramIcon(dialog);
        LocalizeWindow(dialog, Options().GetLanguageFile());
        SendDlgItemMessageA(dialog, IDC_PREVIEW_COMMANDS, EM_SETLIMITTEXT, 0,
                            0); // no limit but memory
        SetDialogItemText(dialog, IDC_PREVIEW_COMMANDS, data->text);
        if (!data->offerRun) ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
        LayOut(dialog);
        // The focus on a button, so that the text opens without a selection.
        SetFocus(GetDlgItem(dialog, data->offerRun ? IDOK : IDCANCEL));
        return FALSE;
    case WM_SIZE:
        LayOut(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PREVIEW_COPY:
            CopyAll(dialog);
            return TRUE;
        case IDOK:
            if (data->offerRun) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

bool PreviewDialog(HWND owner, const std::vector<std::string>& commands, bool withRun) {
    TPreviewData data{std::string(), withRun};
    for (const std::string& command : commands)
        data.text += command + "\r\n";
    return GuardedDialogBox(IDD_PREVIEW, owner, PreviewProc, &data) == IDOK;
}
