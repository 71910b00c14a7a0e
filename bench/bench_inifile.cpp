// INI document: loading and saving 10,000 sections with 100,000 keys, and loading one
// section of 100,000 keys, against reading and writing the same bytes plainly.
#include "foundation/vxIniFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct LoadTimes {
    double load = 0, plainRead = 0;
    int32_t keys = 0;
    size_t lines = 0;
};

// Loads the file as a document, then reads and splits the same bytes plainly.
LoadTimes MeasureLoad(const std::string& path) {
    LoadTimes times;
    auto started = Clock::now();
    {
        TvxIniFile ini(path);
        for (int32_t s = 0; s < ini.SectionCount(); ++s)
            times.keys += ini.Sections(s)->KeyCount();
    }
    times.load = Since(started);
    started = Clock::now();
    {
        std::ifstream file(path, std::ios::binary);
        const std::string read((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        for (char c : read)
            times.lines += c == '\n';
    }
    times.plainRead = Since(started);
    return times;
}

// One section holding every key, as a hand-made or generated file may have.
void MeasureOneBigSection(const std::string& path) {
    {
        std::ofstream file(path, std::ios::binary);
        file << "[Big]\r\n";
        for (int k = 0; k < 100000; ++k)
            file << "Key" << k << "=D:\\Some Folder\\value " << k << "\r\n";
    }
    const LoadTimes times = MeasureLoad(path);
    std::printf("   one section, %d keys: load %.3f s vs plain read %.3f s (%.1fx)\n", times.keys,
                times.load, times.plainRead, times.load / times.plainRead);
}
} // namespace

int main() {
    const std::string folder =
        (std::filesystem::temp_directory_path() / "zemrun_bench_ini").string();
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/doc.ini", plainPath = folder + "/plain.ini";
    std::filesystem::remove(path);

    auto started = Clock::now();
    {
        TvxIniFile ini(path);
        for (int s = 0; s < 10000; ++s) {
            TvxIniFileSection* section = ini.AddSection("Project " + std::to_string(s));
            for (int k = 0; k < 10; ++k)
                section->AddKey("Key" + std::to_string(k),
                                "D:\\Some Folder\\value " + std::to_string(s * 10 + k));
        }
        started = Clock::now();
        ini.Save();
    }
    const double save = Since(started);
    const std::string bytes = [&] {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    }();

    started = Clock::now();
    {
        std::ofstream file(plainPath, std::ios::binary);
        file << bytes;
        file.flush();
    }
    const double plainWrite = Since(started);

    const LoadTimes times = MeasureLoad(path);
    std::printf("   %zu bytes, 10000 sections, %d keys (%zu lines)\n", bytes.size(), times.keys,
                times.lines);
    std::printf(
        "   load %.3f s vs plain read %.3f s (%.1fx); save %.3f s vs plain write %.3f s (%.1fx)\n",
        times.load, times.plainRead, times.load / times.plainRead, save, plainWrite,
        save / plainWrite);
    MeasureOneBigSection(plainPath);
    std::filesystem::remove_all(folder);
    return 0;
}
