#pragma once
// Projects: named sets of run settings stored as sections of "projects.ini" in the
// user's settings folder.

#include "../foundation/vxIniFile.h"
#include "zemrunRunSettings.h"

#include <cstdint>
#include <memory>
#include <string>

constexpr int32_t ProjectFieldCount = 16;
// The key of each field index, in the order keys are stored.
extern const char* const ProjectKeys[ProjectFieldCount];

class TZemrunProject : public TvxObject {
public:
    TZemrunProject(std::string name, TvxIniFileSection* section) : name_(std::move(name)), section_(section) {}
    const std::string& Name() const { return name_; }
    TvxIniFileKey* Key(int32_t field) const { return section_->FindKey(ProjectKeys[field]); }

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
    TZemrunProject* Items(int32_t index) const { return static_cast<TZemrunProject*>(projects_.Items(index)); }
    // Loads the fields that the project of that name holds; nothing when there is none.
    void LoadProject(std::string_view name, TOptions& settings) const;
    // Stores the fields selected by bit i of fields (i = 0..14) under the name and writes
    // the file at once.
    void SaveProject(std::string_view name, const TOptions& settings, uint16_t fields);

private:
    std::unique_ptr<TvxIniFile> document_;
    TvxObjectList projects_;
};

// The process-wide store, created on first use.
TZemrunProjects& Projects();
void FinalizeProjects();
