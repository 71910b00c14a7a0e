#pragma once
// Projects: named sets of run settings stored as sections of "projects.ini" in the
// user's settings folder.

#include "../foundation/vxIniFile.h"
#include "../resources/zemrunIds.h"
#include "zemrunOptions.h"
#include "zemrunRunSettings.h"

#include <climits>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

// How the main dialog shows a field. Every field names one: a field that the dialog does
// not show is Kept, and the dialog hands on the value it was given or loaded.
enum class TMainKind : uint8_t {
    None,           // not decided: a field added without thought for the dialog
    Kept,           // no control
    History,        // an editable list with the history of its kind (first)
    Check,          // a check box
    Text,           // an edit box
    TrimmedText,    // an edit box whose outer blanks go
    Number,         // an up-down control over first..last
    Pause,          // the first pause's up-down, which takes the 16-bit messages too
    Choice,         // a list of the texts of the string ids first..last; the value is the entry's
                    // index and offset (a flag: whether the entry is not the first)
    Encoding,       // an editable list of the encoding names
    FailureCount,   // the number of failures after which to stop, and its check box (first)
    ShowFailures,   // a check box for 1
    Coded,          // an edit box that shows the field's text, as its key holds it
    OptionalNumber, // an edit box of digits first..last, empty for none (first - 1)
};
struct TMainControl {
    TMainKind kind = TMainKind::None;
    int control = 0; // for a number, its up-down
    int32_t first = 0, last = 0, offset = 0;
};
constexpr TMainControl Kept() {
    return {TMainKind::Kept};
}
constexpr TMainControl MainControl(TMainKind kind, int control, int32_t first = 0, int32_t last = 0,
                                   int32_t offset = 0) {
    return {kind, control, first, last, offset};
}

// One field a project can hold: its key, the run setting it stands for, the box of the
// save-as-project dialog that chooses it and its control in the main dialog. A field's
// index is its bit in the set of fields to store, and keys are stored in the order of the
// table.
struct TProjectField {
    const char* key;
    int saveBox;
    TMainControl main;
    std::string TOptions::*text = nullptr;
    bool TOptions::*flag = nullptr;
    int32_t TOptions::*number = nullptr;
    // A number below this stands for a key that is not there: the setting asks for
    // nothing that earlier versions did not do.
    int32_t least = INT32_MIN;
    // A setting that a text stands for in its own form ("100%", "2G", "1.5"): how it is
    // written and read; a text that is none leaves the setting as it was.
    std::string (*format)(const TOptions& settings) = nullptr;
    void (*parse)(std::string_view text, TOptions& settings) = nullptr;
    // The text that stands for a key that is not there, where one does.
    const char* absent = nullptr;

    // Whether the settings have a value for the key: optional numbers may have none, nor
    // rules that are off.
    bool Present(const TOptions& settings) const {
        if (absent) return format(settings) != absent;
        return !number || settings.*number >= least;
    }
    void Read(const TvxIniFileKey& key, TOptions& settings) const;
    void Write(TvxIniFileKey& key, const TOptions& settings) const;
};
constexpr TProjectField TextField(const char* key, int box, TMainControl main,
                                  std::string TOptions::*text) {
    return {key, box, main, text};
}
constexpr TProjectField FlagField(const char* key, int box, TMainControl main,
                                  bool TOptions::*flag) {
    return {key, box, main, nullptr, flag};
}
constexpr TProjectField NumberField(const char* key, int box, TMainControl main,
                                    int32_t TOptions::*number) {
    return {key, box, main, nullptr, nullptr, number};
}
constexpr TProjectField OptionalNumberField(const char* key, int box, TMainControl main,
                                            int32_t TOptions::*number, int32_t least) {
    return {key, box, main, nullptr, nullptr, number, least};
}
constexpr TProjectField CodedField(const char* key, int box, int control,
                                   std::string (*format)(const TOptions&),
                                   void (*parse)(std::string_view, TOptions&),
                                   const char* absent = nullptr) {
    return {key,       box,     MainControl(TMainKind::Coded, control),
            nullptr,   nullptr, nullptr,
            INT32_MIN, format,  parse,
            absent};
}

inline constexpr TProjectField ProjectFields[] = {
    TextField("List", IDC_SAVE_LIST, MainControl(TMainKind::History, IDC_MAIN_LIST, hkList),
              &TOptions::List),
    TextField("Exe", IDC_SAVE_EXE, MainControl(TMainKind::History, IDC_MAIN_EXE, hkExe),
              &TOptions::Exe),
    TextField("BParam", IDC_SAVE_BPARAM, MainControl(TMainKind::History, IDC_MAIN_BPARAM, hkBParam),
              &TOptions::BParam),
    TextField("Eparam", IDC_SAVE_EPARAM, MainControl(TMainKind::History, IDC_MAIN_EPARAM, hkEParam),
              &TOptions::Eparam),
    TextField("RegExp", IDC_SAVE_REGEXP, MainControl(TMainKind::History, IDC_MAIN_REGEXP, hkRegExp),
              &TOptions::RegExp),
    FlagField("WaitOpen", IDC_SAVE_WAIT_OPEN, MainControl(TMainKind::Check, IDC_MAIN_WAIT_OPEN),
              &TOptions::WaitOpen),
    FlagField("WaitClose", IDC_SAVE_WAIT_CLOSE, MainControl(TMainKind::Check, IDC_MAIN_WAIT_CLOSE),
              &TOptions::WaitClose),
    FlagField("ShellExecute", IDC_SAVE_SHELL,
              MainControl(TMainKind::Choice, IDC_MAIN_SHELL, IDS_START_CREATE_PROCESS,
                          IDS_START_SHELL_EXECUTE),
              &TOptions::ShellExecute),
    NumberField("FirstPause", IDC_SAVE_FIRST_PAUSE,
                MainControl(TMainKind::Pause, IDC_MAIN_PAUSE_UPDOWN, 0, INT32_MAX),
                &TOptions::FirstPause),
    NumberField("GUI", IDC_SAVE_GUI,
                MainControl(TMainKind::Choice, IDC_MAIN_GUI, IDS_GUI_NONE, IDS_GUI_ALWAYS),
                &TOptions::GUI),
    NumberField(
        "Window", IDC_SAVE_WINDOW,
        MainControl(TMainKind::Choice, IDC_MAIN_WINDOW, IDS_WINDOW_NORMAL, IDS_WINDOW_MAXIMIZED, 1),
        &TOptions::Window),
    NumberField("Priority", IDC_SAVE_PRIORITY,
                MainControl(TMainKind::Choice, IDC_MAIN_PRIORITY, IDS_PRIORITY_NORMAL,
                            IDS_PRIORITY_REALTIME),
                &TOptions::Priority),
    CodedField("Jobs", IDC_SAVE_JOBS, IDC_MAIN_JOBS, JobsText,
               [](std::string_view text, TOptions& s) { ReadJobs(text, s); }),
    TextField("JobLog", IDC_SAVE_JOB_LOG, MainControl(TMainKind::Text, IDC_MAIN_JOB_LOG),
              &TOptions::JobLog),
    FlagField("Resume", IDC_SAVE_RESUME, MainControl(TMainKind::Check, IDC_MAIN_RESUME),
              &TOptions::Resume),
    TextField("Encoding", IDC_SAVE_ENCODING, MainControl(TMainKind::Encoding, IDC_MAIN_ENCODING),
              &TOptions::Encoding),
    NumberField("TimeLimit", IDC_SAVE_TIME_LIMIT,
                MainControl(TMainKind::Number, IDC_MAIN_TIME_LIMIT_UPDOWN, 0, INT32_MAX),
                &TOptions::TimeLimit),
    NumberField("Retries", IDC_SAVE_RETRIES,
                MainControl(TMainKind::Number, IDC_MAIN_RETRIES_UPDOWN, 0, MaxRetries),
                &TOptions::Retries),
    OptionalNumberField(
        "Halt", IDC_SAVE_HALT,
        MainControl(TMainKind::FailureCount, IDC_MAIN_HALT, IDC_MAIN_COUNT_FAILURES),
        &TOptions::Halt, 0),
    TextField("OutputFolder", IDC_SAVE_OUTPUT_FOLDER,
              MainControl(TMainKind::TrimmedText, IDC_MAIN_OUTPUT_FOLDER), &TOptions::OutputFolder),
    OptionalNumberField("ItemsPerCommand", IDC_SAVE_ITEMS,
                        MainControl(TMainKind::Number, IDC_MAIN_ITEMS_UPDOWN, 1, INT32_MAX),
                        &TOptions::ItemsPerCommand, 2),
    OptionalNumberField("ShowFailures", IDC_SAVE_SHOW_FAILURES,
                        MainControl(TMainKind::ShowFailures, IDC_MAIN_SHOW_FAILURES),
                        &TOptions::ShowFailures, 0),
    TextField("WatchFolder", IDC_SAVE_WATCH_FOLDER,
              MainControl(TMainKind::TrimmedText, IDC_MAIN_WATCH_FOLDER), &TOptions::WatchFolder),
    NumberField("SettleTime", IDC_SAVE_SETTLE_TIME, Kept(), &TOptions::SettleTime),
    TextField("Match", IDC_SAVE_MATCH, Kept(), &TOptions::Match),
    FlagField("Subfolders", IDC_SAVE_SUBFOLDERS, Kept(), &TOptions::Subfolders),
    TextField("DoneFolder", IDC_SAVE_DONE_FOLDER, Kept(), &TOptions::DoneFolder),
    TextField("FailedFolder", IDC_SAVE_FAILED_FOLDER, Kept(), &TOptions::FailedFolder),
    CodedField(
        "MemFree", IDC_SAVE_MEMFREE, IDC_MAIN_MEMFREE,
        [](const TOptions& s) { return SizeText(s.MemFree); },
        [](std::string_view text, TOptions& s) { s.MemFree = ReadSize(text).value_or(s.MemFree); },
        "0"),
    OptionalNumberField("Load", IDC_SAVE_LOAD_LIMIT,
                        MainControl(TMainKind::OptionalNumber, IDC_MAIN_LOAD_LIMIT, 0, 100),
                        &TOptions::LoadLimit, 0),
    CodedField(
        "Delay", IDC_SAVE_DELAY, IDC_MAIN_DELAY,
        [](const TOptions& s) { return SecondsText(s.Delay); },
        [](std::string_view text, TOptions& s) { s.Delay = ReadSeconds(text).value_or(s.Delay); },
        "0"),
    CodedField(
        "Set", IDC_SAVE_SET, IDC_MAIN_SET,
        [](const TOptions& s) { return EnvironmentText(s.Environment); },
        [](std::string_view text, TOptions& s) { s.Environment = ReadEnvironment(text); }, ""),
};
constexpr int32_t ProjectFieldCount = int32_t(std::size(ProjectFields));
static_assert(ProjectFieldCount <= 32, "the fields to store are the bits of a 32-bit set");
// The set of every field.
constexpr uint32_t AllProjectFields = uint32_t((uint64_t(1) << ProjectFieldCount) - 1);

class TZemrunProject : public TvxObject {
  public:
    TZemrunProject(std::string name, TvxIniFileSection* section)
        : name_(std::move(name)), section_(section) {}
    const std::string& Name() const { return name_; }
    TvxIniFileKey* Key(int32_t field) const { return section_->FindKey(ProjectFields[field].key); }

  private:
    std::string name_;
    TvxIniFileSection* section_;
};

class TZemrunProjects : public TvxObject {
  public:
    explicit TZemrunProjects(const std::string& path);
    ~TZemrunProjects() override;

    void Rebuild();
    void Refresh();
    int32_t Count() const { return projects_.Count(); }
    TZemrunProject* Items(int32_t index) const {
        return static_cast<TZemrunProject*>(projects_.Items(index));
    }
    // Loads the fields that the project of that name holds; nothing when there is none.
    void LoadProject(std::string_view name, TOptions& settings) const;
    // Whether there is a project of that name, without case.
    bool Contains(std::string_view name) const;
    // Stores the fields selected by bit i of fields (the field of ProjectFields[i]) under
    // the name and writes the file at once.
    void SaveProject(std::string_view name, const TOptions& settings, uint32_t fields);

  private:
    std::unique_ptr<TvxIniFile> document_;
    TvxObjectList projects_;
};

// The process-wide store, created on first use.
TZemrunProjects& Projects();
// The project's shortcut in a special folder (Send To, Startup), named after it.
std::string ProjectShortcutPath(int folderId, const std::string& project);
void FinalizeProjects();
