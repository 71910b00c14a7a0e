#include "vxUnicodeCase.h"

#include <algorithm>
#include <iterator>

namespace {
// Characters first, first + step, ... up to last fold to themselves plus distance.
struct TFoldRun {
    char32_t first;
    char32_t last;
    int32_t distance;
    int32_t step;
};
#include "vxUnicodeCaseTable.inc"

const TFoldRun* RunHolding(char32_t c) {
    const auto after =
        std::upper_bound(std::begin(FoldRuns), std::end(FoldRuns), c,
                         [](char32_t value, const TFoldRun& run) { return value < run.first; });
    if (after == std::begin(FoldRuns)) return nullptr;
    const TFoldRun* run = std::prev(after);
    return c <= run->last && (c - run->first) % char32_t(run->step) == 0 ? run : nullptr;
}
} // namespace

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    const TFoldRun* run = RunHolding(c);
    return run ? char32_t(int32_t(c) + run->distance) : c;
}

char32_t OtherCase(char32_t c) {
    const char32_t folded = FoldCase(c);
    if (folded != c) return folded;
    char32_t other = c;
    ForEachCaseFolding([&](char32_t from, char32_t to) {
        if (to == c && (other == c || from < other)) other = from;
    });
    return other;
}

void ForEachCaseFolding(const std::function<void(char32_t c, char32_t folded)>& visit) {
    for (const TFoldRun& run : FoldRuns)
        for (char32_t c = run.first; c <= run.last; c += char32_t(run.step))
            visit(c, char32_t(int32_t(c) + run.distance));
}
