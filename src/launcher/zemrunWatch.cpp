#include "zemrunWatch.h"

#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../foundation/vxUnicodeCase.h"

#include <algorithm>

namespace {
// The names that programs give files they have not finished.
constexpr const char* UnfinishedNames[] = {"*.tmp", "*.part", "*.crdownload", "~$*"};

std::u32string FoldedCharacters(std::string_view text) {
    std::u32string folded;
    for (size_t pos = 0; pos < text.size();)
        folded.push_back(FoldCase(NextUtf8(text, pos)));
    return folded;
}

bool MatchesAny(const std::vector<std::string>& patterns, std::string_view name) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& pattern) { return WildcardMatch(pattern, name); });
}
} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    const std::u32string p = FoldedCharacters(pattern), n = FoldedCharacters(name);
    // The usual greedy match with one point to come back to: the last star.
    size_t i = 0, j = 0, star = std::u32string::npos, resume = 0;
    while (j < n.size()) {
        if (i < p.size() && (p[i] == U'?' || p[i] == n[j])) {
            ++i;
            ++j;
        } else if (i < p.size() && p[i] == U'*') {
            star = i++;
            resume = j;
        } else if (star != std::u32string::npos) {
            i = star + 1;
            j = ++resume;
        } else {
            return false;
        }
    }
    while (i < p.size() && p[i] == U'*')
        ++i;
    return i == p.size();
}

TWatchFilter::TWatchFilter(const std::string& patterns) {
    for (size_t from = 0; from <= patterns.size();) {
        size_t end = patterns.find(';', from);
        if (end == std::string::npos) end = patterns.size();
        std::string pattern = Trim(patterns.substr(from, end - from));
        if (!pattern.empty() && pattern[0] == '!') {
            pattern = Trim(pattern.substr(1));
            if (!pattern.empty()) leftOut_.push_back(std::move(pattern));
        } else if (!pattern.empty()) {
            taken_.push_back(std::move(pattern));
        }
        from = end + 1;
    }
    for (const char* unfinished : UnfinishedNames)
        leftOut_.push_back(unfinished);
}

bool TWatchFilter::Takes(const TFolderEntry& entry) const {
    if (entry.folder || entry.hidden) return false;
    const std::string name = PathFileName(entry.name);
    if (MatchesAny(leftOut_, name)) return false;
    return taken_.empty() || MatchesAny(taken_, name);
}

std::vector<std::string> TFolderWatch::Complete(const std::vector<TFolderEntry>& entries,
                                                uint64_t now, const TWriteCheck& written) {
    std::map<std::string, TSeen> seen;
    std::vector<const TFolderEntry*> complete;
    for (const TFolderEntry& entry : entries) {
        if (!filter_.Takes(entry)) continue;
        const auto before = seen_.find(entry.path);
        TSeen now_seen{entry.size, entry.writeTime, now, false};
        if (before != seen_.end() && before->second.size == entry.size &&
            before->second.writeTime == entry.writeTime)
            now_seen = before->second;
        if (!now_seen.taken && now - now_seen.since >= settle_ && written(entry.path)) {
            now_seen.taken = true;
            complete.push_back(&entry);
        }
        seen.emplace(entry.path, now_seen);
    }
    seen_ = std::move(seen);
    std::sort(complete.begin(), complete.end(), [](const TFolderEntry* a, const TFolderEntry* b) {
        return CompareLogical(a->name, b->name) < 0;
    });
    std::vector<std::string> paths;
    for (const TFolderEntry* entry : complete)
        paths.push_back(entry->path);
    return paths;
}

uint64_t TFolderWatch::MillisecondsToNextCheck(uint64_t now) const {
    uint64_t next = UINT64_MAX;
    for (const auto& [path, seen] : seen_)
        if (!seen.taken)
            next = std::min(next, seen.since + settle_ > now ? seen.since + settle_ - now : 0);
    return next;
}

std::string FreeName(const std::string& name,
                     const std::function<bool(const std::string&)>& taken) {
    if (!taken(name)) return name;
    const size_t slash = name.find_last_of("\\/");
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        dot = name.size();
    for (int number = 2;; ++number) {
        std::string free =
            name.substr(0, dot) + " (" + std::to_string(number) + ")" + name.substr(dot);
        if (!taken(free)) return free;
    }
}
