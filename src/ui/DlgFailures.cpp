#include "DlgFailures.h"

#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "DlgLocaleU.h"

#include <commctrl.h>

namespace {
// Lengths in pixels at 96 DPI, scaled to the window's.
constexpr int MarginAt96 = 6;
constexpr SIZE SmallestAt96 = {560, 200};
constexpr const char* SizeKey = "FailuresWindow";

struct TFailuresData {
    const POINT* at;
    std::string status;
    const std::vector<TFailureRow>* rows;
    UINT dpi = 96; // the window's, for the columns
};

// The status line and the list fill the window; the three actions stay at the bottom
// left, Close at the bottom right.
void LayOut(HWND dialog) {
    const int margin = ScaledToWindow(dialog, MarginAt96);
    RECT client, status, button;
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDC_FAILURES_STATUS), &status);
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &button);
    const int statusHeight = status.bottom - status.top;
    const int height = button.bottom - button.top;
    const int buttonsTop = client.bottom - margin - height;
    MoveWindow(GetDlgItem(dialog, IDC_FAILURES_STATUS), margin, margin, client.right - 2 * margin,
               statusHeight, TRUE);
    const int listTop = 2 * margin + statusHeight;
    MoveWindow(GetDlgItem(dialog, IDC_FAILURES_LIST), margin, listTop, client.right - 2 * margin,
               buttonsTop - margin - listTop, TRUE);
    int left = margin;
    for (const int id : {IDC_FAILURES_RUN_AGAIN, IDC_FAILURES_OPEN, IDC_FAILURES_COPY}) {
        RECT own;
        GetWindowRect(GetDlgItem(dialog, id), &own);
        MoveWindow(GetDlgItem(dialog, id), left, buttonsTop, own.right - own.left, height, TRUE);
        left += own.right - own.left + margin;
    }
    const int closeWidth = button.right - button.left;
    MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - margin - closeWidth, buttonsTop,
               closeWidth, height, TRUE);
}

// A cell shows the start of a long item, as the progress window does; Copy list copies
// them whole.
void SetCell(HWND list, int row, int column, const std::string& text) {
    constexpr size_t ShownCharacters = 1024;
    std::u16string wide = ProcessToUtf16(ShownText(text, ShownCharacters));
    LVITEMW cell{};
    cell.mask = LVIF_TEXT;
    cell.iItem = row;
    cell.iSubItem = column;
    cell.pszText = reinterpret_cast<wchar_t*>(wide.data());
    SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, WPARAM(row),
                 LPARAM(&cell));
}

void FillList(HWND dialog, const std::vector<TFailureRow>& rows) {
    HWND list = GetDlgItem(dialog, IDC_FAILURES_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const std::string language = Options().GetLanguageFile();
    const struct {
        int32_t text;
        int widthAt96;
    } columns[] = {{IDS_COLUMN_ITEM, 200},
                   {IDS_COLUMN_TRIES, 70},
                   {IDS_COLUMN_REASON, 250},
                   {IDS_COLUMN_OUTPUT, 150}};
    for (int i = 0; i < int(std::size(columns)); ++i) {
        std::u16string title = ProcessToUtf16(LangString(language, columns[i].text));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = ScaledToWindow(dialog, columns[i].widthAt96);
        column.pszText = reinterpret_cast<wchar_t*>(title.data());
        SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&column));
    }
    for (int row = 0; row < int(rows.size()); ++row) {
        const TFailureRow& failed = rows[size_t(row)];
        SetCell(list, row, 0, failed.item);
        SetCell(list, row, 1, failed.tries);
        SetCell(list, row, 2, failed.reason);
        SetCell(list, row, 3, failed.output);
    }
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Opens the selected item's output file with the program registered for it.
void OpenOutput(HWND dialog, const std::vector<TFailureRow>& rows) {
    const int selected = int(
        SendDlgItemMessageW(dialog, IDC_FAILURES_LIST, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    if (selected < 0 || selected >= int(rows.size()) || rows[size_t(selected)].output.empty())
        return;
    OpenWithShell(dialog, rows[size_t(selected)].output);
}

void CopyItems(HWND dialog, const std::vector<TFailureRow>& rows) {
    std::string text;
    for (const TFailureRow& row : rows)
        text += row.item + "\r\n";
    CopyTextToClipboard(dialog, text);
}

// The size the user gave the window last, where the options keep one: in pixels at 96 DPI,
// so that it is the same size on a monitor of another scale.
void RestoreSize(HWND dialog) {
    int width = 0, height = 0;
    const std::string kept = Options().GeneralValue(SizeKey);
    if (std::sscanf(kept.c_str(), "%d,%d", &width, &height) != 2 || width < 200 || height < 120)
        return;
    SetWindowPos(dialog, nullptr, 0, 0, ScaledToWindow(dialog, width),
                 ScaledToWindow(dialog, height), SWP_NOMOVE | SWP_NOZORDER);
}

void KeepSize(HWND dialog) {
    RECT window;
    if (IsIconic(dialog) || IsZoomed(dialog) || !GetWindowRect(dialog, &window)) return;
    const int dpi = int(WindowDpi(dialog));
    Options().SetGeneralValue(SizeKey,
                              std::to_string(MulDiv(window.right - window.left, 96, dpi)) + "," +
                                  std::to_string(MulDiv(window.bottom - window.top, 96, dpi)));
}

// On a monitor of another scale the columns keep their share of the list; the dialog
// manager scales the window and its controls.
void RescaleColumns(HWND dialog, UINT fromDpi, UINT toDpi) {
    HWND list = GetDlgItem(dialog, IDC_FAILURES_LIST);
    for (int column = 0; column < 4; ++column) {
        const int width = int(SendMessageW(list, LVM_GETCOLUMNWIDTH, WPARAM(column), 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, WPARAM(column),
                     LPARAM(MulDiv(width, int(toDpi), int(fromDpi))));
    }
}

INT_PTR CALLBACK FailuresProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETMINMAXINFO) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {
            ScaledToWindow(dialog, SmallestAt96.cx), ScaledToWindow(dialog, SmallestAt96.cy)};
        return TRUE;
    }
    TFailuresData* data = DialogData<TFailuresData>(dialog, message, lParam);
    if (!data) return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        SetProgramIcon(dialog);
        LocalizeWindow(dialog, Options().GetLanguageFile());
        SetDialogItemText(dialog, IDC_FAILURES_STATUS, data->status);
        data->dpi = WindowDpi(dialog);
        FillList(dialog, *data->rows);
        bool anyOutput = false;
        for (const TFailureRow& row : *data->rows)
            anyOutput = anyOutput || !row.output.empty();
        EnableWindow(GetDlgItem(dialog, IDC_FAILURES_OPEN), anyOutput);
        RestoreSize(dialog);
        if (data->at)
            SetWindowPos(dialog, nullptr, data->at->x, data->at->y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER);
        LayOut(dialog);
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, IDC_FAILURES_LIST));
        return FALSE;
    }
    case WM_SIZE:
        LayOut(dialog);
        return TRUE;
    case WM_DPICHANGED:
        RescaleColumns(dialog, data->dpi, HIWORD(wParam));
        data->dpi = HIWORD(wParam);
        return FALSE; // the dialog manager resizes the window
    case WM_NOTIFY: {
        const auto* note = reinterpret_cast<const NMHDR*>(lParam);
        if (note->idFrom != IDC_FAILURES_LIST || note->code != LVN_ITEMACTIVATE) return FALSE;
        OpenOutput(dialog, *data->rows);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: // Enter, on the list or a button without a command of its own
        case IDC_FAILURES_OPEN:
            OpenOutput(dialog, *data->rows);
            return TRUE;
        case IDC_FAILURES_COPY:
            CopyItems(dialog, *data->rows);
            return TRUE;
        case IDC_FAILURES_RUN_AGAIN:
            KeepSize(dialog);
            EndDialog(dialog, IDC_FAILURES_RUN_AGAIN);
            return TRUE;
        case IDCANCEL:
            KeepSize(dialog);
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        KeepSize(dialog);
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

bool FailuresDialog(const POINT* at, const std::string& status,
                    const std::vector<TFailureRow>& rows) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    TFailuresData data{at, status, &rows, 96};
    return GuardedDialogBox(IDD_FAILURES, nullptr, FailuresProc, &data) == IDC_FAILURES_RUN_AGAIN;
}
