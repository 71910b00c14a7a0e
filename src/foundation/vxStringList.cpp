#include "vxStringList.h"

#include "vxFileUtils.h"
#include "vxStrUtils.h"
#include "vxTextCodec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

TvxStringList::~TvxStringList() {
    Clear();
}

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

namespace {
constexpr size_t ChunkSize = 256 * 1024;
constexpr char EndOfFile = 26;

// The next carriage return or line feed of a piece: each is searched for once per run
// of text without it, so that a file with one kind of line end is scanned once.
class TBreakFinder {
  public:
    explicit TBreakFinder(const char* end) : end_(end) {}
    const char* Next(const char* from) {
        if (!nextCr_ || nextCr_ < from) nextCr_ = Find(from, '\r');
        if (!nextLf_ || nextLf_ < from) nextLf_ = Find(from, '\n');
        return std::min(nextCr_, nextLf_);
    }

  private:
    const char* Find(const char* from, char c) const {
        const auto* found = static_cast<const char*>(std::memchr(from, c, size_t(end_ - from)));
        return found ? found : end_;
    }
    const char* end_;
    const char* nextCr_ = nullptr;
    const char* nextLf_ = nullptr;
};

// Cuts decoded text, arriving in pieces, into lines at CR LF, CR or LF; control-Z ends the
// file.
class TLineSplitter {
  public:
    explicit TLineSplitter(TvxStringList& list) : list_(list) {}

    // False once the end of the file was marked. A line ends at CR LF, at CR or at LF.
    bool Feed(const char* p, const char* end) {
        const auto* mark = static_cast<const char*>(std::memchr(p, EndOfFile, size_t(end - p)));
        if (mark) end = mark;
        if (skipLineFeed_ && p < end && *p == '\n') ++p;
        skipLineFeed_ = false;
        TBreakFinder breaks(end);
        while (p < end) {
            const char* lineEnd = breaks.Next(p);
            if (lineEnd == end) {
                pending_.append(p, end);
                break;
            }
            if (pending_.empty()) {
                list_.Add(std::string(p, lineEnd));
            } else {
                pending_.append(p, lineEnd);
                list_.Add(std::move(pending_));
                pending_.clear();
            }
            p = lineEnd + 1;
            if (*lineEnd != '\r') continue;
            if (p < end && *p == '\n')
                ++p;
            else if (p == end)
                skipLineFeed_ = true;
        }
        return mark == nullptr;
    }

    void Finish() {
        if (!pending_.empty()) list_.Add(std::move(pending_));
    }

  private:
    TvxStringList& list_;
    std::string pending_;       // a line that runs on into the next piece
    bool skipLineFeed_ = false; // the previous piece ended with a carriage return
};

// Fills the buffer from the source until it is full or the source ends.
size_t Fill(const std::function<size_t(char*, size_t)>& read, std::vector<char>& buffer) {
    size_t size = 0;
    while (size < buffer.size()) {
        const size_t got = read(buffer.data() + size, buffer.size() - size);
        if (got == 0) break;
        size += got;
    }
    return size;
}

// UTF-16 arrives in pieces cut anywhere: an odd byte, or the first half of a surrogate
// pair, waits for the next piece.
class TUtf16Decoder {
  public:
    explicit TUtf16Decoder(uint32_t codePage) : codePage_(codePage) {}

    std::string Decode(std::string_view bytes, bool last) {
        carried_.append(bytes);
        size_t take = last ? carried_.size() : carried_.size() & ~size_t(1);
        if (!last && take >= 2) {
            const size_t high = codePage_ == codepage::Utf16BE ? take - 2 : take - 1;
            const auto byte = static_cast<unsigned char>(carried_[high]);
            if (byte >= 0xD8 && byte <= 0xDB) take -= 2;
        }
        std::string text = FromUtf16(ToUtf16(std::string_view(carried_).substr(0, take), codePage_),
                                     codepage::Utf8);
        carried_.erase(0, take);
        return text;
    }

  private:
    uint32_t codePage_;
    std::string carried_;
};
} // namespace

void TvxStringList::LoadFromFile(const std::string& path, uint32_t codePage) {
    TvxFileReader file(path);
    LoadLines([&](char* buffer, size_t size) { return file.Read(buffer, size); }, codePage,
              LegacyAnsiCodePage());
}

void TvxStringList::LoadFromText(std::string_view bytes, uint32_t codePage,
                                 uint32_t legacyCodePage) {
    LoadLines(
        [&](char* buffer, size_t size) {
            const size_t taken = std::min(size, bytes.size());
            std::memcpy(buffer, bytes.data(), taken);
            bytes.remove_prefix(taken);
            return taken;
        },
        codePage, legacyCodePage ? legacyCodePage : LegacyAnsiCodePage());
}

void TvxStringList::LoadLines(const std::function<size_t(char*, size_t)>& read, uint32_t codePage,
                              uint32_t legacyCodePage) {
    std::vector<char> chunk(ChunkSize);
    size_t size = Fill(read, chunk);
    const TvxTextFormat format =
        DetectTextFormat(std::string_view(chunk.data(), size), size < chunk.size());
    const int32_t first = Count();
    // A mark or the shape of UTF-16 decides; else the page the caller names; else the
    // whole text: valid UTF-8 is UTF-8, anything else the legacy page.
    uint32_t linesCodePage = format.codePage ? format.codePage : codePage;
    TLineSplitter lines(*this);
    TvxUtf8Validator validator;
    if (linesCodePage == codepage::Utf16LE || linesCodePage == codepage::Utf16BE) {
        TUtf16Decoder decoder(linesCodePage);
        size_t skip = format.markSize;
        for (bool more = true; more;) {
            const bool last = size < chunk.size();
            const std::string text =
                decoder.Decode(std::string_view(chunk.data() + skip, size - skip), last);
            more = lines.Feed(text.data(), text.data() + text.size()) && !last;
            skip = 0;
            if (more) size = Fill(read, chunk);
        }
        linesCodePage = codepage::Utf8;
    } else {
        size_t skip = format.markSize;
        for (;;) {
            // What follows control-Z is no part of the text.
            const std::string_view piece(chunk.data() + skip, size - skip);
            validator.Feed(piece.substr(0, piece.find(EndOfFile)));
            const bool more = lines.Feed(chunk.data() + skip, chunk.data() + size);
            skip = 0;
            if (!more || size < chunk.size()) break;
            size = Fill(read, chunk);
        }
        if (linesCodePage == 0) linesCodePage = validator.Valid() ? codepage::Utf8 : legacyCodePage;
    }
    lines.Finish();
    ConvertLines(first, linesCodePage, validator.Valid());
}

void TvxStringList::ConvertLines(int32_t first, uint32_t codePage, bool validUtf8) {
    const uint32_t process = ProcessCodePage();
    // Every legacy page that Windows uses for ANSI files keeps ASCII as it is; a page the
    // user names may not (ISO-2022 texts are all 7-bit).
    const bool named = codePage != codepage::Utf8 && codePage != LegacyAnsiCodePage();
    if (codePage == process && (codePage != codepage::Utf8 || validUtf8)) return;
    for (int32_t i = first; i < Count(); ++i) {
        std::string& text = Item(i)->text;
        if (!named && IsAsciiText(text)) continue;
        // Through UTF-16 even from UTF-8 to UTF-8: bytes that form no character become U+FFFD.
        bool lost = false;
        text = FromUtf16(ToUtf16(text, codePage), process, &lost);
        // A name that the process code page cannot hold is never started with another
        // name: the zero refuses the start.
        if (lost) text += '\0';
    }
}
