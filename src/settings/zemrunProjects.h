#pragma once
// Projects: named sets of run settings stored as sections of "projects.ini" in the
// user's settings folder.

#include "../foundation/vxIniFile.h"
#include "../resources/zemrunIds.h"
#include "zemrunRunSettings.h"

#include <climits>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

// One field a project can hold: its key, the run setting it stands for, and the box of
// the save-as-project dialog that chooses it. A field's index is its bit in the set of
// fields to store, and keys are stored in the order of the table.
struct TProjectField {
    const char* key;
    int saveBox;
    std::string TOptions::*text = nullptr;
    bool TOptions::*flag = nullptr;
    int32_t TOptions::*number = nullptr;
    // A number below this stands for a key that is not there: the setting asks for
    // nothing that earlier versions did not do.
    int32_t least = INT32_MIN;

    // Whether the settings have a value for the key: optional numbers may have none.
    bool Present(const TOptions& settings) const { return !number || settings.*number >= least; }
    void Read(const TvxIniFileKey& key, TOptions& settings) const;
    void Write(TvxIniFileKey& key, const TOptions& settings) const;
};
constexpr TProjectField TextField(const char* key, int box, std::string TOptions::*text) {
    return {key, box, text};
}
constexpr TProjectField FlagField(const char* key, int box, bool TOptions::*flag) {
    return {key, box, nullptr, flag};
}
constexpr TProjectField NumberField(const char* key, int box, int32_t TOptions::*number) {
    return {key, box, nullptr, nullptr, number};
}
constexpr TProjectField OptionalNumberField(const char* key, int box, int32_t TOptions::*number,
                                            int32_t least) {
    return {key, box, nullptr, nullptr, number, least};
}

inline constexpr TProjectField ProjectFields[] = {
    TextField("List", IDC_SAVE_LIST, &TOptions::List),
    TextField("Exe", IDC_SAVE_EXE, &TOptions::Exe),
    TextField("BParam", IDC_SAVE_BPARAM, &TOptions::BParam),
    TextField("Eparam", IDC_SAVE_EPARAM, &TOptions::Eparam),
    TextField("RegExp", IDC_SAVE_REGEXP, &TOptions::RegExp),
    FlagField("WaitOpen", IDC_SAVE_WAIT_OPEN, &TOptions::WaitOpen),
    FlagField("WaitClose", IDC_SAVE_WAIT_CLOSE, &TOptions::WaitClose),
    FlagField("ShellExecute", IDC_SAVE_SHELL, &TOptions::ShellExecute),
    NumberField("FirstPause", IDC_SAVE_FIRST_PAUSE, &TOptions::FirstPause),
    NumberField("GUI", IDC_SAVE_GUI, &TOptions::GUI),
    NumberField("Window", IDC_SAVE_WINDOW, &TOptions::Window),
    NumberField("Priority", IDC_SAVE_PRIORITY, &TOptions::Priority),
    NumberField("Jobs", IDC_SAVE_JOBS, &TOptions::Jobs),
    TextField("JobLog", IDC_SAVE_JOB_LOG, &TOptions::JobLog),
    FlagField("Resume", IDC_SAVE_RESUME, &TOptions::Resume),
    TextField("Encoding", IDC_SAVE_ENCODING, &TOptions::Encoding),
    NumberField("TimeLimit", IDC_SAVE_TIME_LIMIT, &TOptions::TimeLimit),
    NumberField("Retries", IDC_SAVE_RETRIES, &TOptions::Retries),
    OptionalNumberField("Halt", IDC_SAVE_HALT, &TOptions::Halt, 0),
    TextField("OutputFolder", IDC_SAVE_OUTPUT_FOLDER, &TOptions::OutputFolder),
    OptionalNumberField("ItemsPerCommand", IDC_SAVE_ITEMS, &TOptions::ItemsPerCommand, 2),
    OptionalNumberField("ShowFailures", IDC_SAVE_SHOW_FAILURES, &TOptions::ShowFailures, 0),
    TextField("WatchFolder", IDC_SAVE_WATCH_FOLDER, &TOptions::WatchFolder),
    NumberField("SettleTime", IDC_SAVE_SETTLE_TIME, &TOptions::SettleTime),
    TextField("Match", IDC_SAVE_MATCH, &TOptions::Match),
    FlagField("Subfolders", IDC_SAVE_SUBFOLDERS, &TOptions::Subfolders),
    TextField("DoneFolder", IDC_SAVE_DONE_FOLDER, &TOptions::DoneFolder),
    TextField("FailedFolder", IDC_SAVE_FAILED_FOLDER, &TOptions::FailedFolder),
};
constexpr int32_t ProjectFieldCount = int32_t(std::size(ProjectFields));
static_assert(ProjectFieldCount <= 32, "the fields to store are the bits of a 32-bit set");
// The set of every field.
constexpr uint32_t AllProjectFields = (uint32_t(1) << ProjectFieldCount) - 1;

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
    // Stores the fields selected by bit i of fields (the field of ProjectFields[i]) under
    // the name and writes the file at once.
    void SaveProject(std::string_view name, const TOptions& settings, uint32_t fields);

  private:
    std::unique_ptr<TvxIniFile> document_;
    TvxObjectList projects_;
};

// The process-wide store, created on first use.
TZemrunProjects& Projects();
void FinalizeProjects();
