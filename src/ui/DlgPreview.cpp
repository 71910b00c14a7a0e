#include "DlgPreview.h"

#include "../foundation/vxWinUtils.h"
#include "../settings/zemrunOptions.h"
#include "DlgLocaleU.h"

namespace {
constexpr int PreviewDialogId = 104;
constexpr int CommandsId = 1000, CopyId = 1001;
constexpr int Margin = 6;

std::string shownText;
bool offerRun = false;

// The text fills the window; Copy stays at the bottom left, Run and Cancel at the right.
void LayOut(HWND dialog) {
    RECT client, button;
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &button);
    const int width = button.right - button.left, height = button.bottom - button.top;
    const int buttonsTop = client.bottom - Margin - height;
    MoveWindow(GetDlgItem(dialog, CommandsId), Margin, Margin, client.right - 2 * Margin, buttonsTop - 2 * Margin, TRUE);
    MoveWindow(GetDlgItem(dialog, CopyId), Margin, buttonsTop, width, height, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - Margin - width, buttonsTop, width, height, TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), client.right - 2 * (Margin + width), buttonsTop, width, height, TRUE);
}

void CopyAll(HWND dialog) {
    HWND commands = GetDlgItem(dialog, CommandsId);
    SendMessageA(commands, EM_SETSEL, 0, -1);
    SendMessageA(commands, WM_COPY, 0, 0);
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetProgramIcon(dialog);
        LocalizeWindow(dialog, Options().GetLanguageFile());
        SendDlgItemMessageA(dialog, CommandsId, EM_SETLIMITTEXT, 0, 0); // no limit but memory
        SetDialogItemText(dialog, CommandsId, shownText);
        if (!offerRun) ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
        LayOut(dialog);
        // The focus on a button, so that the text opens without a selection.
        SetFocus(GetDlgItem(dialog, offerRun ? IDOK : IDCANCEL));
        return FALSE;
    case WM_SIZE: LayOut(dialog); return TRUE;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {320, 160};
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CopyId: CopyAll(dialog); return TRUE;
        case IDOK:
            if (offerRun) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
        }
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}
} // namespace

bool PreviewDialog(HWND owner, const std::vector<std::string>& commands, bool withRun) {
    shownText.clear();
    for (const std::string& command : commands) shownText += command + "\r\n";
    offerRun = withRun;
    const bool run = GuardedDialogBox(PreviewDialogId, owner, PreviewProc) == IDOK;
    shownText.clear();
    return run;
}
