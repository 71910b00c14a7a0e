// INI document: loading and saving 10,000 sections with 100,000 keys, against reading and
// writing the same bytes plainly.
#include "foundation/vxIniFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
} // namespace

int main() {
    const std::string folder = (std::filesystem::temp_directory_path() / "zemrun_bench_ini").string();
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/doc.ini", plainPath = folder + "/plain.ini";
    std::filesystem::remove(path);

    auto started = Clock::now();
    {
        TvxIniFile ini(path);
        for (int s = 0; s < 10000; ++s) {
            TvxIniFileSection* section = ini.AddSection("Project " + std::to_string(s));
            for (int k = 0; k < 10; ++k)
                section->AddKey("Key" + std::to_string(k), "D:\\Some Folder\\value " + std::to_string(s * 10 + k));
        }
        started = Clock::now();
        ini.Save();
    }
    const double save = Since(started);
    const std::string bytes = [&] {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }();

    started = Clock::now();
    {
        std::ofstream file(plainPath, std::ios::binary);
        file << bytes;
        file.flush();
    }
    const double plainWrite = Since(started);

    started = Clock::now();
    int32_t keys = 0;
    {
        TvxIniFile ini(path);
        for (int32_t s = 0; s < ini.SectionCount(); ++s) keys += ini.Sections(s)->KeyCount();
    }
    const double load = Since(started);

    started = Clock::now();
    size_t lines = 0;
    {
        std::ifstream file(plainPath, std::ios::binary);
        const std::string read((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        for (char c : read) lines += c == '\n';
    }
    const double plainRead = Since(started);

    std::printf("   %zu bytes, 10000 sections, %d keys (%zu lines)\n", bytes.size(), keys, lines);
    std::printf("   load %.3f s vs plain read %.3f s (%.1fx); save %.3f s vs plain write %.3f s (%.1fx)\n", load,
                plainRead, load / plainRead, save, plainWrite, save / plainWrite);
    std::filesystem::remove_all(folder);
    return 0;
}
