#pragma once
// The program's options: the language, the history length and the five input histories,
// merged at start from up to three "options.ini" files and saved to the user's copy.

#include "../foundation/vxIniFile.h"
#include "../foundation/vxStringList.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum THistoryKind : int32_t { hkList, hkExe, hkBParam, hkEParam, hkRegExp };
constexpr int32_t HistoryKindCount = 5;

class TZemrunOptions : public TvxIniFile {
  public:
    // fileName: the program folder's options file; programFolder ends with its separator.
    TZemrunOptions(std::string fileName, std::string programFolder);
    // The program folder's file is never written, whatever is left unsaved.
    ~TZemrunOptions() override { ClearFlags(); }

    void Clear() override;
    TvxIniFileSection* GeneralSection();
    int32_t HistoryMaxCount();
    std::unique_ptr<TvxStringList> GetHistory(int32_t kind);
    void SetHistory(int32_t kind, const TvxStringList* list);
    // A value of the [General] section, empty where there is none; a value set here is
    // kept by the save at the end whatever another instance stored meanwhile.
    std::string GeneralValue(const std::string& name);
    void SetGeneralValue(const std::string& name, std::string_view value);
    std::string GetLanguageFile();
    void SetLanguage(std::string_view language);
    // Repeats on another options document what this run changed: the sections its use
    // created, the language and the histories it set.
    void ApplyChangesTo(TZemrunOptions& other) const;
    const std::string& ProgramFolder() const { return programFolder_; }

  private:
    TvxIniFileSection* HistorySection(int32_t kind);
    TvxIniFileSection* SectionForUse(const char* name);

    std::string programFolder_;
    TvxIniFileSection* general_ = nullptr;
    std::array<TvxIniFileSection*, HistoryKindCount> histories_{};
    // This run's own changes, so that the save at the end does not take back what another
    // instance stored meanwhile.
    std::vector<std::string> sectionsCreated_;
    std::map<std::string, std::string> generalSet_; // of the [General] section, by key
    std::array<std::optional<std::vector<std::string>>, HistoryKindCount> historiesSet_;
};

// A special folder's "Orvane\Zemrun" settings folder joined with a file name.
std::string SettingsFile(int folderId, const std::string& name);

// The process-wide options; InitializeOptions reads them, FinalizeOptions saves the
// user's copy when they changed and releases them.
TZemrunOptions& Options();
void InitializeOptions(const std::string& programPath);
void FinalizeOptions();
