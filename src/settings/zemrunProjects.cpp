#include "zemrunProjects.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "zemrunOptions.h"

const char* const ProjectKeys[ProjectFieldCount] = {"List",         "Exe",        "BParam", "Eparam",
                                                    "RegExp",       "WaitOpen",   "WaitClose",
                                                    "ShellExecute", "FirstPause", "GUI",    "Window",
                                                    "Priority",     "Jobs",       "JobLog", "Resume",
                                                    "Encoding"};

namespace {
std::unique_ptr<TZemrunProjects> store;

void ReadField(const TvxIniFileKey& key, int32_t field, TOptions& s) {
    switch (field) {
    case 0: s.List = key.Value(); break;
    case 1: s.Exe = key.Value(); break;
    case 2: s.BParam = key.Value(); break;
    case 3: s.Eparam = key.Value(); break;
    case 4: s.RegExp = key.Value(); break;
    case 5: s.WaitOpen = key.AsBoolean(); break;
    case 6: s.WaitClose = key.AsBoolean(); break;
    case 7: s.ShellExecute = key.AsBoolean(); break;
    case 8: s.FirstPause = key.AsInteger(); break;
    case 9: s.GUI = key.AsInteger(); break;
    case 10: s.Window = key.AsInteger(); break;
    case 11: s.Priority = key.AsInteger(); break;
    case 12: s.Jobs = key.AsInteger(); break;
    case 13: s.JobLog = key.Value(); break;
    case 14: s.Resume = key.AsBoolean(); break;
    default: s.Encoding = key.Value(); break;
    }
}

void WriteField(TvxIniFileKey& key, int32_t field, const TOptions& s) {
    switch (field) {
    case 0: key.SetValue(s.List); break;
    case 1: key.SetValue(s.Exe); break;
    case 2: key.SetValue(s.BParam); break;
    case 3: key.SetValue(s.Eparam); break;
    case 4: key.SetValue(s.RegExp); break;
    case 5: key.SetAsBoolean(s.WaitOpen); break;
    case 6: key.SetAsBoolean(s.WaitClose); break;
    case 7: key.SetAsBoolean(s.ShellExecute); break;
    case 8: key.SetAsInteger(s.FirstPause); break;
    case 9: key.SetAsInteger(s.GUI); break;
    case 10: key.SetAsInteger(s.Window); break;
    case 11: key.SetAsInteger(s.Priority); break;
    case 12: key.SetAsInteger(s.Jobs); break;
    case 13: key.SetValue(s.JobLog); break;
    case 14: key.SetAsBoolean(s.Resume); break;
    default: key.SetValue(s.Encoding); break;
    }
}
} // namespace

TZemrunProjects::TZemrunProjects(const std::string& path) : document_(std::make_unique<TvxIniFile>(path)) {
    Rebuild();
}

TZemrunProjects::~TZemrunProjects() {
    projects_.Clear();
    document_.reset();
}

void TZemrunProjects::Rebuild() {
    projects_.Clear();
    for (int32_t i = 0; i < document_->SectionCount(); ++i)
        projects_.Add(new TZemrunProject(document_->Sections(i)->Name(), document_->Sections(i)));
}

void TZemrunProjects::Refresh() {
    document_->Reload();
    Rebuild();
}

void TZemrunProjects::LoadProject(std::string_view name, TOptions& settings) const {
    const std::string wanted = AnsiUpperCase(name);
    for (int32_t i = 0; i < Count(); ++i) {
        const TZemrunProject* project = Items(i);
        if (AnsiUpperCase(project->Name()) != wanted) continue;
        for (int32_t field = 0; field < ProjectFieldCount; ++field)
            if (const TvxIniFileKey* key = project->Key(field)) ReadField(*key, field, settings);
        return;
    }
}

void TZemrunProjects::SaveProject(std::string_view name, const TOptions& settings, uint16_t fields) {
    // Another instance may have saved projects since this one read the file: the one
    // section is replaced in the file as it is now, every other section stays as it is.
    CreateFolderPath(document_->FileName());
    TvxIniFile current(document_->FileName());
    TvxIniFileSection* section = current.FindSection(name, nullptr, true);
    section->Clear();
    for (int32_t field = 0; field < ProjectFieldCount; ++field)
        if (fields & (1u << field)) WriteField(*section->FindKey(ProjectKeys[field], nullptr, true), field, settings);
    current.Save();
}

TZemrunProjects& Projects() {
    if (!store) store = std::make_unique<TZemrunProjects>(SettingsFile(CSIDL_LOCAL_APPDATA_ID, "projects.ini"));
    return *store;
}

void FinalizeProjects() { store.reset(); }
