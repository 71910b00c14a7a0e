// Regular-expression throughput over the list corpus, each pattern run as the launch loop
// runs it (s modifier off, group 1 read after every search), beside std::regex
// (ECMAScript) and PCRE2's 8-bit interpreter in the same process. The three take turns,
// five rounds each, and the best round of each counts: a shared machine's noise only
// ever slows a round down.
#include "bench_corpus.h"
#include "regexpr/vxRegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

std::vector<std::string> SplitLines(const std::string& corpus) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < corpus.size()) {
        const size_t end = corpus.find("\r\n", start);
        lines.push_back(corpus.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

template <typename Search> double Time(const std::vector<std::string>& lines, size_t& found, Search search) {
    found = 0;
    size_t checksum = 0;
    const auto started = Clock::now();
    for (const std::string& line : lines) {
        std::string group;
        if (search(line, group)) ++found;
        checksum += group.size();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (checksum == size_t(-1)) std::puts(""); // keeps the group reads
    return seconds;
}
} // namespace

int main(int argc, char** argv) {
    const int lineCount = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::string corpus = GenerateListCorpus(lineCount);
    const std::vector<std::string> lines = SplitLines(corpus);
    const double megabytes = double(corpus.size()) / (1024 * 1024);
    std::printf("   corpus: %zu lines, %.1f MB\n", lines.size(), megabytes);
    std::printf("   %-26s %12s %12s %12s %9s %9s\n", "pattern", "TvxRegExpr", "std::regex", "PCRE2", "vs std", "vs PCRE2");
    const char* patterns[] = {"(\\w+)\\.txt", "^(.*)\\.(jpg|png)$", "(\\d{4})-(\\d{2})-(\\d{2})", "IMG_(\\d+)",
                              "zzz(\\d+)"};
    for (const char* pattern : patterns) {
        size_t foundOurs = 0, foundStd = 0, foundPcre = 0;
        TvxRegExpr re;
        re.SetExpression(pattern);
        re.SwitchModifier(3, false);
        const std::regex standard(pattern, std::regex::ECMAScript);
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &error,
                                         &offset, nullptr);
        pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
        double ours = 1e9, std = 1e9, pcre = 1e9;
        for (int round = 0; round < 5; ++round) {
            ours = std::min(ours, Time(lines, foundOurs, [&](const std::string& line, std::string& group) {
                const bool hit = re.Exec(line);
                group = re.MatchText(1);
                return hit;
            }));
            // std::regex is slow enough that one round tells.
            if (round == 0)
                std = Time(lines, foundStd, [&](const std::string& line, std::string& group) {
                    std::smatch m;
                    const bool hit = std::regex_search(line, m, standard);
                    group = hit ? m[1].str() : std::string();
                    return hit;
                });
            pcre = std::min(pcre, Time(lines, foundPcre, [&](const std::string& line, std::string& group) {
                const int rc =
                    pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0, 0, data, nullptr);
                if (rc < 0) {
                    group.clear();
                    return false;
                }
                const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
                group = rc > 1 && ovector[2] != PCRE2_UNSET ? line.substr(ovector[2], ovector[3] - ovector[2]) : "";
                return true;
            }));
        }
        pcre2_match_data_free(data);
        pcre2_code_free(code);

        std::printf("   %-26s %8.0f MB/s %8.0f MB/s %8.0f MB/s %8.2fx %8.2fx%s\n", pattern, megabytes / ours,
                    megabytes / std, megabytes / pcre, std / ours, pcre / ours,
                    foundOurs == foundStd && foundOurs == foundPcre ? "" : "  (match counts differ!)");
    }
    std::printf("   ratios: >1 means TvxRegExpr is faster (targets: vs std > 1.00, vs PCRE2 >= 0.80)\n");
    return 0;
}
