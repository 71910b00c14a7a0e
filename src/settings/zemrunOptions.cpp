#include "zemrunOptions.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"

namespace {
const char* const HistorySections[HistoryKindCount] = {"ListHistory", "ExeHistory", "BParamHistory",
                                                       "EParamHistory", "RegExpHistory"};
constexpr int32_t DefaultHistoryMaxCount = 10;

std::unique_ptr<TZemrunOptions> options;
} // namespace

TZemrunOptions::TZemrunOptions(std::string fileName, std::string programFolder)
    : TvxIniFile(std::move(fileName)), programFolder_(std::move(programFolder)) {}

void TZemrunOptions::Clear() {
    TvxIniFile::Clear();
    general_ = nullptr;
    histories_.fill(nullptr);
}

TvxIniFileSection* TZemrunOptions::SectionForUse(const char* name) {
    if (TvxIniFileSection* found = FindSection(name)) return found;
    sectionsCreated_.emplace_back(name);
    return AddSection(name);
}

TvxIniFileSection* TZemrunOptions::GeneralSection() {
    if (!general_) general_ = SectionForUse("General");
    return general_;
}

TvxIniFileSection* TZemrunOptions::HistorySection(int32_t kind) {
    if (!histories_[size_t(kind)]) histories_[size_t(kind)] = SectionForUse(HistorySections[kind]);
    return histories_[size_t(kind)];
}

int32_t TZemrunOptions::HistoryMaxCount() {
    const TvxIniFileKey* key = GeneralSection()->FindKey("HistorymaxCount");
    return key ? key->AsInteger() : DefaultHistoryMaxCount;
}

std::unique_ptr<TvxStringList> TZemrunOptions::GetHistory(int32_t kind) {
    auto list = std::make_unique<TvxStringList>();
    const TvxIniFileSection* section = HistorySection(kind);
    for (int32_t i = 0; i < section->KeyCount(); ++i)
        list->Add(section->Keys(i)->Name());
    return list;
}

void TZemrunOptions::SetHistory(int32_t kind, const TvxStringList* list) {
    if (!list) return;
    TvxIniFileSection* section = HistorySection(kind);
    section->Clear();
    const int32_t kept = std::min(list->Count(), HistoryMaxCount());
    std::vector<std::string>& entries = historiesSet_[size_t(kind)].emplace();
    for (int32_t i = 0; i < kept; ++i) {
        section->AddKey(list->Strings(i), std::string());
        entries.push_back(list->Strings(i));
    }
}

std::string TZemrunOptions::GeneralValue(const std::string& name) {
    const TvxIniFileKey* key = GeneralSection()->FindKey(name);
    return key ? key->Value() : std::string();
}

void TZemrunOptions::SetGeneralValue(const std::string& name, std::string_view value) {
    GeneralSection()->FindKey(name, nullptr, true)->SetValue(value);
    generalSet_[name] = std::string(value);
}

std::string TZemrunOptions::GetLanguageFile() {
    const std::string value = GeneralValue("Language");
    if (!PathFolder(value).empty()) return value;
    if (PathExists(programFolder_ + value)) return programFolder_ + value;
    const std::string common = SpecialFolderPath(CSIDL_COMMON_APPDATA_ID) + PathDelimiter + value;
    if (PathExists(common)) return common;
    return SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + PathDelimiter + value;
}

void TZemrunOptions::SetLanguage(std::string_view language) {
    SetGeneralValue("Language", language);
}

void TZemrunOptions::ApplyChangesTo(TZemrunOptions& other) const {
    for (const std::string& name : sectionsCreated_)
        other.FindSection(name, nullptr, true);
    for (const auto& [name, value] : generalSet_)
        other.SetGeneralValue(name, value);
    for (int32_t kind = 0; kind < HistoryKindCount; ++kind) {
        if (!historiesSet_[size_t(kind)]) continue;
        TvxStringList list;
        for (const std::string& entry : *historiesSet_[size_t(kind)])
            list.Add(entry);
        other.SetHistory(kind, &list);
    }
}

std::string SettingsFile(int folderId, const std::string& name) {
    const std::string d(1, PathDelimiter);
    return SpecialFolderPath(folderId) + d + "Orvane" + d + "Zemrun" + d + name;
}

TZemrunOptions& Options() {
    return *options;
}

namespace {
// The options as the three files give them now.
std::unique_ptr<TZemrunOptions> ReadOptions(const std::string& programFolder) {
    auto read = std::make_unique<TZemrunOptions>(programFolder + "options.ini", programFolder);
    for (int folderId : {CSIDL_COMMON_APPDATA_ID, CSIDL_LOCAL_APPDATA_ID}) {
        const std::string path = SettingsFile(folderId, "options.ini");
        if (PathExists(path)) read->LoadFromFile(path);
    }
    return read;
}
} // namespace

void InitializeOptions(const std::string& programPath) {
    options = ReadOptions(PathFolder(programPath));
}

void FinalizeOptions() {
    if (!options) return;
    std::unique_ptr<TZemrunOptions> released = std::move(options);
    if (!released->IsModified()) return;
    // Another instance may have stored a language or a history since this one read the
    // files: they are read again, and only this run's own changes go over them.
    const std::unique_ptr<TZemrunOptions> current = ReadOptions(released->ProgramFolder());
    released->ApplyChangesTo(*current);
    const std::string path =
        SettingsFile(CSIDL_LOCAL_APPDATA_ID | CSIDL_FLAG_CREATE_BIT, "options.ini");
    CreateFolderPath(path);
    current->SaveToFile(path); // leaves the document unmodified: its destruction writes nothing
}
