#include "DlgInteractiveU.h"

#include "../foundation/vxCommandLine.h"
#include "../foundation/vxFileUtils.h"
#include "../foundation/vxHandles.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../settings/zemrunProjects.h"
#include "DlgLocaleU.h"
#include "DlgPreview.h"
#include "DlgSaveProject.h"
#include "vxComboBox.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

namespace {
// The encodings offered; any other name or a code page number may be typed.
constexpr const char* EncodingNames[] = {"", "OEM", "ANSI", "UTF-8", "UTF-16"};

// History index, its control; the field is chosen by HistoryField.
constexpr int HistoryControls[HistoryKindCount] = {IDC_MAIN_LIST, IDC_MAIN_EXE, IDC_MAIN_BPARAM,
                                                   IDC_MAIN_EPARAM, IDC_MAIN_REGEXP};

std::string& HistoryField(TOptions& s, int kind) {
    switch (kind) {
    case hkList:
        return s.List;
    case hkExe:
        return s.Exe;
    case hkBParam:
        return s.BParam;
    case hkEParam:
        return s.Eparam;
    default:
        return s.RegExp;
    }
}

// What the dialog works on, from its start to its end.
struct TMainDialogData {
    TOptions settings;
    TPreviewCommands preview;
    // What the list field shows while it stands for items dropped on the dialog (or given
    // after /A); empty when it holds a list's path.
    std::string itemsText;
};

void SettingsToDialog(HWND dialog, const TOptions& settings);
void DialogToSettings(HWND dialog, TOptions& settings);
void FillChoiceLists(HWND dialog);

TMainDialogData& Data(HWND dialog) {
    return *reinterpret_cast<TMainDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// A choice list: the texts of a run of string ids, and the entry the settings choose.
struct TChoiceRow {
    int firstId;
    int lastId;
    int control;
    int (*selected)(const TOptions& settings);
};
constexpr TChoiceRow ChoiceRows[] = {
    {IDS_GUI_NONE, IDS_GUI_ALWAYS, IDC_MAIN_GUI, [](const TOptions& s) { return int(s.GUI); }},
    {IDS_START_CREATE_PROCESS, IDS_START_SHELL_EXECUTE, IDC_MAIN_SHELL,
     [](const TOptions& s) { return s.ShellExecute ? 1 : 0; }},
    {IDS_WINDOW_NORMAL, IDS_WINDOW_MAXIMIZED, IDC_MAIN_WINDOW,
     [](const TOptions& s) { return int(s.Window - 1); }},
    {IDS_PRIORITY_NORMAL, IDS_PRIORITY_REALTIME, IDC_MAIN_PRIORITY,
     [](const TOptions& s) { return int(s.Priority); }},
};

HWND Item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

void AddLanguageFiles(HWND combo, const std::string& folder) {
    WIN32_FIND_DATAA data;
    const TvxFindHandle search(FindFirstFileA((folder + "*.lng").c_str(), &data));
    if (!search) return;
    do
        ComboAdd(combo, data.cFileName);
    while (FindNextFileA(search.Get(), &data));
}

void FillLanguageList(HWND dialog) {
    HWND combo = Item(dialog, IDC_MAIN_LANGUAGE);
    ComboAdd(combo, "English");
    AddLanguageFiles(combo, PathFolder(ProgramPath()));
    AddLanguageFiles(combo, SpecialFolderPath(CSIDL_COMMON_APPDATA_ID) + "\\");
    AddLanguageFiles(combo, SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + "\\");
    const std::string languageFile = Options().GetLanguageFile();
    const std::string name = PathFileName(languageFile);
    int found = ComboFind(combo, name);
    if (found < 0) {
        AddLanguageFiles(combo, PathFolder(languageFile));
        found = ComboFind(combo, name);
    }
    ComboSelect(combo, found < 0 ? 0 : found);
}

void FillProjectList(HWND dialog) {
    HWND combo = Item(dialog, IDC_MAIN_PROJECTS);
    ComboClear(combo);
    for (int32_t i = 0; i < Projects().Count(); ++i)
        ComboAdd(combo, Projects().Items(i)->Name());
}

// The entry of the file that the setting names keeps the setting as it is, a full path
// included; any other entry is looked for in the settings folders.
void ChooseLanguage(HWND dialog) {
    const std::string name = ComboText(Item(dialog, IDC_MAIN_LANGUAGE));
    const std::string current = Options().GetLanguageFile();
    if (!SameTextAnsi(name, PathFileName(current)) || !PathExists(current)) {
        const std::string local = SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + "\\" + name;
        const std::string common = SpecialFolderPath(CSIDL_COMMON_APPDATA_ID) + "\\" + name;
        Options().SetLanguage(PathExists(local) ? local : PathExists(common) ? common : name);
    }
    LocalizeWindow(dialog, Options().GetLanguageFile());
    FillChoiceLists(dialog);
}

bool FoundAnywhere(const std::string& path) {
    return PathExists(path) || FindOnSearchPath(path);
}

bool ListStandsForItems(HWND dialog) {
    const std::string& itemsText = Data(dialog).itemsText;
    return !itemsText.empty() && ComboText(Item(dialog, IDC_MAIN_LIST)) == itemsText;
}

void UpdateOkButton(HWND dialog) {
    const std::string exe = ComboText(Item(dialog, IDC_MAIN_EXE));
    const bool exeAcceptable = exe.empty() || FoundAnywhere(exe);
    // A watch takes its items from its folder, which may come later.
    const bool listAcceptable = ListStandsForItems(dialog) ||
                                FoundAnywhere(ComboText(Item(dialog, IDC_MAIN_LIST))) ||
                                !Trim(DialogItemText(dialog, IDC_MAIN_WATCH_FOLDER)).empty();
    EnableWindow(Item(dialog, IDOK), exeAcceptable && listAcceptable);
}

// The list field tells how many items the run has besides a list.
void ShowItemCount(HWND dialog) {
    TMainDialogData& data = Data(dialog);
    data.itemsText = LangString(Options().GetLanguageFile(), IDS_DROPPED_ITEMS) + " " +
                     IntToText(int32_t(data.settings.Items.size()));
    SendMessageA(Item(dialog, IDC_MAIN_LIST), CB_SETCURSEL, WPARAM(-1), 0);
    SetDialogItemText(dialog, IDC_MAIN_LIST, data.itemsText);
    UpdateOkButton(dialog);
}

// A typed or chosen list replaces the items.
void OnListChange(HWND dialog) {
    if (!Data(dialog).itemsText.empty() && !ListStandsForItems(dialog)) {
        Data(dialog).itemsText.clear();
        Data(dialog).settings.Items.clear();
    }
    UpdateOkButton(dialog);
}

bool DroppedOn(HWND dialog, HWND control, POINT point) {
    RECT area{};
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    return PtInRect(&area, point) != 0;
}

// One file dropped on the list field becomes the list; several files, or files dropped
// anywhere else, become the items of this run.
void OnDropFiles(HWND dialog, WPARAM drop) {
    POINT point{};
    const std::vector<std::string> files = TakeDroppedFiles(drop, point);
    if (files.empty()) return;
    if (files.size() == 1 && DroppedOn(dialog, Item(dialog, IDC_MAIN_LIST), point)) {
        SendMessageA(Item(dialog, IDC_MAIN_LIST), CB_SETCURSEL, WPARAM(-1), 0);
        if (SetDialogItemText(dialog, IDC_MAIN_LIST, files[0]))
            PostComboChange(Item(dialog, IDC_MAIN_LIST));
        return;
    }
    Data(dialog).settings.Items = files;
    ShowItemCount(dialog);
}

// The file the user picks, empty when none. The wide dialog: a path of MAX_PATH
// characters may take three times as many bytes in UTF-8.
std::string ChooseFile(HWND dialog, const char16_t* filter, DWORD flags, bool save) {
    char16_t path[MAX_PATH] = u"";
    OPENFILENAMEW dialogData{};
    dialogData.lStructSize = sizeof(dialogData);
    dialogData.hwndOwner = dialog;
    dialogData.lpstrFilter = reinterpret_cast<LPCWSTR>(filter);
    dialogData.nFilterIndex = 1;
    dialogData.lpstrFile = reinterpret_cast<LPWSTR>(path);
    dialogData.nMaxFile = MAX_PATH;
    dialogData.Flags = OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_EXPLORER | flags;
    const BOOL chosen = save ? GetSaveFileNameW(&dialogData) : GetOpenFileNameW(&dialogData);
    return chosen ? ProcessFromUtf16(path) : std::string();
}

void Browse(HWND dialog, int control) {
    const std::string path =
        control == IDC_MAIN_LIST
            ? ChooseFile(dialog, u"All files (*.*)\0*.*\0", OFN_FILEMUSTEXIST, false)
            : ChooseFile(dialog,
                         u"Executable (*.exe;*.com;*.bat;*.cmd)\0*.exe;*.com;*.bat;*.cmd\0"
                         u"All files (*.*)\0*.*\0",
                         OFN_FILEMUSTEXIST, false);
    if (path.empty()) return;
    // The chosen path replaces the field as typing would: no entry stays selected, so
    // that the field's text is what counts.
    SendMessageA(Item(dialog, control), CB_SETCURSEL, WPARAM(-1), 0);
    if (SetDialogItemText(dialog, control, path)) PostComboChange(Item(dialog, control));
}

// The job log is appended to: it may exist or not.
void BrowseJobLog(HWND dialog) {
    const std::string path =
        ChooseFile(dialog, u"Job logs (*.tsv;*.txt)\0*.tsv;*.txt\0All files (*.*)\0*.*\0", 0, true);
    if (!path.empty()) SetDialogItemText(dialog, IDC_MAIN_JOB_LOG, path);
}

// A folder the user picks into the field, the wide dialog as for files.
void BrowseFolder(HWND dialog, int field) {
    BROWSEINFOW browse{};
    browse.hwndOwner = dialog;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const TvxItemIdList folder(SHBrowseForFolderW(&browse));
    char16_t path[MAX_PATH] = u"";
    if (folder && SHGetPathFromIDListW(folder.Get(), reinterpret_cast<LPWSTR>(path)))
        SetDialogItemText(dialog, field, ProcessFromUtf16(path));
}

// The stop count belongs to the failures that the exit status counts.
void EnableHaltCount(HWND dialog) {
    EnableWindow(Item(dialog, IDC_MAIN_HALT),
                 IsDlgButtonChecked(dialog, IDC_MAIN_COUNT_FAILURES) == BST_CHECKED);
}

// A list encoding unknown here is said at once, and the dialog stays.
bool EncodingKnown(HWND dialog, const TOptions& settings) {
    uint32_t codePage = 0;
    if (ReadEncodingName(settings.Encoding, codePage)) return true;
    ShowUnknownEncodingMessage(dialog, settings.Encoding);
    SetFocus(Item(dialog, IDC_MAIN_ENCODING));
    return false;
}

void OnPreview(HWND dialog) {
    TOptions current = Data(dialog).settings;
    DialogToSettings(dialog, current);
    const TPreviewCommands& preview = Data(dialog).preview;
    if (preview && EncodingKnown(dialog, current)) PreviewDialog(dialog, preview(current), false);
}

void OnOk(HWND dialog) {
    TOptions current = Data(dialog).settings;
    DialogToSettings(dialog, current);
    if (!EncodingKnown(dialog, current)) return;
    DialogToSettings(dialog, Data(dialog).settings);
    for (int kind = 0; kind < HistoryKindCount; ++kind) {
        if (kind == hkList && ListStandsForItems(dialog)) continue; // no list was used
        HWND combo = Item(dialog, HistoryControls[kind]);
        const std::string text = ComboText(combo);
        TvxStringList history;
        ComboToList(combo, history);
        const int found = ComboFindExact(combo, text);
        if (found > 0) history.Delete(found);
        if (found != 0) history.Insert(0, text);
        Options().SetHistory(kind, &history);
    }
    PostMessageA(dialog, WM_CLOSE, IDOK, 0);
}

void OnLoad(HWND dialog) {
    const std::string name = ComboText(Item(dialog, IDC_MAIN_PROJECTS));
    if (name.empty()) return;
    Projects().LoadProject(name, Data(dialog).settings);
    SettingsToDialog(dialog, Data(dialog).settings);
    FillChoiceLists(dialog);
}

void OnSave(HWND dialog) {
    TOptions fresh;
    SetDefaultOptions(fresh);
    DialogToSettings(dialog, fresh);
    if (!SaveAsProjectDialog(dialog, fresh).empty()) Projects().Refresh();
    FillProjectList(dialog);
}

void StoreChoice(HWND dialog, int control) {
    const int index = ComboSelection(Item(dialog, control));
    TOptions& settings = Data(dialog).settings;
    switch (control) {
    case IDC_MAIN_SHELL:
        settings.ShellExecute = index != 0;
        break;
    case IDC_MAIN_GUI:
        settings.GUI = index;
        break;
    case IDC_MAIN_WINDOW:
        settings.Window = index + 1;
        break;
    default:
        settings.Priority = index;
        break;
    }
}

void OnInit(HWND dialog) {
    SetProgramIcon(dialog);
    const std::string caption = "Zemrun " + FileVersionText(ProgramPath());
    SetWindowTextA(dialog, caption.c_str());
    SettingsToDialog(dialog, Data(dialog).settings);
    FillLanguageList(dialog);
    FillProjectList(dialog);
    Data(dialog).itemsText.clear();
    if (!Data(dialog).settings.Items.empty()) ShowItemCount(dialog);
    AcceptDroppedFiles(dialog);
}

INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!DialogData<TMainDialogData>(dialog, message, lParam)) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return FALSE; // no focus set
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        const bool changed = code == CBN_SELCHANGE || code == CBN_EDITCHANGE;
        switch (id) {
        case IDOK:
            OnOk(dialog);
            return TRUE;
        case IDCANCEL:
            PostMessageA(dialog, WM_CLOSE, IDCANCEL, 0);
            return TRUE;
        case IDC_MAIN_BROWSE_LIST:
            Browse(dialog, IDC_MAIN_LIST);
            return TRUE;
        case IDC_MAIN_BROWSE_EXE:
            Browse(dialog, IDC_MAIN_EXE);
            return TRUE;
        case IDC_MAIN_LIST:
            if (changed) OnListChange(dialog);
            return TRUE;
        case IDC_MAIN_EXE:
            if (changed) UpdateOkButton(dialog);
            return TRUE;
        case IDC_MAIN_WATCH_FOLDER:
            if (HIWORD(wParam) == EN_CHANGE) UpdateOkButton(dialog);
            return TRUE;
        case IDC_MAIN_SHELL:
        case IDC_MAIN_GUI:
        case IDC_MAIN_WINDOW:
        case IDC_MAIN_PRIORITY:
            if (changed) StoreChoice(dialog, id);
            return TRUE;
        case IDC_MAIN_LANGUAGE:
            if (changed) ChooseLanguage(dialog);
            return TRUE;
        case IDC_MAIN_LOAD:
            OnLoad(dialog);
            return TRUE;
        case IDC_MAIN_SAVE:
            OnSave(dialog);
            return TRUE;
        case IDC_MAIN_BROWSE_JOB_LOG:
            BrowseJobLog(dialog);
            return TRUE;
        case IDC_MAIN_BROWSE_OUTPUT:
            BrowseFolder(dialog, IDC_MAIN_OUTPUT_FOLDER);
            return TRUE;
        case IDC_MAIN_BROWSE_WATCH:
            BrowseFolder(dialog, IDC_MAIN_WATCH_FOLDER);
            return TRUE;
        case IDC_MAIN_COUNT_FAILURES:
            EnableHaltCount(dialog);
            return TRUE;
        case IDC_MAIN_PREVIEW:
            OnPreview(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    }
    case WM_DROPFILES:
        OnDropFiles(dialog, wParam);
        return TRUE;
    case WM_CLOSE:
        RemoveProperties(dialog, {LocalizeMarkProperty});
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
void SetUpDown(HWND dialog, int upDown, int32_t low, int32_t high, int32_t value) {
    SendMessageA(Item(dialog, upDown), UDM_SETRANGE32, WPARAM(low), LPARAM(high));
    SendMessageA(Item(dialog, upDown), UDM_SETPOS32, 0, std::clamp(value, low, high));
}

int32_t UpDownPos(HWND dialog, int upDown) {
    return int32_t(SendMessageA(Item(dialog, upDown), UDM_GETPOS32, 0, 0));
}

void SettingsToDialog(HWND dialog, const TOptions& settings) {
    TOptions values = settings;
    for (int kind = 0; kind < HistoryKindCount; ++kind) {
        HWND combo = Item(dialog, HistoryControls[kind]);
        const std::unique_ptr<TvxStringList> history = Options().GetHistory(kind);
        if (history->Count() > 0)
            ListToCombo(combo, *history);
        else
            ComboClear(combo);
        const std::string& value = HistoryField(values, kind);
        if (ComboSelectText(combo, value) < 0) {
            ComboInsert(combo, 0, value);
            ComboSelect(combo, 0);
        }
    }
    HWND upDown = Item(dialog, IDC_MAIN_PAUSE_UPDOWN);
    SendMessageA(upDown, UDM_SETRANGE, 0, MAKELPARAM(32767, 0));
    SendMessageA(upDown, UDM_SETPOS, 0, MAKELPARAM(settings.FirstPause, 0));
    SendMessageA(upDown, UDM_SETRANGE32, 0, 2147483647);
    SendMessageA(upDown, UDM_SETPOS32, 0, settings.FirstPause);
    CheckDlgButton(dialog, IDC_MAIN_WAIT_OPEN, settings.WaitOpen ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_MAIN_WAIT_CLOSE, settings.WaitClose ? BST_CHECKED : BST_UNCHECKED);
    SetUpDown(dialog, IDC_MAIN_JOBS_UPDOWN, 1, MaxJobs, settings.Jobs);
    SetDialogItemText(dialog, IDC_MAIN_JOB_LOG, settings.JobLog);
    CheckDlgButton(dialog, IDC_MAIN_RESUME, settings.Resume ? BST_CHECKED : BST_UNCHECKED);
    SetUpDown(dialog, IDC_MAIN_TIME_LIMIT_UPDOWN, 0, INT32_MAX, settings.TimeLimit);
    SetUpDown(dialog, IDC_MAIN_RETRIES_UPDOWN, 0, MaxRetries, settings.Retries);
    SetUpDown(dialog, IDC_MAIN_ITEMS_UPDOWN, 1, INT32_MAX, settings.ItemsPerCommand);
    CheckDlgButton(dialog, IDC_MAIN_SHOW_FAILURES,
                   settings.ShowFailures == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_MAIN_COUNT_FAILURES,
                   settings.Halt != NoHalt ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, IDC_MAIN_HALT, UINT(std::max(settings.Halt, 0)), FALSE);
    EnableHaltCount(dialog);
    SetDialogItemText(dialog, IDC_MAIN_OUTPUT_FOLDER, settings.OutputFolder);
    SetDialogItemText(dialog, IDC_MAIN_WATCH_FOLDER, settings.WatchFolder);
    HWND encoding = Item(dialog, IDC_MAIN_ENCODING);
    ComboClear(encoding);
    for (const char* name : EncodingNames)
        ComboAdd(encoding, name);
    if (ComboSelectText(encoding, settings.Encoding) < 0)
        SetDialogItemText(dialog, IDC_MAIN_ENCODING, settings.Encoding);
}

void DialogToSettings(HWND dialog, TOptions& settings) {
    for (int kind = 0; kind < HistoryKindCount; ++kind)
        HistoryField(settings, kind) = ComboText(Item(dialog, HistoryControls[kind]));
    const bool itemsOnly = ListStandsForItems(dialog);
    if (itemsOnly) settings.List.clear();
    settings.Items = itemsOnly ? Data(dialog).settings.Items : std::vector<std::string>();
    settings.WaitOpen = IsDlgButtonChecked(dialog, IDC_MAIN_WAIT_OPEN) == BST_CHECKED;
    settings.WaitClose = IsDlgButtonChecked(dialog, IDC_MAIN_WAIT_CLOSE) == BST_CHECKED;
    settings.ShellExecute = ComboSelection(Item(dialog, IDC_MAIN_SHELL)) != 0;
    settings.GUI = ComboSelection(Item(dialog, IDC_MAIN_GUI));
    HWND upDown = Item(dialog, IDC_MAIN_PAUSE_UPDOWN);
    int32_t pause = int32_t(SendMessageA(upDown, UDM_GETPOS32, 0, 0));
    if (pause == 0) pause = LOWORD(SendMessageA(upDown, UDM_GETPOS, 0, 0));
    settings.FirstPause = pause;
    settings.Window = ComboSelection(Item(dialog, IDC_MAIN_WINDOW)) + 1;
    settings.Priority = ComboSelection(Item(dialog, IDC_MAIN_PRIORITY));
    settings.Jobs = UpDownPos(dialog, IDC_MAIN_JOBS_UPDOWN);
    settings.JobLog = DialogItemText(dialog, IDC_MAIN_JOB_LOG);
    settings.Resume = IsDlgButtonChecked(dialog, IDC_MAIN_RESUME) == BST_CHECKED;
    settings.Encoding = Trim(ComboText(Item(dialog, IDC_MAIN_ENCODING)));
    settings.TimeLimit = UpDownPos(dialog, IDC_MAIN_TIME_LIMIT_UPDOWN);
    settings.Retries = UpDownPos(dialog, IDC_MAIN_RETRIES_UPDOWN);
    settings.ItemsPerCommand = UpDownPos(dialog, IDC_MAIN_ITEMS_UPDOWN);
    settings.ShowFailures = IsDlgButtonChecked(dialog, IDC_MAIN_SHOW_FAILURES) == BST_CHECKED;
    // The field holds digits only; a count beyond the numbers' range stops never.
    const UINT halt = GetDlgItemInt(dialog, IDC_MAIN_HALT, nullptr, FALSE);
    settings.Halt = IsDlgButtonChecked(dialog, IDC_MAIN_COUNT_FAILURES) == BST_CHECKED
                        ? int32_t(std::min<UINT>(halt, INT32_MAX))
                        : NoHalt;
    settings.OutputFolder = Trim(DialogItemText(dialog, IDC_MAIN_OUTPUT_FOLDER));
    settings.WatchFolder = Trim(DialogItemText(dialog, IDC_MAIN_WATCH_FOLDER));
}

void FillChoiceLists(HWND dialog) {
    const std::string languageFile = Options().GetLanguageFile();
    for (const TChoiceRow& row : ChoiceRows) {
        HWND combo = Item(dialog, row.control);
        ComboClear(combo);
        for (int id = row.firstId; id <= row.lastId; ++id)
            ComboAdd(combo, LangString(languageFile, id));
        ComboSelect(combo, row.selected(Data(dialog).settings));
    }
}

} // namespace

void ShowUnknownEncodingMessage(HWND owner, const std::string& name) {
    const std::string languageFile = Options().GetLanguageFile();
    const std::string text = LangString(languageFile, IDS_UNKNOWN_ENCODING) + " " + name + "\r\n" +
                             LangString(languageFile, IDS_ENCODING_NAMES);
    MessageBoxA(owner, text.c_str(), "Zemrun", MB_OK | MB_ICONERROR);
}

bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) {
    TMainDialogData data{settings, preview, std::string()};
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const INT_PTR result = GuardedDialogBox(IDD_MAIN, nullptr, MainProc, &data);
    settings = data.settings;
    return result == IDOK;
}
