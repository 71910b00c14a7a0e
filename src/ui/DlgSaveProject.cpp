#include "DlgSaveProject.h"

#include "../foundation/vxCommandLine.h"
#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellLink.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTaskScheduler.h"
#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"
#include "../resources/zemrunIds.h"
#include "../settings/zemrunOptions.h"
#include "../settings/zemrunProjects.h"
#include "../settings/zemrunSchedule.h"
#include "DlgLocaleU.h"

namespace {
struct TSaveProjectData {
    const TOptions& settings;
    std::string name;   // the name stored under, empty when nothing was stored
    std::string loaded; // the name the dialog starts with: the project the main dialog loaded
    // The schedule that the dialog was opened with, or read back for the name; Other: a
    // task of its own, which the dialog leaves as it is where no choice is made.
    TSchedule shown;
};

// The choices of the group "Run by itself", in the order of TSchedule's kinds.
constexpr int ScheduleChoices[] = {IDC_SAVE_NOT_BY_ITSELF, IDC_SAVE_EVERY_DAY, IDC_SAVE_EVERY_WEEK,
                                   IDC_SAVE_EVERY_HOURS, IDC_SAVE_AT_LOGON};

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
    return ProjectShortcutPath(shortcut.folderId, name);
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

// The group shows the schedule of the task of that name, read back from the Task
// Scheduler: none is "Not by itself".
void ShowSchedule(HWND dialog, TSaveProjectData& data, const std::string& name) {
    TvxTaskFolder tasks(TaskFolderName);
    uint32_t error = 0;
    const std::optional<std::string> xml =
        name.empty() ? std::nullopt : tasks.Xml(TaskName(name), error);
    data.shown = xml ? ScheduleOfTaskXml(*xml) : TSchedule();
    const TSchedule& shown = data.shown;
    for (int kind = 0; kind < int(std::size(ScheduleChoices)); ++kind)
        CheckDlgButton(dialog, ScheduleChoices[kind],
                       kind == shown.kind ? BST_CHECKED : BST_UNCHECKED);
    const bool timed = shown.kind == TSchedule::Daily || shown.kind == TSchedule::Weekly;
    SetDialogItemText(dialog, IDC_SAVE_AT,
                      timed ? ScheduleText(shown).substr(ScheduleText(shown).size() - 5)
                            : std::string("02:00"));
    for (int day = 0; day < 7; ++day)
        CheckDlgButton(dialog, IDC_SAVE_MONDAY + day,
                       (shown.days >> day) & 1 ? BST_CHECKED : BST_UNCHECKED);
    SetDialogItemText(dialog, IDC_SAVE_HOURS,
                      std::to_string(shown.kind == TSchedule::Hourly ? shown.hours : 24));
}

// The schedule that the group holds, in the form /SCHEDULE: takes; empty where no choice
// is made (a task of its own stays as it is).
std::string ChosenForm(HWND dialog) {
    const std::string at = Trim(DialogItemText(dialog, IDC_SAVE_AT));
    std::string days;
    constexpr const char* Days[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    for (int day = 0; day < 7; ++day)
        if (IsDlgButtonChecked(dialog, IDC_SAVE_MONDAY + day) == BST_CHECKED)
            days += std::string(days.empty() ? "" : ",") + Days[day];
    if (IsDlgButtonChecked(dialog, IDC_SAVE_NOT_BY_ITSELF) == BST_CHECKED) return "off";
    if (IsDlgButtonChecked(dialog, IDC_SAVE_EVERY_DAY) == BST_CHECKED) return "daily@" + at;
    if (IsDlgButtonChecked(dialog, IDC_SAVE_EVERY_WEEK) == BST_CHECKED)
        return "weekly:" + days + "@" + at;
    if (IsDlgButtonChecked(dialog, IDC_SAVE_EVERY_HOURS) == BST_CHECKED)
        return "hourly:" + Trim(DialogItemText(dialog, IDC_SAVE_HOURS));
    if (IsDlgButtonChecked(dialog, IDC_SAVE_AT_LOGON) == BST_CHECKED) return "logon";
    return {};
}

// OK takes a name, and a schedule that is one.
void UpdateOkButton(HWND dialog) {
    const std::string form = ChosenForm(dialog);
    EnableWindow(GetDlgItem(dialog, IDOK), !Trim(DialogItemText(dialog, IDC_SAVE_NAME)).empty() &&
                                               (form.empty() || ReadSchedule(form)));
}

void ShowScheduleError(HWND dialog, int32_t textId, std::initializer_list<std::string> values) {
    const std::string text = FillIn(LangString(Options().GetLanguageFile(), textId), values);
    MessageBoxW(dialog, reinterpret_cast<const wchar_t*>(ProcessToUtf16(text).c_str()), L"Zemrun",
                MB_OK | MB_ICONERROR);
}

// The task is registered, replaced or removed as the group says; a name that no task can
// pass, and the Task Scheduler's refusal, are told with the reason.
void StoreSchedule(HWND dialog, const std::string& name) {
    const std::optional<TSchedule> schedule = ReadSchedule(ChosenForm(dialog));
    if (!schedule) return;
    TvxTaskFolder tasks(TaskFolderName);
    if (schedule->kind == TSchedule::Off) {
        if (const uint32_t error = tasks.Remove(TaskName(name)))
            ShowScheduleError(dialog, IDS_SCHEDULE_FAILED, {name, SystemMessage(error)});
        return;
    }
    if (const TNameInTask passed = NameInTask(name); passed != TNameInTask::Passes) {
        ShowScheduleError(
            dialog, passed == TNameInTask::HoldsQuote ? IDS_SCHEDULE_QUOTE : IDS_SCHEDULE_VARIABLE,
            {name});
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const uint32_t error = tasks.Register(
        TaskName(name), TaskXml(name, TaskProgram(ProgramPath()), *schedule, CurrentUser(),
                                {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                 now.wSecond, now.wMilliseconds}));
    if (error) ShowScheduleError(dialog, IDS_SCHEDULE_FAILED, {name, SystemMessage(error)});
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
        StoreSchedule(dialog, data.name);
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
        ShowSchedule(dialog, *data, data->loaded);
        // The name sends its change, which shows the project's shortcuts and schedule.
        SetDialogItemText(dialog, IDC_SAVE_NAME, data->loaded);
        return FALSE; // no focus set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SAVE_NAME:
            if (HIWORD(wParam) == EN_CHANGE) {
                ShowShortcutStates(dialog);
                ShowSchedule(dialog, *data, Trim(DialogItemText(dialog, IDC_SAVE_NAME)));
                UpdateOkButton(dialog);
            }
            return TRUE;
        // One way to run by itself a project: a schedule or the logon shortcut.
        case IDC_SAVE_STARTUP:
            if (IsDlgButtonChecked(dialog, IDC_SAVE_STARTUP) == BST_CHECKED)
                CheckRadioButton(dialog, IDC_SAVE_NOT_BY_ITSELF, IDC_SAVE_AT_LOGON,
                                 IDC_SAVE_NOT_BY_ITSELF);
            UpdateOkButton(dialog);
            return TRUE;
        case IDC_SAVE_EVERY_DAY:
        case IDC_SAVE_EVERY_WEEK:
        case IDC_SAVE_EVERY_HOURS:
        case IDC_SAVE_AT_LOGON:
            CheckDlgButton(dialog, IDC_SAVE_STARTUP, BST_UNCHECKED);
            UpdateOkButton(dialog);
            return TRUE;
        case IDC_SAVE_NOT_BY_ITSELF:
        case IDC_SAVE_AT:
        case IDC_SAVE_HOURS:
            UpdateOkButton(dialog);
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
            if (LOWORD(wParam) >= IDC_SAVE_MONDAY && LOWORD(wParam) < IDC_SAVE_MONDAY + 7)
                UpdateOkButton(dialog);
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

std::string SaveAsProjectDialog(HWND owner, const TOptions& settings, const std::string& name) {
    TSaveProjectData data{settings, std::string(), name, {}};
    GuardedDialogBox(IDD_SAVE_PROJECT, owner, SaveProjectProc, &data);
    return data.name;
}
