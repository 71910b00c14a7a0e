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

TvxIniFileSection* TZemrunOptions::GeneralSection() {
    if (!general_) general_ = FindSection("General", nullptr, true);
    return general_;
}

TvxIniFileSection* TZemrunOptions::HistorySection(int32_t kind) {
    if (!histories_[size_t(kind)]) histories_[size_t(kind)] = FindSection(HistorySections[kind], nullptr, true);
    return histories_[size_t(kind)];
}

int32_t TZemrunOptions::HistoryMaxCount() {
    const TvxIniFileKey* key = GeneralSection()->FindKey("HistorymaxCount");
    return key ? key->AsInteger() : DefaultHistoryMaxCount;
}

std::unique_ptr<TvxStringList> TZemrunOptions::GetHistory(int32_t kind) {
    auto list = std::make_unique<TvxStringList>();
    const TvxIniFileSection* section = HistorySection(kind);
    for (int32_t i = 0; i < section->KeyCount(); ++i) list->Add(section->Keys(i)->Name());
    return list;
}

void TZemrunOptions::SetHistory(int32_t kind, const TvxStringList* list) {
    if (!list) return;
    TvxIniFileSection* section = HistorySection(kind);
    section->Clear();
    const int32_t kept = std::min(list->Count(), HistoryMaxCount());
    for (int32_t i = 0; i < kept; ++i) section->AddKey(list->Strings(i), std::string());
}

std::string TZemrunOptions::GetLanguageFile() {
    const TvxIniFileKey* key = GeneralSection()->FindKey("Language");
    const std::string value = key ? key->Value() : std::string();
    if (!PathFolder(value).empty()) return value;
    if (PathExists(programFolder_ + value)) return programFolder_ + value;
    const std::string common = SpecialFolderPath(CSIDL_COMMON_APPDATA_ID) + PathDelimiter + value;
    if (PathExists(common)) return common;
    return SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + PathDelimiter + value;
}

void TZemrunOptions::SetLanguage(std::string_view language) {
    GeneralSection()->FindKey("Language", nullptr, true)->SetValue(language);
}

std::string SettingsFile(int folderId, const std::string& name) {
    const std::string d(1, PathDelimiter);
    return SpecialFolderPath(folderId) + d + "Orvane" + d + "Zemrun" + d + name;
}

TZemrunOptions& Options() { return *options; }

void InitializeOptions(const std::string& programPath) {
    const std::string folder = PathFolder(programPath);
    options = std::make_unique<TZemrunOptions>(folder + "options.ini", folder);
    for (int folderId : {CSIDL_COMMON_APPDATA_ID, CSIDL_LOCAL_APPDATA_ID}) {
        const std::string path = SettingsFile(folderId, "options.ini");
        if (PathExists(path)) options->LoadFromFile(path);
    }
}

void FinalizeOptions() {
    if (!options) return;
    std::unique_ptr<TZemrunOptions> released = std::move(options);
    if (released->IsModified()) {
        const std::string path = SettingsFile(CSIDL_LOCAL_APPDATA_ID | CSIDL_FLAG_CREATE_BIT, "options.ini");
        CreateFolderPath(path);
        released->SaveToFile(path); // leaves the document unmodified: its destruction writes nothing
    }
}
