// The built-in table from the same texts the resource script holds.
#include "DlgLocaleU.h"

#include "../resources/zemrunStrings.h"

std::string BuiltinString(int32_t id) {
    switch (id) {
#define ZEMRUN_STRING_CASE(id, text)                                                               \
    case id:                                                                                       \
        return text;
        ZEMRUN_STRINGS(ZEMRUN_STRING_CASE)
#undef ZEMRUN_STRING_CASE
    default:
        return {};
    }
}
