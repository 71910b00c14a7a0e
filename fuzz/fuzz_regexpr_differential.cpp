// Generates a pattern of the dialect that the engine shares with PCRE2, and an input,
// from the fuzzer's bytes, in texts of bytes or in UTF-8 as the first decision says, and
// searches with both: any difference is a finding.
#include "regexpr_pcre2.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t next = 0;
    // Each decision takes one byte; past the end every decision is the first choice.
    const TChoices choose = [&](uint32_t n) {
        return n && next < size ? uint32_t(data[next++] % n) : 0u;
    };
    const TTextKind kind = choose(2) ? TTextKind::Utf8 : TTextKind::Bytes;
    const TDifferentialCase c = GenerateDifferentialCase(choose, kind);
    std::string detail;
    if (CompareWithPcre2(c, detail) == TVerdict::Differ) {
        std::fprintf(stderr, "%s\n", detail.c_str());
        __builtin_trap();
    }
    return 0;
}
