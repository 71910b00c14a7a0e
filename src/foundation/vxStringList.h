#pragma once
// TvxStringList: texts, each with one attached reference that the list never owns,
// in insertion order unless sorted explicitly.

#include "vxList.h"

#include <functional>
#include <string>
#include <string_view>

struct TvxStringListItem {
    std::string text;
    TvxObject* object;
};

class TvxStringList : public TvxList {
  public:
    ~TvxStringList() override;

    int32_t AddObject(std::string text, TvxObject* object);
    int32_t Add(std::string text) { return AddObject(std::move(text), nullptr); }
    void InsertObject(int32_t index, std::string text, TvxObject* object);
    void Insert(int32_t index, std::string text) { InsertObject(index, std::move(text), nullptr); }

    // The index must lie in 0..Count-1.
    const std::string& Strings(int32_t index) const { return Item(index)->text; }
    TvxObject* Objects(int32_t index) const { return Item(index)->object; }
    // Replaces the text at the index; a sorted list is no longer taken as sorted.
    void Put(int32_t index, std::string text) {
        Item(index)->text = std::move(text);
        sorted_ = false;
    }

    int32_t IndexOf(std::string_view text) const;
    int32_t Find(std::string_view text) const;
    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);

    // Appends the lines of a text file, decoded into the process code page: a byte-order
    // mark or the shape of UTF-16LE decides the encoding, else the code page given (0 for
    // none), else the whole text (valid UTF-8 is UTF-8, anything else the legacy ANSI
    // page). A line ends at CR LF, at CR or at LF; control-Z ends the file. A line that the process
    // code page cannot hold ends in a zero character. Read failures throw TvxInOutError.
    void LoadFromFile(const std::string& path, uint32_t codePage = 0);
    // The same for the bytes of a file held in memory, where a text that no mark, shape or
    // code page decides and that is not UTF-8 is in the legacy page given (0: ANSI).
    void LoadFromText(std::string_view bytes, uint32_t codePage = 0, uint32_t legacyCodePage = 0);

  protected:
    void Notify(void* item, TvxListNotification kind) override;

  private:
    // Reads the text through read, which fills a buffer and gives 0 at the end.
    void LoadLines(const std::function<size_t(char*, size_t)>& read, uint32_t codePage,
                   uint32_t legacyCodePage);
    void ConvertLines(int32_t first, uint32_t codePage, bool validUtf8);
    TvxStringListItem* Item(int32_t index) const {
        return static_cast<TvxStringListItem*>(Slot(index));
    }

    bool sorted_ = false;
};

// Byte-wise comparison of unsigned characters; the shorter text sorts first.
int CompareTexts(std::string_view a, std::string_view b);
