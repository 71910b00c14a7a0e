// Regular-expression throughput over the list corpus, each pattern run as the launch loop
// runs it (s modifier off, group 1 read after every search), beside std::regex
// (ECMAScript) and PCRE2's 8-bit interpreter in the same process. The engines take turns,
// five rounds each, and the best round of each counts: a shared machine's noise only ever
// slows a round down. The ASCII list is also searched with the engine reading bytes, as
// it does where the process code page is not UTF-8; the UTF-8 list (a quarter of the names
// beyond ASCII) is searched by PCRE2 in UTF mode.
#include "bench_corpus.h"
#include "regexpr/vxRegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
using TLines = std::vector<std::string>;

TLines SplitLines(const std::string& corpus) {
    TLines lines;
    size_t start = 0;
    while (start < corpus.size()) {
        const size_t end = corpus.find("\r\n", start);
        lines.push_back(corpus.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

template <typename Search> double Time(const TLines& lines, size_t& found, const Search& search) {
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

using TSearch = std::function<bool(const std::string& line, std::string& group)>;

// The engine, reading UTF-8 or bytes.
TSearch EngineSearch(const char* pattern, bool utf8) {
    auto re = std::make_shared<TvxRegExpr>();
    re->SetUtf8Mode(utf8);
    re->SetExpression(pattern);
    re->SwitchModifier(3, false);
    return [re](const std::string& line, std::string& group) {
        const bool hit = re->Exec(line);
        group = re->MatchText(1);
        return hit;
    };
}

// The subjects are valid UTF-8, so PCRE2 in UTF mode is spared its check of them.
TSearch Pcre2Search(const char* pattern, bool utf8) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    std::shared_ptr<pcre2_code> code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern),
                                                   PCRE2_ZERO_TERMINATED, utf8 ? PCRE2_UTF : 0,
                                                   &error, &offset, nullptr),
                                     pcre2_code_free);
    std::shared_ptr<pcre2_match_data> data(
        pcre2_match_data_create_from_pattern(code.get(), nullptr), pcre2_match_data_free);
    const uint32_t options = utf8 ? PCRE2_NO_UTF_CHECK : 0;
    return [code, data, options](const std::string& line, std::string& group) {
        const int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(line.data()),
                                   line.size(), 0, options, data.get(), nullptr);
        if (rc < 0) {
            group.clear();
            return false;
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        group = rc > 1 && ovector[2] != PCRE2_UNSET
                    ? line.substr(ovector[2], ovector[3] - ovector[2])
                    : "";
        return true;
    };
}

// None where ECMAScript has no such syntax (look-behind).
TSearch StdRegexSearch(const char* pattern) {
    std::shared_ptr<std::regex> standard;
    try {
        standard = std::make_shared<std::regex>(pattern, std::regex::ECMAScript);
    } catch (const std::regex_error&) {
        return nullptr;
    }
    return [standard](const std::string& line, std::string& group) {
        std::smatch m;
        const bool hit = std::regex_search(line, m, *standard);
        group = hit ? m[1].str() : std::string();
        return hit;
    };
}

void BenchList(const char* title, const std::string& corpus, bool utf8List,
               const std::vector<const char*>& patterns) {
    const TLines lines = SplitLines(corpus);
    const double megabytes = double(corpus.size()) / (1024 * 1024);
    std::printf("   %s: %zu lines, %.1f MB\n", title, lines.size(), megabytes);
    std::printf("   %-26s %12s %12s %12s %9s %9s %s\n", "pattern", "TvxRegExpr", "std::regex",
                utf8List ? "PCRE2 (UTF)" : "PCRE2", "vs std", "vs PCRE2",
                utf8List ? "" : " as bytes  UTF-8/bytes");
    for (const char* pattern : patterns) {
        // The engines take turns, round by round; std::regex is slow enough that one round tells.
        std::vector<TSearch> searches = {EngineSearch(pattern, true),
                                         Pcre2Search(pattern, utf8List), StdRegexSearch(pattern)};
        if (!utf8List) searches.push_back(EngineSearch(pattern, false));
        std::vector<double> best(searches.size(), 1e9);
        std::vector<size_t> found(searches.size(), 0);
        const bool hasStd = bool(searches[2]);
        for (int round = 0; round < 5; ++round)
            for (size_t i = 0; i < searches.size(); ++i)
                if ((round == 0 || i != 2) && searches[i])
                    best[i] = std::min(best[i], Time(lines, found[i], searches[i]));
        if (!hasStd) found[2] = found[0];
        const double ours = best[0], pcre = best[1], std = best[2];
        if (hasStd)
            std::printf("   %-26s %8.0f MB/s %8.0f MB/s %8.0f MB/s %8.2fx %8.2fx", pattern,
                        megabytes / ours, megabytes / std, megabytes / pcre, std / ours,
                        pcre / ours);
        else
            std::printf("   %-26s %8.0f MB/s %12s %8.0f MB/s %9s %8.2fx", pattern, megabytes / ours,
                        "n/a", megabytes / pcre, "", pcre / ours);
        if (!utf8List) std::printf(" %5.0f MB/s %8.2fx", megabytes / best[3], best[3] / ours);
        // std::regex reads bytes: on UTF-8 names its "." takes part of a character.
        const bool countsDiffer =
            found[0] != found[1] || (!utf8List && (found[0] != found[2] || found[0] != found[3]));
        std::printf("%s\n", countsDiffer ? "  (match counts differ!)" : "");
    }
}
} // namespace

int main(int argc, char** argv) {
    const int lineCount = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::vector<const char*> patterns = {
        "(\\w+)\\.txt", "^(.*)\\.(jpg|png)$", "(\\d{4})-(\\d{2})-(\\d{2})",
        "IMG_(\\d+)",   "zzz(\\d+)",          "^(.*)\\.(?:jpe?g|png)$",
        "(?<=_)(\\d+)"};
    BenchList("ASCII list", GenerateListCorpus(lineCount), false, patterns);
    std::vector<const char*> utf8Patterns = patterns;
    utf8Patterns.push_back("^(.)(.*)\\.(\\w+)$");
    BenchList("UTF-8 list", GenerateListCorpus(lineCount, true), true, utf8Patterns);
    std::printf(
        "   ratios: >1 means TvxRegExpr is faster (targets: vs std > 1.00, vs PCRE2 >= 1.00,\n"
        "   UTF-8/bytes >= 0.95: reading UTF-8 costs ASCII lists at most 5%%)\n");
    return 0;
}
