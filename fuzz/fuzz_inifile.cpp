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
// The run's three files, memory-backed where there is such a folder, removed at exit.
struct TScratchFiles {
    const std::string base =
        std::string(PathExists("/dev/shm/") ? "/dev/shm" : "/tmp") + "/zemrun_fuzz_ini_" + std::to_string(getpid());
    ~TScratchFiles() {
        for (const char* suffix : {".ini", ".out", ".out2"}) std::remove((base + suffix).c_str());
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static const TScratchFiles scratch;
    const std::string& base = scratch.base;
    std::ofstream(base + ".ini", std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    TvxIniFile(base + ".ini").SaveToFile(base + ".out");
    TvxIniFile again(base + ".out");
    // Names that differ only in case from an earlier one merge on reading, so a second
    // round may only lose what the first already merged: compare after one more round.
    again.SaveToFile(base + ".out2");
    TvxIniFile third(base + ".out2");
    if (Describe(again) != Describe(third)) __builtin_trap();
    return 0;
}
