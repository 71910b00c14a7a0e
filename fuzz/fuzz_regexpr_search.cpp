// Compiles an expression and searches a short input with it: first byte modifiers, then
// the expression, a zero byte, and the input. Inputs whose expressions could take
// exponential time (many or nested quantifiers, long texts) are skipped as uninteresting.
#include "regexpr/vxRegExpr.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {
// A quantified group that holds a quantifier or a back-reference itself backtracks
// exponentially (or, with the non-greedy loop rules, without end) by the matching rules;
// such inputs test nothing new and only time out.
bool NestsQuantifiers(const std::string& pattern) {
    std::string innerQuantified; // per open group: whether it holds a quantifier
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            // A back-reference, or a hexadecimal escape that gives code 0, may match the
            // empty string: a quantified group holding one can repeat without moving,
            // which the matcher follows until its stack limit.
            const char escaped = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
            if (((escaped >= '1' && escaped <= '9') || escaped == 'x') && !innerQuantified.empty())
                innerQuantified.back() = 'y';
            ++i;
            continue;
        }
        if (c == '(') innerQuantified.push_back('n');
        if (c == ')' && !innerQuantified.empty()) {
            const bool held = innerQuantified.back() == 'y';
            innerQuantified.pop_back();
            const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
            if (held && (next == '*' || next == '+' || next == '?' || next == '{')) return true;
            if (held && !innerQuantified.empty()) innerQuantified.back() = 'y';
        }
        if ((c == '*' || c == '+' || c == '?' || c == '{') && !innerQuantified.empty()) innerQuantified.back() = 'y';
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = all.find('\0');
    if (split == std::string::npos) return 0;
    const std::string pattern = all.substr(0, split), input = all.substr(split + 1);
    const auto quantifiers = std::count_if(pattern.begin(), pattern.end(),
                                           [](char c) { return c == '*' || c == '+' || c == '?' || c == '{'; });
    if (pattern.size() > 64 || input.size() > 16 || quantifiers > 4 || NestsQuantifiers(pattern)) return 0;
    TvxRegExpr re;
    re.SetStackLimit(64 << 20); // a loop that does not move ends there, well inside the time limit
    for (int bit = 0; bit < 6; ++bit) re.SwitchModifier(bit + 1, (data[0] >> bit) & 1);
    re.SetExpression(pattern);
    if (re.Exec(input)) {
        for (int n = 0; n < TvxRegExpr::GroupSlots; ++n) {
            const int pos = re.MatchPos(n);
            if (pos >= 0 && (pos + re.MatchLen(n) > int(input.size()))) __builtin_trap();
        }
    }
    return 0;
}
