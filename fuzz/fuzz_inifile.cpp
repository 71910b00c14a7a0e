// Parses arbitrary bytes as an INI file, writes the document and parses that again: the
// second reading must give the same document (what the format can hold survives).
#include "foundation/vxIniFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {
// A document of bytes only: it has no file, and nothing is saved when it goes.
class TMemoryIni : public TvxIniFile {
  public:
    explicit TMemoryIni(std::string_view bytes) : TvxIniFile(std::string()) {
        LoadFromText(bytes);
        ClearFlags();
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const TMemoryIni first(std::string_view(reinterpret_cast<const char*>(data), size));
    // Names that differ only in case from an earlier one merge on reading, so a second
    // round may only lose what the first already merged: compare after one more round.
    const TMemoryIni again(first.Text());
    const TMemoryIni third(again.Text());
    if (again.Text() != third.Text()) __builtin_trap();
    return 0;
}
