#include "zemrunProjects.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "zemrunOptions.h"

void TProjectField::Read(const TvxIniFileKey& key, TOptions& settings) const {
    if (parse) parse(key.Value(), settings);
    if (text) settings.*text = key.Value();
    if (flag) settings.*flag = key.AsBoolean();
    if (number) settings.*number = key.AsInteger();
}

void TProjectField::Write(TvxIniFileKey& key, const TOptions& settings) const {
    if (format) key.SetValue(format(settings));
    if (text) key.SetValue(settings.*text);
    if (flag) key.SetAsBoolean(settings.*flag);
    if (number) key.SetAsInteger(settings.*number);
}

namespace {
std::unique_ptr<TZemrunProjects> store;
} // namespace

TZemrunProjects::TZemrunProjects(const std::string& path)
    : document_(std::make_unique<TvxIniFile>(path)) {
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

bool TZemrunProjects::Contains(std::string_view name) const {
    const std::string wanted = AnsiUpperCase(name);
    for (int32_t i = 0; i < Count(); ++i)
        if (AnsiUpperCase(Items(i)->Name()) == wanted) return true;
    return false;
}

void TZemrunProjects::LoadProject(std::string_view name, TOptions& settings) const {
    const std::string wanted = AnsiUpperCase(name);
    for (int32_t i = 0; i < Count(); ++i) {
        const TZemrunProject* project = Items(i);
        if (AnsiUpperCase(project->Name()) != wanted) continue;
        for (int32_t field = 0; field < ProjectFieldCount; ++field)
            if (const TvxIniFileKey* key = project->Key(field))
                ProjectFields[field].Read(*key, settings);
        return;
    }
}

void TZemrunProjects::SaveProject(std::string_view name, const TOptions& settings,
                                  uint32_t fields) {
    // Another instance may have saved projects since this one read the file: the one
    // section is replaced in the file as it is now, every other section stays as it is.
    CreateFolderPath(document_->FileName());
    TvxIniFile current(document_->FileName());
    TvxIniFileSection* section = current.FindSection(name, nullptr, true);
    section->Clear();
    for (int32_t field = 0; field < ProjectFieldCount; ++field)
        if ((fields & (uint32_t(1) << field)) && ProjectFields[field].Present(settings))
            ProjectFields[field].Write(*section->FindKey(ProjectFields[field].key, nullptr, true),
                                       settings);
    current.Save();
}

TZemrunProjects& Projects() {
    if (!store)
        store =
            std::make_unique<TZemrunProjects>(SettingsFile(CSIDL_LOCAL_APPDATA_ID, "projects.ini"));
    return *store;
}

void FinalizeProjects() {
    store.reset();
}

std::string ProjectShortcutPath(int folderId, const std::string& project) {
    return SpecialFolderPath(folderId) + "\\" + SafeFileName(project) + ".lnk";
}
