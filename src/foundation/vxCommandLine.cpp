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
    text_ = text;
    ends_.clear();
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
        ends_.push_back(pos);
    }
}

std::string_view TvxCommandLine::TextAfter(int32_t index) const {
    if (index < 0 || size_t(index) >= ends_.size()) return {};
    return std::string_view(text_).substr(ends_[size_t(index)]);
}

namespace {
bool IsArgumentSeparator(char c) {
    return c == ' ' || c == '\t';
}

// Appends the run of backslashes at pos and what it does to a quote after it; pos ends
// after what was taken.
void TakeBackslashes(std::string_view text, size_t& pos, bool& quoted, std::string& argument) {
    size_t count = 0;
    while (pos + count < text.size() && text[pos + count] == '\\')
        ++count;
    const size_t after = pos + count;
    if (after >= text.size() || text[after] != '"') {
        argument.append(count, '\\');
        pos = after;
        return;
    }
    const bool ends = after + 1 >= text.size() || IsArgumentSeparator(text[after + 1]);
    if (count % 2 && quoted && ends) {
        // A path that ends in a backslash, not a quote inside the argument.
        argument.append(count, '\\');
        quoted = false;
        pos = after + 1;
        return;
    }
    argument.append(count / 2, '\\');
    pos = after;
    if (count % 2) {
        argument += '"';
        ++pos;
    }
}

// In a run of quotes every third one, counting the one that opened the argument's quoted
// part, is a quote of the text; the run leaves the part open after one more.
void TakeQuotes(std::string_view text, size_t& pos, bool& quoted, std::string& argument) {
    int count = quoted ? 1 : 0;
    for (; pos < text.size() && text[pos] == '"'; ++pos)
        if (++count == 3) {
            argument += '"';
            count = 0;
        }
    quoted = count == 1;
}
} // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> arguments;
    size_t pos = 0;
    for (;;) {
        while (pos < text.size() && IsArgumentSeparator(text[pos]))
            ++pos;
        if (pos >= text.size()) return arguments;
        std::string argument;
        bool quoted = false;
        while (pos < text.size() && (quoted || !IsArgumentSeparator(text[pos]))) {
            if (text[pos] == '\\')
                TakeBackslashes(text, pos, quoted, argument);
            else if (text[pos] == '"')
                TakeQuotes(text, pos, quoted, argument);
            else
                argument += text[pos++];
        }
        arguments.push_back(std::move(argument));
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

void FinalizeCommandLine() {
    ProcessTokens().reset();
}

std::string StripQuotes(std::string_view text) {
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    return std::string(text);
}
