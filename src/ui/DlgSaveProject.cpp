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

// The project's shortcuts that a box of the dialog puts in a special folder or takes out:
// its entry in the user's Send To menu, which runs it over the files Explorer appends, and
// the one in the Startup folder, which runs it (a watch, say) when the user logs on.
struct TProjectShortcut {
    int box;
    int folderId;
    const char* afterProject; // the arguments after the project's
};
constexpr TProjectShortcut ProjectShortcuts[] = {{IDC_SAVE_SEND_TO, CSIDL_SENDTO_ID, " /A"},
                                                 {IDC_SAVE_STARTUP, CSIDL_STARTUP_ID, ""}};

std::string ShortcutPath(const TProjectShortcut& shortcut, const std::string& name) {
    return SpecialFolderPath(shortcut.folderId) + "\\" + SafeFileName(name) + ".lnk";
}

void ShowShortcutStates(HWND dialog) {
    const std::string name = Trim(DialogItemText(dialog, IDC_SAVE_NAME));
    for (const TProjectShortcut& shortcut : ProjectShortcuts) {
        const bool there = !name.empty() && PathExists(ShortcutPath(shortcut, name));
        CheckDlgButton(dialog, shortcut.box, there ? BST_CHECKED : BST_UNCHECKED);
    }
}

void StoreShortcuts(HWND dialog, const std::string& name) {
    const std::string program = ProgramPath();
    for (const TProjectShortcut& shortcut : ProjectShortcuts) {
        const std::string path = ShortcutPath(shortcut, name);
        if (IsDlgButtonChecked(dialog, shortcut.box) == BST_CHECKED) {
            CreateFolderPath(path);
            WriteShortcut(path, program, "\"/J:" + name + "\"" + shortcut.afterProject, program);
        } else if (PathExists(path))
            RemoveFile(path);
    }
}

void OnOk(HWND dialog, TSaveProjectData& data) {
    data.name = Trim(DialogItemText(dialog, IDC_SAVE_NAME));
    if (!data.name.empty()) {
        uint32_t fields = 0;
        for (int32_t field = 0; field < ProjectFieldCount; ++field)
            if (IsDlgButtonChecked(dialog, ProjectFields[field].saveBox) == BST_CHECKED)
                fields |= uint32_t(1) << field;
        Projects().SaveProject(data.name, data.settings, fields);
        StoreShortcuts(dialog, data.name);
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
                ShowShortcutStates(dialog);
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
