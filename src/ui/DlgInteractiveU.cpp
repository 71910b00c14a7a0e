#include "DlgInteractiveU.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../launcher/vxCommandLine.h"
#include "../settings/zemrunOptions.h"
#include "../settings/zemrunProjects.h"
#include "DlgLocaleU.h"
#include "DlgPreview.h"
#include "DlgSaveProject.h"
#include "vxComboBox.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

namespace {
constexpr int MainDialogId = 102;
constexpr int BrowseListId = 1001, BrowseExeId = 1003;
constexpr int WaitOpenId = 1005, WaitCloseId = 1008;
constexpr int PauseId = 1009, PauseUpDownId = 1010;
constexpr int ShellId = 1011, GuiId = 1012, WindowId = 1018, PriorityId = 1019;
constexpr int ListId = 1013, ExeId = 1014;
constexpr int ProjectsId = 1020, LanguageId = 1021, LoadId = 1022, SaveId = 1023;
constexpr int JobsId = 1024, JobsUpDownId = 1025, JobLogId = 1026, BrowseJobLogId = 1027, ResumeId = 1028;
constexpr int PreviewId = 1029, EncodingId = 1030;
// The encodings offered; any other name or a code page number may be typed.
constexpr const char* EncodingNames[] = {"", "OEM", "ANSI", "UTF-8", "UTF-16"};

// History index, its control; the field is chosen by HistoryField.
constexpr int HistoryControls[HistoryKindCount] = {ListId, ExeId, 1015, 1016, 1017};

std::string& HistoryField(TOptions& s, int kind) {
    switch (kind) {
    case hkList: return s.List;
    case hkExe: return s.Exe;
    case hkBParam: return s.BParam;
    case hkEParam: return s.Eparam;
    default: return s.RegExp;
    }
}

struct TChoiceRow {
    int firstId;
    int lastId;
    int control;
    int selected; // written before each filling
};

TOptions workingSettings;
TPreviewCommands previewCommands;
// What the list field shows while it stands for items dropped on the dialog (or given
// after /A); empty when it holds a list's path.
std::string itemsText;
TChoiceRow choiceRows[4] = {{1100, 1103, GuiId, 0}, {1110, 1111, ShellId, 0}, {1115, 1117, WindowId, 0},
                            {1120, 1123, PriorityId, 0}};

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void AddLanguageFiles(HWND combo, const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "*.lng").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do ComboAdd(combo, data.cFileName);
    while (FindNextFileA(search, &data));
    FindClose(search);
}

void FillLanguageList(HWND dialog) {
    HWND combo = Item(dialog, LanguageId);
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
    HWND combo = Item(dialog, ProjectsId);
    ComboClear(combo);
    for (int32_t i = 0; i < Projects().Count(); ++i) ComboAdd(combo, Projects().Items(i)->Name());
}

// The entry of the file that the setting names keeps the setting as it is, a full path
// included; any other entry is looked for in the settings folders.
void ChooseLanguage(HWND dialog) {
    const std::string name = ComboText(Item(dialog, LanguageId));
    const std::string current = Options().GetLanguageFile();
    if (!SameTextAnsi(name, PathFileName(current)) || !PathExists(current)) {
        const std::string local = SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + "\\" + name;
        const std::string common = SpecialFolderPath(CSIDL_COMMON_APPDATA_ID) + "\\" + name;
        Options().SetLanguage(PathExists(local) ? local : PathExists(common) ? common : name);
    }
    LocalizeWindow(dialog, Options().GetLanguageFile());
    FillChoiceLists(dialog);
}

bool FoundAnywhere(const std::string& path) { return PathExists(path) || FindOnSearchPath(path); }

bool ListStandsForItems(HWND dialog) { return !itemsText.empty() && ComboText(Item(dialog, ListId)) == itemsText; }

void UpdateOkButton(HWND dialog) {
    const std::string exe = ComboText(Item(dialog, ExeId));
    const bool exeAcceptable = exe.empty() || FoundAnywhere(exe);
    const bool listAcceptable = ListStandsForItems(dialog) || FoundAnywhere(ComboText(Item(dialog, ListId)));
    EnableWindow(Item(dialog, IDOK), exeAcceptable && listAcceptable);
}

// The list field tells how many items the run has besides a list.
void ShowItemCount(HWND dialog) {
    itemsText = LangString(Options().GetLanguageFile(), 123) + " " + IntToText(int32_t(workingSettings.Items.size()));
    SendMessageA(Item(dialog, ListId), CB_SETCURSEL, WPARAM(-1), 0);
    SetDialogItemText(dialog, ListId, itemsText);
    UpdateOkButton(dialog);
}

// A typed or chosen list replaces the items.
void OnListChange(HWND dialog) {
    if (!itemsText.empty() && !ListStandsForItems(dialog)) {
        itemsText.clear();
        workingSettings.Items.clear();
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
    if (files.size() == 1 && DroppedOn(dialog, Item(dialog, ListId), point)) {
        SendMessageA(Item(dialog, ListId), CB_SETCURSEL, WPARAM(-1), 0);
        if (SetDialogItemText(dialog, ListId, files[0])) PostComboChange(Item(dialog, ListId));
        return;
    }
    workingSettings.Items = files;
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
        control == ListId ? ChooseFile(dialog, u"All files (*.*)\0*.*\0", OFN_FILEMUSTEXIST, false)
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
    if (!path.empty()) SetDialogItemText(dialog, JobLogId, path);
}

// A list encoding unknown here is said at once, and the dialog stays.
bool EncodingKnown(HWND dialog, const TOptions& settings) {
    uint32_t codePage = 0;
    if (ReadEncodingName(settings.Encoding, codePage)) return true;
    ShowUnknownEncodingMessage(dialog, settings.Encoding);
    SetFocus(Item(dialog, EncodingId));
    return false;
}

void OnPreview(HWND dialog) {
    TOptions current = workingSettings;
    DialogToSettings(dialog, current);
    if (previewCommands && EncodingKnown(dialog, current)) PreviewDialog(dialog, previewCommands(current), false);
}

void OnOk(HWND dialog) {
    TOptions current = workingSettings;
    DialogToSettings(dialog, current);
    if (!EncodingKnown(dialog, current)) return;
    DialogToSettings(dialog, workingSettings);
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
    const std::string name = ComboText(Item(dialog, ProjectsId));
    if (name.empty()) return;
    Projects().LoadProject(name, workingSettings);
    SettingsToDialog(dialog, workingSettings);
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
    switch (control) {
    case ShellId: workingSettings.ShellExecute = index != 0; break;
    case GuiId: workingSettings.GUI = index; break;
    case WindowId: workingSettings.Window = index + 1; break;
    default: workingSettings.Priority = index; break;
    }
}

void OnInit(HWND dialog) {
    SetProgramIcon(dialog);
    const std::string caption = "Zemrun " + FileVersionText(ProgramPath());
    SetWindowTextA(dialog, caption.c_str());
    SettingsToDialog(dialog, workingSettings);
    FillLanguageList(dialog);
    FillProjectList(dialog);
    itemsText.clear();
    if (!workingSettings.Items.empty()) ShowItemCount(dialog);
    AcceptDroppedFiles(dialog);
}

INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return FALSE; // no focus set
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        const bool changed = code == CBN_SELCHANGE || code == CBN_EDITCHANGE;
        switch (id) {
        case IDOK: OnOk(dialog); return TRUE;
        case IDCANCEL: PostMessageA(dialog, WM_CLOSE, IDCANCEL, 0); return TRUE;
        case BrowseListId: Browse(dialog, ListId); return TRUE;
        case BrowseExeId: Browse(dialog, ExeId); return TRUE;
        case ListId:
            if (changed) OnListChange(dialog);
            return TRUE;
        case ExeId:
            if (changed) UpdateOkButton(dialog);
            return TRUE;
        case ShellId:
        case GuiId:
        case WindowId:
        case PriorityId:
            if (changed) StoreChoice(dialog, id);
            return TRUE;
        case LanguageId:
            if (changed) ChooseLanguage(dialog);
            return TRUE;
        case LoadId: OnLoad(dialog); return TRUE;
        case SaveId: OnSave(dialog); return TRUE;
        case BrowseJobLogId: BrowseJobLog(dialog); return TRUE;
        case PreviewId: OnPreview(dialog); return TRUE;
        default: return FALSE;
        }
    }
    case WM_DROPFILES:
        OnDropFiles(dialog, wParam);
        return TRUE;
    case WM_CLOSE:
        RemoveProperties(dialog, {"%ID%"});
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    default: return FALSE;
    }
}
} // namespace

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
    HWND upDown = Item(dialog, PauseUpDownId);
    SendMessageA(upDown, UDM_SETRANGE, 0, MAKELPARAM(32767, 0));
    SendMessageA(upDown, UDM_SETPOS, 0, MAKELPARAM(settings.FirstPause, 0));
    SendMessageA(upDown, UDM_SETRANGE32, 0, 2147483647);
    SendMessageA(upDown, UDM_SETPOS32, 0, settings.FirstPause);
    CheckDlgButton(dialog, WaitOpenId, settings.WaitOpen ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, WaitCloseId, settings.WaitClose ? BST_CHECKED : BST_UNCHECKED);
    HWND jobs = Item(dialog, JobsUpDownId);
    SendMessageA(jobs, UDM_SETRANGE32, 1, MaxJobs);
    SendMessageA(jobs, UDM_SETPOS32, 0, std::clamp(settings.Jobs, 1, MaxJobs));
    SetDialogItemText(dialog, JobLogId, settings.JobLog);
    CheckDlgButton(dialog, ResumeId, settings.Resume ? BST_CHECKED : BST_UNCHECKED);
    HWND encoding = Item(dialog, EncodingId);
    ComboClear(encoding);
    for (const char* name : EncodingNames) ComboAdd(encoding, name);
    if (ComboSelectText(encoding, settings.Encoding) < 0) SetDialogItemText(dialog, EncodingId, settings.Encoding);
}

void DialogToSettings(HWND dialog, TOptions& settings) {
    for (int kind = 0; kind < HistoryKindCount; ++kind)
        HistoryField(settings, kind) = ComboText(Item(dialog, HistoryControls[kind]));
    const bool itemsOnly = ListStandsForItems(dialog);
    if (itemsOnly) settings.List.clear();
    settings.Items = itemsOnly ? workingSettings.Items : std::vector<std::string>();
    settings.WaitOpen = IsDlgButtonChecked(dialog, WaitOpenId) == BST_CHECKED;
    settings.WaitClose = IsDlgButtonChecked(dialog, WaitCloseId) == BST_CHECKED;
    settings.ShellExecute = ComboSelection(Item(dialog, ShellId)) != 0;
    settings.GUI = ComboSelection(Item(dialog, GuiId));
    HWND upDown = Item(dialog, PauseUpDownId);
    int32_t pause = int32_t(SendMessageA(upDown, UDM_GETPOS32, 0, 0));
    if (pause == 0) pause = LOWORD(SendMessageA(upDown, UDM_GETPOS, 0, 0));
    settings.FirstPause = pause;
    settings.Window = ComboSelection(Item(dialog, WindowId)) + 1;
    settings.Priority = ComboSelection(Item(dialog, PriorityId));
    settings.Jobs = int32_t(SendMessageA(Item(dialog, JobsUpDownId), UDM_GETPOS32, 0, 0));
    settings.JobLog = DialogItemText(dialog, JobLogId);
    settings.Resume = IsDlgButtonChecked(dialog, ResumeId) == BST_CHECKED;
    settings.Encoding = Trim(ComboText(Item(dialog, EncodingId)));
}

void FillChoiceLists(HWND dialog) {
    choiceRows[0].selected = workingSettings.GUI;
    choiceRows[1].selected = workingSettings.ShellExecute ? 1 : 0;
    choiceRows[2].selected = workingSettings.Window - 1;
    choiceRows[3].selected = workingSettings.Priority;
    const std::string languageFile = Options().GetLanguageFile();
    for (const TChoiceRow& row : choiceRows) {
        HWND combo = Item(dialog, row.control);
        ComboClear(combo);
        for (int id = row.firstId; id <= row.lastId; ++id) ComboAdd(combo, LangString(languageFile, id));
        ComboSelect(combo, row.selected);
    }
}

void ShowUnknownEncodingMessage(HWND owner, const std::string& name) {
    const std::string languageFile = Options().GetLanguageFile();
    const std::string text = LangString(languageFile, 11) + " " + name + "\r\n" + LangString(languageFile, 12);
    MessageBoxA(owner, text.c_str(), "Zemrun", MB_OK | MB_ICONERROR);
}

bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) {
    CopyOptions(workingSettings, settings);
    previewCommands = preview;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const INT_PTR result = GuardedDialogBox(MainDialogId, nullptr, MainProc);
    CopyOptions(settings, workingSettings);
    return result == IDOK;
}
