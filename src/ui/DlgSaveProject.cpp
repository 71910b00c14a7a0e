#include "DlgSaveProject.h"

#include "../foundation/vxCommandLine.h"
#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellLink.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../settings/zemrunProjects.h"
#include "DlgLocaleU.h"

namespace {
struct TSaveProjectData {
    const TOptions& settings;
    std::string name; // the name stored under, empty when nothing was stored
};

void SetAllBoxes(HWND dialog, bool checked) {
    for (const TProjectField& field : ProjectFields)
        CheckDlgButton(dialog, field.saveBox, checked ? BST_CHECKED : BST_UNCHECKED);
}

// The project's entry in the user's Send To menu: a shortcut that runs it over the files
// Explorer appends.
std::string SendToShortcut(const std::string& name) {
    return SpecialFolderPath(CSIDL_SENDTO_ID) + "\\" + SafeFileName(name) + ".lnk";
}

void ShowSendToState(HWND dialog) {
    const std::string name = Trim(DialogItemText(dialog, IDC_SAVE_NAME));
    const bool listed = !name.empty() && PathExists(SendToShortcut(name));
    CheckDlgButton(dialog, IDC_SAVE_SEND_TO, listed ? BST_CHECKED : BST_UNCHECKED);
}

void StoreSendTo(HWND dialog, const std::string& name) {
    const std::string shortcut = SendToShortcut(name);
    const std::string program = ProgramPath();
    if (IsDlgButtonChecked(dialog, IDC_SAVE_SEND_TO) == BST_CHECKED) {
        CreateFolderPath(shortcut);
        WriteShortcut(shortcut, program, "\"/J:" + name + "\" /A", program);
    } else if (PathExists(shortcut))
        RemoveFile(shortcut);
}

void OnOk(HWND dialog, TSaveProjectData& data) {
    data.name = Trim(DialogItemText(dialog, IDC_SAVE_NAME));
    if (!data.name.empty()) {
        uint32_t fields = 0;
        for (int32_t field = 0; field < ProjectFieldCount; ++field)
            if (IsDlgButtonChecked(dialog, ProjectFields[field].saveBox) == BST_CHECKED)
                fields |= uint32_t(1) << field;
        Projects().SaveProject(data.name, data.settings, fields);
        StoreSendTo(dialog, data.name);
    }
    PostMessageA(dialog, WM_CLOSE, IDOK, 0);
}

INT_PTR CALLBACK SaveProjectProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    TSaveProjectData* data = DialogData<TSaveProjectData>(dialog, message, lParam);
    if (!data) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        SetProgramIcon(dialog);
        LocalizeWindow(dialog, Options().GetLanguageFile());
        return FALSE; // no focus set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SAVE_NAME:
            if (HIWORD(wParam) == EN_CHANGE) {
                EnableWindow(GetDlgItem(dialog, IDOK),
                             !Trim(DialogItemText(dialog, IDC_SAVE_NAME)).empty());
                ShowSendToState(dialog);
            }
            return TRUE;
        case IDOK:
            OnOk(dialog, *data);
            return TRUE;
        case IDCANCEL:
            data->name.clear();
            PostMessageA(dialog, WM_CLOSE, IDCANCEL, 0);
            return TRUE;
        case IDC_SAVE_SELECT_ALL:
            SetAllBoxes(dialog, true);
            return TRUE;
        case IDC_SAVE_CLEAR_ALL:
            SetAllBoxes(dialog, false);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

std::string SaveAsProjectDialog(HWND owner, const TOptions& settings) {
    TSaveProjectData data{settings, std::string()};
    GuardedDialogBox(IDD_SAVE_PROJECT, owner, SaveProjectProc, &data);
    return data.name;
}
