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

// What the dialog works on, from its start to its end.
struct TMainDialogData {
    TOptions settings;
    TPreviewCommands preview;
    // What the list field shows while it stands for items dropped on the dialog (or given
    // after /A); empty when it holds a list's path.
    std::string itemsText;
    std::string loadedProject; // the project loaded last, which Save names at first
};

void SettingsToDialog(HWND dialog, const TOptions& settings);
void DialogToSettings(HWND dialog, TOptions& settings);
void ReadField(HWND dialog, const TProjectField& field, TOptions& settings);
void FillChoiceLists(HWND dialog);

TMainDialogData& Data(HWND dialog) {
    return *reinterpret_cast<TMainDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

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

// The file the user picks, empty when none. The wide dialog, with room for the longest
// path.
std::string ChooseFile(HWND dialog, const char16_t* filter, DWORD flags, bool save) {
    std::u16string path(32768, u'\0');
    OPENFILENAMEW dialogData{};
    dialogData.lStructSize = sizeof(dialogData);
    dialogData.hwndOwner = dialog;
    dialogData.lpstrFilter = reinterpret_cast<LPCWSTR>(filter);
    dialogData.nFilterIndex = 1;
    dialogData.lpstrFile = reinterpret_cast<LPWSTR>(path.data());
    dialogData.nMaxFile = DWORD(path.size());
    dialogData.Flags = OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_EXPLORER | flags;
    const BOOL chosen = save ? GetSaveFileNameW(&dialogData) : GetOpenFileNameW(&dialogData);
    return chosen ? ProcessFromUtf16(path.c_str()) : std::string();
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
    const std::string path = folder ? PathOfItem(folder.Get()) : std::string();
    if (!path.empty()) SetDialogItemText(dialog, field, path);
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

// The text of each history field goes first in its history.
void KeepHistories(HWND dialog) {
    for (const TProjectField& field : ProjectFields) {
        if (field.main.kind != TMainKind::History) continue;
        const int32_t kind = field.main.first;
        if (kind == hkList && ListStandsForItems(dialog)) continue; // no list was used
        HWND combo = Item(dialog, field.main.control);
        const std::string text = ComboText(combo);
        TvxStringList history;
        ComboToList(combo, history);
        const int found = ComboFindExact(combo, text);
        if (found > 0) history.Delete(found);
        if (found != 0) history.Insert(0, text);
        Options().SetHistory(kind, &history);
    }
}

void OnOk(HWND dialog) {
    TOptions current = Data(dialog).settings;
    DialogToSettings(dialog, current);
    if (!EncodingKnown(dialog, current)) return;
    Data(dialog).settings = current;
    KeepHistories(dialog);
    PostMessageA(dialog, WM_CLOSE, IDOK, 0);
}

void OnLoad(HWND dialog) {
    const std::string name = ComboText(Item(dialog, IDC_MAIN_PROJECTS));
    if (name.empty()) return;
    Projects().LoadProject(name, Data(dialog).settings);
    Data(dialog).loadedProject = name;
    SettingsToDialog(dialog, Data(dialog).settings);
    FillChoiceLists(dialog);
}

// What is saved starts from the settings the dialog holds: the fields it does not show
// keep the values it was given or loaded; the name, from the project loaded last.
void OnSave(HWND dialog) {
    TOptions current = Data(dialog).settings;
    DialogToSettings(dialog, current);
    if (!SaveAsProjectDialog(dialog, current, Data(dialog).loadedProject).empty())
        Projects().Refresh();
    FillProjectList(dialog);
}

// A choice made in one of the lists is the setting at once.
void StoreChoice(HWND dialog, int control) {
    for (const TProjectField& field : ProjectFields)
        if (field.main.kind == TMainKind::Choice && field.main.control == control)
            ReadField(dialog, field, Data(dialog).settings);
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

// The entry that the settings choose in the field's choice list.
int ChoiceIndex(const TProjectField& field, const TOptions& settings) {
    return field.flag ? (settings.*field.flag ? 1 : 0) : settings.*field.number - field.main.offset;
}

void ShowHistory(HWND dialog, const TMainControl& main, const std::string& value) {
    HWND combo = Item(dialog, main.control);
    const std::unique_ptr<TvxStringList> history = Options().GetHistory(main.first);
    if (history->Count() > 0)
        ListToCombo(combo, *history);
    else
        ComboClear(combo);
    if (ComboSelectText(combo, value) < 0) {
        ComboInsert(combo, 0, value);
        ComboSelect(combo, 0);
    }
}

void ShowEncoding(HWND dialog, int control, const std::string& value) {
    HWND encoding = Item(dialog, control);
    ComboClear(encoding);
    for (const char* name : EncodingNames)
        ComboAdd(encoding, name);
    if (ComboSelectText(encoding, value) < 0) SetDialogItemText(dialog, control, value);
}

void Check(HWND dialog, int control, bool checked) {
    CheckDlgButton(dialog, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Checked(HWND dialog, int control) {
    return IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

// The field's control shows the setting; the choice lists are selected as they are filled.
void ShowField(HWND dialog, const TProjectField& field, const TOptions& settings) {
    const TMainControl& main = field.main;
    switch (main.kind) {
    case TMainKind::History:
        ShowHistory(dialog, main, settings.*field.text);
        break;
    case TMainKind::Check:
        Check(dialog, main.control, settings.*field.flag);
        break;
    case TMainKind::Text:
    case TMainKind::TrimmedText:
        SetDialogItemText(dialog, main.control, settings.*field.text);
        break;
    case TMainKind::Number:
        SetUpDown(dialog, main.control, main.first, main.last, settings.*field.number);
        break;
    case TMainKind::Pause: {
        HWND upDown = Item(dialog, main.control);
        SendMessageA(upDown, UDM_SETRANGE, 0, MAKELPARAM(32767, 0));
        SendMessageA(upDown, UDM_SETPOS, 0, MAKELPARAM(settings.*field.number, 0));
        SetUpDown(dialog, main.control, main.first, main.last, settings.*field.number);
        break;
    }
    case TMainKind::Encoding:
        ShowEncoding(dialog, main.control, settings.*field.text);
        break;
    case TMainKind::FailureCount:
        Check(dialog, main.first, settings.*field.number != NoHalt);
        SetDlgItemInt(dialog, main.control, UINT(std::max(settings.*field.number, 0)), FALSE);
        EnableHaltCount(dialog);
        break;
    case TMainKind::ShowFailures:
        Check(dialog, main.control, settings.*field.number == 1);
        break;
    case TMainKind::Coded:
        SetDialogItemText(dialog, main.control, field.format(settings));
        break;
    case TMainKind::OptionalNumber:
        SetDialogItemText(dialog, main.control,
                          settings.*field.number < main.first
                              ? std::string()
                              : std::to_string(settings.*field.number));
        break;
    default:
        break;
    }
}

// The setting as the field's control holds it.
void ReadField(HWND dialog, const TProjectField& field, TOptions& settings) {
    const TMainControl& main = field.main;
    switch (main.kind) {
    case TMainKind::History:
        settings.*field.text = ComboText(Item(dialog, main.control));
        break;
    case TMainKind::Check:
        settings.*field.flag = Checked(dialog, main.control);
        break;
    case TMainKind::Text:
        settings.*field.text = DialogItemText(dialog, main.control);
        break;
    case TMainKind::TrimmedText:
        settings.*field.text = Trim(DialogItemText(dialog, main.control));
        break;
    case TMainKind::Number:
        settings.*field.number = UpDownPos(dialog, main.control);
        break;
    case TMainKind::Pause: {
        int32_t pause = UpDownPos(dialog, main.control);
        if (pause == 0) pause = LOWORD(SendMessageA(Item(dialog, main.control), UDM_GETPOS, 0, 0));
        settings.*field.number = pause;
        break;
    }
    case TMainKind::Choice: {
        const int index = ComboSelection(Item(dialog, main.control));
        if (field.flag)
            settings.*field.flag = index != 0;
        else
            settings.*field.number = index + main.offset;
        break;
    }
    case TMainKind::Encoding:
        settings.*field.text = Trim(ComboText(Item(dialog, main.control)));
        break;
    case TMainKind::FailureCount: {
        // The field holds digits only; a count beyond the numbers' range stops never.
        const UINT halt = GetDlgItemInt(dialog, main.control, nullptr, FALSE);
        settings.*field.number =
            Checked(dialog, main.first) ? int32_t(std::min<UINT>(halt, INT32_MAX)) : NoHalt;
        break;
    }
    case TMainKind::ShowFailures:
        settings.*field.number = Checked(dialog, main.control) ? 1 : 0;
        break;
    case TMainKind::Coded:
        field.parse(DialogItemText(dialog, main.control), settings);
        break;
    case TMainKind::OptionalNumber: {
        const std::string digits = Trim(DialogItemText(dialog, main.control));
        settings.*field.number =
            digits.empty() ? main.first - 1 : std::min(ReadInteger(digits.substr(0, 6)), main.last);
        break;
    }
    default:
        break;
    }
}

void SettingsToDialog(HWND dialog, const TOptions& settings) {
    const TOptions values = settings; // the dialog's own, which its lists' changes write
    for (const TProjectField& field : ProjectFields)
        ShowField(dialog, field, values);
}

void DialogToSettings(HWND dialog, TOptions& settings) {
    for (const TProjectField& field : ProjectFields)
        ReadField(dialog, field, settings);
    const bool itemsOnly = ListStandsForItems(dialog);
    if (itemsOnly) settings.List.clear();
    settings.Items = itemsOnly ? Data(dialog).settings.Items : std::vector<std::string>();
}

void FillChoiceLists(HWND dialog) {
    const std::string languageFile = Options().GetLanguageFile();
    for (const TProjectField& field : ProjectFields) {
        if (field.main.kind != TMainKind::Choice) continue;
        HWND combo = Item(dialog, field.main.control);
        ComboClear(combo);
        for (int id = field.main.first; id <= field.main.last; ++id)
            ComboAdd(combo, LangString(languageFile, id));
        ComboSelect(combo, ChoiceIndex(field, Data(dialog).settings));
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
    TMainDialogData data{settings, preview, std::string(), std::string()};
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const INT_PTR result = GuardedDialogBox(IDD_MAIN, nullptr, MainProc, &data);
    settings = data.settings;
    return result == IDOK;
}
