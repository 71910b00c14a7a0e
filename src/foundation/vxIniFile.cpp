#include "vxIniFile.h"

#include "vxFileUtils.h"
#include "vxStrUtils.h"
#include "vxStringList.h"
#include "vxTextCodec.h"

#include <cstdio>

namespace {
// One line of an INI file that says something: a section's head, or a key with its value
// (the texts as they stand in the line, blanks around them included).
struct TIniLine {
    bool section;
    std::string_view name;
    std::string_view value;
    bool hasValue; // the line holds "="
};

// The parse that every INI reading shares: lines are trimmed, and empty lines and lines
// that begin with ";" are passed over; with inlineComments a ";" anywhere begins a comment.
// The walk ends where visit returns true.
template <typename TVisit>
void ForEachIniLine(const TvxStringList& lines, bool inlineComments, TVisit visit) {
    for (int32_t i = 0; i < lines.Count(); ++i) {
        std::string_view line = lines.Strings(i);
        if (inlineComments) line = line.substr(0, line.find(';'));
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';') continue;
        const std::string_view text = trimmed;
        TIniLine parsed{false, {}, {}, false};
        if (text[0] == '[') {
            const size_t close = text.find(']', 1);
            parsed = {true,
                      text.substr(1, close == std::string_view::npos ? close : close - 1),
                      {},
                      false};
        } else {
            const size_t equals = text.find('=');
            const bool hasValue = equals != std::string_view::npos;
            parsed = {false, text.substr(0, equals),
                      hasValue ? text.substr(equals + 1) : std::string_view(), hasValue};
        }
        if (visit(parsed)) return;
    }
}

// Looks a folded name up in an index of first positions; -1 when it is not there.
int32_t IndexOfName(const std::unordered_map<std::string_view, int32_t>& index,
                    const std::string& upperName) {
    const auto found = index.find(upperName);
    return found == index.end() ? -1 : found->second;
}
} // namespace

TvxIniFileKey::TvxIniFileKey(TvxIniFileSection* section, std::string name, std::string value)
    : section_(section), name_(std::move(name)), upperName_(AnsiUpperCase(name_)),
      value_(std::move(value)) {}

void TvxIniFileKey::SetValue(std::string_view value) {
    if (value == value_) return;
    value_.assign(value);
    modified_ = true;
}

int32_t TvxIniFileKey::AsInteger() const {
    return ReadInteger(value_);
}

void TvxIniFileKey::SetAsInteger(int32_t value) {
    SetValue(IntToText(value));
}

TvxIniFileSection::TvxIniFileSection(TvxIniFile* file, std::string name)
    : file_(file), name_(std::move(name)), upperName_(AnsiUpperCase(name_)) {}

TvxIniFileKey* TvxIniFileSection::AddKey(std::string name, std::string value) {
    auto* key = new TvxIniFileKey(this, std::move(name), std::move(value));
    keyIndex_.emplace(key->upperName_, keys_.Count());
    keys_.Add(key);
    modified_ = true;
    return key;
}

void TvxIniFileSection::Clear() {
    keyIndex_.clear();
    keys_.Clear();
    modified_ = true;
}

TvxIniFileKey* TvxIniFileSection::FindKey(std::string_view name, int32_t* index, bool create) {
    const int32_t found = IndexOfName(keyIndex_, AnsiUpperCase(name));
    if (found >= 0 || !create) {
        if (index) *index = found;
        return found >= 0 ? Keys(found) : nullptr;
    }
    TvxIniFileKey* key = AddKey(std::string(name), std::string());
    if (index) *index = keys_.Count() - 1;
    return key;
}

bool TvxIniFileSection::IsModified() const {
    if (modified_) return true;
    for (int32_t i = 0; i < keys_.Count(); ++i)
        if (Keys(i)->modified_) return true;
    return false;
}

TvxIniFile::TvxIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    Clear();
    Reload();
}

TvxIniFile::~TvxIniFile() {
    if (!IsModified()) return;
    try {
        Save();
    } catch (const TvxInOutError&) {
        // A destructor cannot report; the file on disk is left as it was.
    }
}

void TvxIniFile::Clear() {
    RemoveSections();
    modified_ = true;
}

TvxIniFileSection* TvxIniFile::AddSection(std::string name) {
    auto* section = new TvxIniFileSection(this, std::move(name));
    sectionIndex_.emplace(section->upperName_, sections_.Count());
    sections_.Add(section);
    modified_ = true;
    return section;
}

TvxIniFileSection* TvxIniFile::FindSection(std::string_view name, int32_t* index, bool create) {
    const int32_t found = IndexOfName(sectionIndex_, AnsiUpperCase(name));
    if (found >= 0 || !create) {
        if (index) *index = found;
        return found >= 0 ? Sections(found) : nullptr;
    }
    TvxIniFileSection* section = AddSection(std::string(name));
    if (index) *index = sections_.Count() - 1;
    return section;
}

void TvxIniFile::LoadFromFile(const std::string& path) {
    if (!PathExists(path)) return;
    TvxStringList lines;
    lines.LoadFromFile(path);
    LoadLines(lines);
}

void TvxIniFile::LoadFromText(std::string_view bytes) {
    TvxStringList lines;
    lines.LoadFromText(bytes);
    LoadLines(lines);
}

void TvxIniFile::LoadLines(const TvxStringList& lines) {
    TvxIniFileSection* current = nullptr;
    ForEachIniLine(lines, true, [&](const TIniLine& line) {
        if (line.section)
            current = FindSection(Unescape(line.name), nullptr, true);
        else if (current)
            current->FindKey(Unescape(line.name), nullptr, true)->SetValue(Unescape(line.value));
        return false; // every line counts
    });
    modified_ = true;
}

void TvxIniFile::RemoveSections() {
    sectionIndex_.clear();
    sections_.Clear();
}

void TvxIniFile::Reload() {
    RemoveSections();
    LoadFromFile(fileName_);
    ClearFlags();
}

void TvxIniFile::ClearFlags() {
    modified_ = false;
    for (int32_t i = 0; i < SectionCount(); ++i) {
        TvxIniFileSection* section = Sections(i);
        section->modified_ = false;
        for (int32_t k = 0; k < section->KeyCount(); ++k)
            section->Keys(k)->modified_ = false;
    }
}

std::string TvxIniFile::Text() const {
    std::string text;
    for (int32_t i = 0; i < SectionCount(); ++i) {
        const TvxIniFileSection* section = Sections(i);
        text += '[';
        text += Escape(section->Name());
        text += "]\r\n";
        for (int32_t k = 0; k < section->KeyCount(); ++k) {
            const TvxIniFileKey* key = section->Keys(k);
            text += Escape(key->Name());
            const std::string value = Escape(key->Value());
            if (!value.empty()) text += "=" + value;
            text += "\r\n";
        }
    }
    return text;
}

void TvxIniFile::SaveToFile(const std::string& path) {
    const std::string text = Text();
    const std::string temporary = TemporaryPath(path);
    try {
        TvxFileWriter writer(temporary);
        writer.Write(text);
        writer.Close();
        ReplaceFileWith(path, temporary);
    } catch (const TvxInOutError&) {
        RemoveFile(temporary); // the old file stays as it was
        throw;
    }
    RemoveStaleTemporaries(path);
    ClearFlags();
}

bool TvxIniFile::IsModified() const {
    if (modified_) return true;
    for (int32_t i = 0; i < SectionCount(); ++i)
        if (Sections(i)->IsModified()) return true;
    return false;
}

std::string TvxIniFile::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code <= 32 || c == '%' || c == ';' || c == '=' || c == '[' || c == ']') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", code);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string TvxIniFile::Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        // A "%" without two characters after it (only in hand-edited files) stays as it is.
        if (text[i] == '%' && i + 2 < text.size()) {
            std::string hex = "$";
            hex += text.substr(i + 1, 2);
            out += char(ReadInteger(hex));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The system's own reader takes the file to be in the process code page; this one decodes
// it as every other text file, so that language files written in the legacy page, in
// UTF-8 or in UTF-16 all read. Its rules are the system reader's: sections and keys
// matched without regard to case, blanks around names and values removed, one pair of
// surrounding quotes dropped, ";" lines skipped, the first match taken.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    const std::string path = ProfileFilePath(file);
    // A device such as AUX or COM1 could keep the read waiting for ever.
    if (!IsRegularFile(path)) return FirstUtf16Units(defaultValue, 4095);
    TvxStringList lines;
    try {
        lines.LoadFromFile(path);
    } catch (const TvxInOutError&) {
        return FirstUtf16Units(defaultValue, 4095);
    }
    bool inSection = false;
    std::string found;
    bool isFound = false;
    // The first match is taken: the walk ends there.
    ForEachIniLine(lines, false, [&](const TIniLine& line) {
        if (line.section) {
            inSection = SameTextAnsi(Trim(line.name), section);
            return false;
        }
        if (!inSection || !line.hasValue || !SameTextAnsi(Trim(line.name), key)) return false;
        found = Trim(line.value);
        if (found.size() >= 2 && (found.front() == '"' || found.front() == '\'') &&
            found.back() == found.front())
            found = found.substr(1, found.size() - 2);
        isFound = true;
        return true;
    });
    if (isFound) return FirstUtf16Units(found, 4095);
    return FirstUtf16Units(defaultValue, 4095);
}
