// List loading: TvxStringList::LoadFromFile against a plain read-and-split loop over the
// same file. Each mode runs in its own process so that its peak memory can be read.
//   bench_lists generate FILE   writes 1,000,000 list-like lines (~50 MB, CR LF)
//   bench_lists generate-utf8 FILE    the same with non-ASCII names in one line of four
//   bench_lists generate-utf16 FILE   those lines in UTF-16LE with a byte-order mark
//   bench_lists generate-lf FILE      the ASCII lines with Unix line ends
//   bench_lists load FILE       loads with TvxStringList
//   bench_lists stdin -         the same over standard input, read whole first, as /L:-
//   bench_lists plain FILE      reads the whole file and splits it into std::strings at
//                               the line end of its first line
// The two measuring modes print: seconds=<s> peak_kb=<kB over the idle process> lines=<n>
#include "bench_corpus.h"
#include "foundation/vxFileUtils.h"
#include "foundation/vxStringList.h"
#include "foundation/vxTextCodec.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace {
// The process's peak memory: the resident set natively, the working set under Windows.
long PeakKb() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return long(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

void Generate(const char* kind, const char* path) {
    const bool ascii = std::strcmp(kind, "generate") == 0 || std::strcmp(kind, "generate-lf") == 0;
    std::string out = GenerateListCorpus(1000000, !ascii);
    if (std::strcmp(kind, "generate-utf16") == 0)
        out = "\xFF\xFE" + FromUtf16(ToUtf16(out, codepage::Utf8), codepage::Utf16LE);
    if (std::strcmp(kind, "generate-lf") == 0) std::erase(out, '\r');
    std::ofstream(path, std::ios::binary) << out;
    std::printf("bytes=%zu\n", out.size());
}

size_t LoadWithList(const char* path) {
    TvxStringList list;
    list.LoadFromFile(path);
    return size_t(list.Count());
}

size_t LoadStandardInput() {
    TvxStringList list;
    list.LoadFromText(ReadStandardInput());
    return size_t(list.Count());
}

size_t LoadPlain(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const size_t first = bytes.find('\n');
    const std::string lineEnd =
        first != std::string::npos && first > 0 && bytes[first - 1] == '\r' ? "\r\n" : "\n";
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find(lineEnd, start);
        if (end == std::string::npos) end = bytes.size();
        lines.emplace_back(bytes, start, end - start);
        start = end + lineEnd.size();
    }
    return lines.size();
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(
            stderr,
            "usage: bench_lists "
            "generate|generate-utf8|generate-utf16|generate-lf|load|plain FILE | stdin -\n");
        return 2;
    }
    if (std::strncmp(argv[1], "generate", 8) == 0) {
        Generate(argv[1], argv[2]);
        return 0;
    }
    const long idle = PeakKb();
    const auto started = std::chrono::steady_clock::now();
    const size_t lines = std::strcmp(argv[1], "load") == 0    ? LoadWithList(argv[2])
                         : std::strcmp(argv[1], "stdin") == 0 ? LoadStandardInput()
                                                              : LoadPlain(argv[2]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("seconds=%.4f peak_kb=%ld lines=%zu\n", seconds, PeakKb() - idle, lines);
    return 0;
}
