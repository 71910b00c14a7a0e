#pragma once
// An INI document in memory: sections of keys with text values, read from its file at
// construction, edited with change tracking, and written back whole in an escaped form.

#include "vxObjectList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class TvxIniFile;
class TvxStringList;
class TvxIniFileSection;

class TvxIniFileKey : public TvxObject {
  public:
    TvxIniFileKey(TvxIniFileSection* section, std::string name, std::string value);

    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }
    void SetValue(std::string_view value);
    bool AsBoolean() const { return value_ != "0"; }
    void SetAsBoolean(bool value) { SetValue(value ? "1" : "0"); }
    int32_t AsInteger() const;
    void SetAsInteger(int32_t value);
    bool IsModified() const { return modified_; }

  private:
    friend class TvxIniFile;
    class TvxStringList;
    friend class TvxIniFileSection;
    TvxIniFileSection* section_;
    std::string name_;
    std::string upperName_; // for lookups without regard to case
    std::string value_;
    bool modified_ = false;
};

class TvxIniFileSection : public TvxObject {
  public:
    TvxIniFileSection(TvxIniFile* file, std::string name);

    const std::string& Name() const { return name_; }
    TvxIniFileKey* AddKey(std::string name, std::string value);
    void Clear();
    int32_t KeyCount() const { return keys_.Count(); }
    TvxIniFileKey* Keys(int32_t index) const {
        return static_cast<TvxIniFileKey*>(keys_.Items(index));
    }
    // The first key whose name equals name without regard to case; created (with an
    // empty value) when missing and create is set. index receives its position or -1.
    TvxIniFileKey* FindKey(std::string_view name, int32_t* index = nullptr, bool create = false);
    bool IsModified() const;

  private:
    friend class TvxIniFile;
    class TvxStringList;
    friend class TvxIniFileKey;
    TvxIniFile* file_;
    std::string name_;
    std::string upperName_;
    TvxObjectList keys_;
    // The position of the first key of each folded name; the keys own the texts.
    std::unordered_map<std::string_view, int32_t> keyIndex_;
    bool modified_ = false;
};

class TvxIniFile : public TvxObject {
  public:
    explicit TvxIniFile(std::string fileName);
    // Writes the document to its file first when it was modified.
    ~TvxIniFile() override;

    virtual void Clear();
    TvxIniFileSection* AddSection(std::string name);
    int32_t SectionCount() const { return sections_.Count(); }
    TvxIniFileSection* Sections(int32_t index) const {
        return static_cast<TvxIniFileSection*>(sections_.Items(index));
    }
    TvxIniFileSection* FindSection(std::string_view name, int32_t* index = nullptr,
                                   bool create = false);

    // Merges the file at path into the document; nothing happens when there is none.
    void LoadFromFile(const std::string& path);
    // Merges the bytes of an INI file held in memory, decoded as a file's would be.
    void LoadFromText(std::string_view bytes);
    void Reload();
    void Save() { SaveToFile(fileName_); }
    // Writes the whole document through a temporary file in the same folder that then
    // replaces the old file, so that a failed write never leaves a truncated file.
    void SaveToFile(const std::string& path);
    // The bytes that a save writes.
    std::string Text() const;
    bool IsModified() const;
    const std::string& FileName() const { return fileName_; }

    // The escaped forms of names and values in the file.
    static std::string Escape(std::string_view text);
    static std::string Unescape(std::string_view text);

  protected:
    // Counts the whole document as saved: no flag at any level is set.
    void ClearFlags();

  private:
    friend class TvxIniFileSection;
    void LoadLines(const TvxStringList& lines);
    void RemoveSections();

    std::string fileName_;
    TvxObjectList sections_;
    // The position of the first section of each folded name; the sections own the texts.
    std::unordered_map<std::string_view, int32_t> sectionIndex_;
    bool modified_ = false;
};

// One value from a profile file by the operating system's own INI rules (a buffer of
// 4096 characters); default when the file, section or key is missing.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue);
// Where a profile file of that name is read: on Windows, a relative name is in the
// Windows folder.
std::string ProfileFilePath(const std::string& file);
