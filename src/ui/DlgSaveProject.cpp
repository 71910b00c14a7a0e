#include "DlgSaveProject.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellLink.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxWinUtils.h"
#include "../launcher/vxCommandLine.h"
#include "../settings/zemrunOptions.h"
#include "../settings/zemrunProjects.h"
#include "DlgLocaleU.h"

namespace {
constexpr int SaveProjectDialogId = 103;
constexpr int NameId = 1000;
constexpr int SelectAllId = 1203;
constexpr int ClearAllId = 1204;
constexpr int SendToId = 1018;

// Each check box and the field index of the key it stores.
constexpr std::pair<int, int> FieldBoxes[ProjectFieldCount] = {
    {1001, 0}, {1002, 1}, {1003, 2}, {1004, 3}, {1005, 4}, {1006, 5},
    {1007, 6}, {1008, 8}, {1010, 9}, {1011, 7}, {1012, 10}, {1013, 11}, {1014, 12}, {1015, 13}, {1016, 14},
    {1017, 15}};

TOptions dialogSettings;
std::string resultName;

void SetAllBoxes(HWND dialog, bool checked) {
    for (const auto& [box, field] : FieldBoxes) CheckDlgButton(dialog, box, checked ? BST_CHECKED : BST_UNCHECKED);
}

// The project's entry in the user's Send To menu: a shortcut that runs it over the files
// Explorer appends.
std::string SendToShortcut(const std::string& name) {
    return SpecialFolderPath(CSIDL_SENDTO_ID) + "\\" + SafeFileName(name) + ".lnk";
}

void ShowSendToState(HWND dialog) {
    const std::string name = Trim(DialogItemText(dialog, NameId));
    const bool listed = !name.empty() && PathExists(SendToShortcut(name));
    CheckDlgButton(dialog, SendToId, listed ? BST_CHECKED : BST_UNCHECKED);
}

void StoreSendTo(HWND dialog, const std::string& name) {
    const std::string shortcut = SendToShortcut(name);
    const std::string program = ProgramPath();
    if (IsDlgButtonChecked(dialog, SendToId) == BST_CHECKED) {
        CreateFolderPath(shortcut);
        WriteShortcut(shortcut, program, "\"/J:" + name + "\" /A", program);
    }
    else if (PathExists(shortcut))
        RemoveFile(shortcut);
}

void OnOk(HWND dialog) {
    resultName = Trim(DialogItemText(dialog, NameId));
    if (!resultName.empty()) {
        uint16_t fields = 0;
        for (const auto& [box, field] : FieldBoxes)
            if (IsDlgButtonChecked(dialog, box) == BST_CHECKED) fields |= uint16_t(1u << field);
        Projects().SaveProject(resultName, dialogSettings, fields);
        StoreSendTo(dialog, resultName);
    }
    PostMessageA(dialog, WM_CLOSE, IDOK, 0);
}

INT_PTR CALLBACK SaveProjectProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetProgramIcon(dialog);
        LocalizeWindow(dialog, Options().GetLanguageFile());
        return FALSE; // no focus set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case NameId:
            if (HIWORD(wParam) == EN_CHANGE) {
                EnableWindow(GetDlgItem(dialog, IDOK), !Trim(DialogItemText(dialog, NameId)).empty());
                ShowSendToState(dialog);
            }
            return TRUE;
        case IDOK: OnOk(dialog); return TRUE;
        case IDCANCEL:
            resultName.clear();
            PostMessageA(dialog, WM_CLOSE, IDCANCEL, 0);
            return TRUE;
        case SelectAllId: SetAllBoxes(dialog, true); return TRUE;
        case ClearAllId: SetAllBoxes(dialog, false); return TRUE;
        default: return FALSE;
        }
    case WM_CLOSE:
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    default: return FALSE;
    }
}
} // namespace

std::string SaveAsProjectDialog(HWND owner, const TOptions& settings) {
    CopyOptions(dialogSettings, settings);
    resultName.clear();
    GuardedDialogBox(SaveProjectDialogId, owner, SaveProjectProc);
    return resultName;
}
