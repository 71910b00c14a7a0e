#include "vxStringList.h"

#include "vxFileUtils.h"

#include <cstring>
#include <memory>
#include <vector>

TvxStringList::~TvxStringList() { Clear(); }

int32_t TvxStringList::AddObject(std::string text, TvxObject* object) {
    auto item = std::make_unique<TvxStringListItem>(TvxStringListItem{std::move(text), object});
    const int32_t index = TvxList::Add(item.get());
    if (index >= 0) item.release();
    sorted_ = false;
    return index;
}

void TvxStringList::InsertObject(int32_t index, std::string text, TvxObject* object) {
    if (index >= 0 && index <= Count()) {
        auto item = std::make_unique<TvxStringListItem>(TvxStringListItem{std::move(text), object});
        const int32_t before = Count();
        TvxList::Insert(index, item.get());
        if (Count() > before) item.release();
    }
    sorted_ = false;
}

int32_t TvxStringList::IndexOf(std::string_view text) const {
    if (sorted_) return Find(text);
    for (int32_t i = Count() - 1; i >= 0; --i)
        if (Item(i)->text == text) return i;
    return -1;
}

int CompareTexts(std::string_view a, std::string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    if (common) {
        const int byBytes = std::memcmp(a.data(), b.data(), common);
        if (byBytes) return byBytes;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int32_t TvxStringList::Find(std::string_view text) const {
    int32_t lo = 0;
    int32_t hi = Count() - 1;
    while (lo <= hi) {
        const int32_t mid = int32_t((uint32_t(lo) + uint32_t(hi)) >> 1);
        const int order = CompareTexts(Item(mid)->text, text);
        if (order < 0) {
            lo = mid + 1;
        } else {
            if (order == 0) return mid;
            hi = mid - 1;
        }
    }
    return -1;
}

void TvxStringList::SetSorted(bool sorted) {
    sorted_ = sorted;
    if (sorted)
        Sort([](const void* a, const void* b) {
            return CompareTexts(static_cast<const TvxStringListItem*>(a)->text,
                                static_cast<const TvxStringListItem*>(b)->text);
        });
}

void TvxStringList::Notify(void* item, TvxListNotification kind) {
    if (kind == TvxListNotification::deleted) delete static_cast<TvxStringListItem*>(item);
}

void TvxStringList::LoadFromFile(const std::string& path) {
    constexpr size_t ChunkSize = 256 * 1024;
    constexpr char EndOfFile = 26;
    TvxFileReader file(path);
    std::vector<char> chunk(ChunkSize);
    std::string pending;   // a line that runs on into the next chunk
    bool skipLineFeed = false; // the previous chunk ended with a carriage return
    for (;;) {
        size_t size = file.Read(chunk.data(), chunk.size());
        if (size == 0) break;
        const char* p = chunk.data();
        const char* end = p + size;
        const bool endMarked = std::memchr(p, EndOfFile, size) != nullptr;
        if (endMarked) end = static_cast<const char*>(std::memchr(p, EndOfFile, size));
        if (skipLineFeed && p < end && *p == '\n') ++p;
        skipLineFeed = false;
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
            if (!cr) {
                pending.append(p, end);
                break;
            }
            if (pending.empty()) {
                Add(std::string(p, cr));
            } else {
                pending.append(p, cr);
                Add(std::move(pending));
                pending.clear();
            }
            p = cr + 1;
            if (p < end && *p == '\n')
                ++p;
            else if (p == end)
                skipLineFeed = true;
        }
        if (endMarked) break;
    }
    if (!pending.empty()) Add(std::move(pending));
}
