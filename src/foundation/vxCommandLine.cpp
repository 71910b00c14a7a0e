#include "vxCommandLine.h"

#include <memory>

TvxCommandLine::TvxCommandLine() {
    Tokenize(ProcessCommandText());
}

TvxCommandLine::TvxCommandLine(std::string_view text) {
    Tokenize(text);
}

void TvxCommandLine::Tokenize(std::string_view text) {
    Clear();
    auto isSeparator = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t pos = 0;
    for (;;) {
        while (pos < text.size() && isSeparator(text[pos]))
            ++pos;
        if (pos >= text.size()) return;
        const size_t first = pos;
        while (pos < text.size() && !isSeparator(text[pos])) {
            if (text[pos] == '"') {
                const size_t closing = text.find('"', pos + 1);
                pos = closing == std::string_view::npos ? text.size() : closing + 1;
            } else {
                ++pos;
            }
        }
        std::string_view token = text.substr(first, pos - first);
        if (token.front() == '"')
            token = token.size() >= 2 ? token.substr(1, token.size() - 2) : std::string_view();
        Add(std::string(token));
    }
}

namespace {
std::unique_ptr<TvxCommandLine>& ProcessTokens() {
    static std::unique_ptr<TvxCommandLine> tokens;
    if (!tokens) tokens = std::make_unique<TvxCommandLine>();
    return tokens;
}
} // namespace

const TvxCommandLine& ProcessArguments() {
    return *ProcessTokens();
}

int32_t ArgumentCount() {
    return ProcessTokens()->Count() - 1;
}

std::string Argument(int32_t index) {
    const TvxCommandLine& tokens = *ProcessTokens();
    if (index < 0 || index >= tokens.Count()) return {};
    return tokens.Strings(index);
}

void FinalizeCommandLine() {
    ProcessTokens().reset();
}

std::string StripQuotes(std::string_view text) {
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    return std::string(text);
}
