// Compiles an expression and searches a short input with it: first byte modifiers (and
// its highest bit bytes instead of UTF-8), then the expression, a zero byte, and the
// input, which need not be valid UTF-8. The step bound ends searches that backtrack
// without end, well inside the time limit.
#include "regexpr/vxRegExpr.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = all.find('\0');
    if (split == std::string::npos) return 0;
    const std::string pattern = all.substr(0, split), input = all.substr(split + 1);
    if (pattern.size() > 256 || input.size() > 64) return 0;
    TvxRegExpr re;
    re.SetStepLimit(2000000);
    for (int bit = 0; bit < 6; ++bit)
        re.SwitchModifier(bit + 1, (data[0] >> bit) & 1);
    re.SetUtf8Mode(!(data[0] & 0x80));
    re.SetExpression(pattern);
    if (re.Exec(input)) {
        for (int n = 0; n < TvxRegExpr::GroupSlots; ++n) {
            const int pos = re.MatchPos(n);
            if (pos >= 0 && (pos + re.MatchLen(n) > int(input.size()))) __builtin_trap();
        }
    }
    return 0;
}
