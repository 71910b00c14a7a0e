// Compiles arbitrary expressions under every modifier set the first byte chooses, as UTF-8
// or as bytes by its highest bit. Debug builds also check that the sizing pass measures
// exactly what the emitting pass writes.
#include "regexpr/vxRegExpr.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 2048) return 0;
    TvxRegExpr re;
    for (int bit = 0; bit < 6; ++bit)
        re.SwitchModifier(bit + 1, (data[0] >> bit) & 1);
    re.SetUtf8Mode(!(data[0] & 0x80));
    re.SetExpression(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    re.EnsureProgram();
    return 0;
}
