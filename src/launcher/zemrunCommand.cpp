#include "zemrunCommand.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"

#include <algorithm>

namespace {
// The item's folder without its final separator, unless it is a root (C:\ or C:); "." for
// none, the current one.
std::string FolderOf(std::string_view item) {
    const std::string folder = PathFolder(item);
    if (folder.empty()) return ".";
    const bool root =
        folder.back() == ':' || (folder.size() >= 2 && folder[folder.size() - 2] == ':');
    return root ? folder : folder.substr(0, folder.size() - 1);
}

// The text without the extension that PathExtension finds.
std::string WithoutExtension(std::string_view text) {
    return std::string(text.substr(0, text.size() - PathExtension(text).size()));
}

// A placeholder: its name between the braces, and the part of the item it stands for.
struct TPlaceholder {
    std::string_view name;
    std::string (*part)(const TItemParts& parts);
};
constexpr TPlaceholder Placeholders[] = {
    {"", [](const TItemParts& parts) { return std::string(parts.item); }},
    {".", [](const TItemParts& parts) { return WithoutExtension(parts.item); }},
    {"/", [](const TItemParts& parts) { return PathFileName(parts.item); }},
    {"//", [](const TItemParts& parts) { return FolderOf(parts.item); }},
    {"/.", [](const TItemParts& parts) { return WithoutExtension(PathFileName(parts.item)); }},
    {"#", [](const TItemParts& parts) { return std::to_string(parts.number); }},
    {"%", [](const TItemParts& parts) { return std::to_string(parts.slot); }},
};

// The placeholder of the name between braces; null for a name that is none.
const TPlaceholder* FindPlaceholder(std::string_view name) {
    for (const TPlaceholder& placeholder : Placeholders)
        if (placeholder.name == name) return &placeholder;
    return nullptr;
}

// The text with its $N group references (where there are group texts) and its
// placeholders (where there are parts) filled in, in one pass, so that neither reads the
// other's replacement.
std::string Substitute(std::string_view text, const TItemParts* parts,
                       const std::vector<std::string>* groups) {
    std::string result;
    for (size_t pos = 0; pos < text.size();) {
        if (text[pos] == '$' && groups) {
            int64_t group = 0;
            for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
                group = std::min<int64_t>(group * 10 + (text[pos] - '0'), TvxRegExpr::GroupSlots);
            // No such group gives empty text.
            if (size_t(group) < groups->size()) result += (*groups)[size_t(group)];
            continue;
        }
        const size_t close =
            text[pos] == '{' && parts ? text.find('}', pos) : std::string_view::npos;
        const TPlaceholder* placeholder =
            close == std::string_view::npos
                ? nullptr
                : FindPlaceholder(text.substr(pos + 1, close - pos - 1));
        if (placeholder) {
            result += placeholder->part(*parts);
            pos = close + 1;
            continue;
        }
        result += text[pos++];
    }
    return result;
}

// The texts of the groups of the expression's last match, 0 (the whole match) first.
std::vector<std::string> GroupTexts(const TvxRegExpr& expression) {
    std::vector<std::string> groups;
    for (int32_t group = 0; group < TvxRegExpr::GroupSlots; ++group)
        groups.push_back(expression.MatchText(group));
    return groups;
}

// The item's parts, with the expression's groups in it where there is one.
TItemParts PartsOf(std::string_view item, int32_t number, int32_t slot, TvxRegExpr* expression) {
    TItemParts parts{item, number, slot, {}};
    if (expression) {
        expression->Exec(item); // without a match every group is empty
        parts.groups = GroupTexts(*expression);
    }
    return parts;
}

// A piece filled in for one item: expanded, and quoted where it then holds a blank.
std::string FilledPiece(const std::string& piece, const TItemParts& parts, bool expression) {
    return QuoteIfBlank(
        ExpandEnvironment(Substitute(piece, &parts, expression ? &parts.groups : nullptr)));
}

// Every blank-separated piece of the parameters that holds a placeholder or (where there
// is an expression) a group reference, filled in once for every item of the command;
// with an expression the other pieces are expanded and quoted, without one they stay as
// written.
std::string SubstitutedPart(const std::string& parameters, const std::vector<TItemParts>& items,
                            bool expression) {
    if (!expression && !HoldsPlaceholder(parameters)) return parameters;
    TvxStringList pieces;
    SplitQuoted(parameters, ' ', pieces);
    std::string part;
    for (int32_t i = 0; i < pieces.Count(); ++i) {
        const std::string& piece = pieces.Strings(i);
        part += ' ';
        const bool perItem =
            HoldsPlaceholder(piece) || (expression && piece.find('$') != std::string::npos);
        if (!perItem) {
            part += expression ? FilledPiece(piece, items.front(), false) : piece;
            continue;
        }
        for (size_t item = 0; item < items.size(); ++item) {
            if (item > 0) part += ' ';
            part += FilledPiece(piece, items[item], expression);
        }
    }
    return expression ? Trim(part) : part.substr(1);
}

// The begin parameters, the registered program's, the items, the end parameters and the
// registered program's; the items only where no {} places them. With an expression the
// parameters are not trimmed: the starter trims the command.
std::string BuildParameters(const TOptions& settings, const TAssociation& association,
                            const std::vector<TItemParts>& items, bool expression) {
    std::string parameters =
        SubstitutedPart(settings.BParam, items, expression) + " " + association.begin + " ";
    if (!PlacesItem(settings.BParam) && !PlacesItem(settings.Eparam)) {
        for (const TItemParts& item : items)
            parameters += QuoteIfBlank(item.item) + " ";
    }
    parameters += SubstitutedPart(settings.Eparam, items, expression) + " " + association.end;
    return expression ? parameters : Trim(parameters);
}

// The expression of the settings, compiled at its first search; none without one.
std::unique_ptr<TvxRegExpr> MakeExpression(const TOptions& settings) {
    if (settings.RegExp.empty()) return nullptr;
    auto expression = std::make_unique<TvxRegExpr>();
    expression->SetExpression(settings.RegExp);
    expression->SwitchModifier(3, false); // "." stops at line breaks
    return expression;
}
} // namespace

TCommandBuilder::TCommandBuilder(const TOptions& settings, TAssociationLookup lookup)
    : settings_(settings), lookup_(std::move(lookup)), expression_(MakeExpression(settings)) {}

TStartCommand TCommandBuilder::Build(const TvxStringList& items, int32_t first, int32_t count,
                                     int32_t slot) {
    std::vector<TItemParts> parts;
    for (int32_t i = first; i < first + count; ++i)
        parts.push_back(PartsOf(items.Strings(i), i + 1, slot, expression_.get()));
    return Build(ProgramOf(items.Strings(first)), parts);
}

int32_t TCommandBuilder::GroupSize(const TvxStringList& items, int32_t first) {
    const int32_t most = std::min(settings_.ItemsPerCommand, items.Count() - first);
    if (most < 2) return 1;
    const TAssociation association = ProgramOf(items.Strings(first));
    // An item that the system opens by itself takes no others.
    if (settings_.Exe.empty() && association.program.empty()) return 1;
    // Sized for the widest slot number, which any of them may get.
    const int32_t slot = std::max(settings_.Jobs, 1);
    std::vector<TItemParts> parts{
        PartsOf(items.Strings(first), first + 1, slot, expression_.get())};
    while (int32_t(parts.size()) < most) {
        const int32_t next = first + int32_t(parts.size());
        if (ProgramOf(items.Strings(next)) != association) break;
        parts.push_back(PartsOf(items.Strings(next), next + 1, slot, expression_.get()));
        if (!PassesWhole(Build(association, parts))) {
            parts.pop_back();
            break;
        }
    }
    return int32_t(parts.size());
}

TStartCommand TCommandBuilder::Build(const TAssociation& association,
                                     const std::vector<TItemParts>& items) {
    TStartCommand start;
    start.shellExecute = settings_.ShellExecute;
    start.program = association.program;
    start.parameters = BuildParameters(settings_, association, items, expression_ != nullptr);
    start.noProgram = settings_.Exe.empty() && association.program.empty();
    start.window = settings_.Window;
    start.priority = settings_.Priority;
    start.contained = settings_.TimeLimit > 0;
    return start;
}

// The run's program, else the program registered for the item's extension.
TAssociation TCommandBuilder::ProgramOf(const std::string& item) {
    TAssociation association;
    if (!settings_.Exe.empty() || settings_.ShellExecute) {
        association.program = settings_.Exe;
    } else {
        const std::string extension = PathExtension(item);
        const auto cached = associations_.find(extension);
        if (cached != associations_.end()) {
            association = cached->second;
        } else if (const std::string command = Trim(lookup_(extension)); !command.empty()) {
            association = SplitAssocTemplate(TvxCommandLine(command));
            associations_.emplace(extension, association);
        }
    }
    if (!association.program.empty() && association.program == item) association.program.clear();
    return association;
}

bool TCommandBuilder::UsesSlot() const {
    return settings_.BParam.find("{%}") != std::string::npos ||
           settings_.Eparam.find("{%}") != std::string::npos;
}

// Whether the settings' expression compiles, where they have one.
std::optional<TExpressionError> ExpressionError(const TOptions& settings) {
    const std::unique_ptr<TvxRegExpr> expression = MakeExpression(settings);
    if (!expression || expression->EnsureProgram()) return std::nullopt;
    return TExpressionError{expression->ErrorText(expression->LastError()),
                            expression->CompileOffset() + 1};
}

void SplitQuoted(std::string_view text, char separator, TvxStringList& list) {
    list.Clear();
    size_t pos = 0;
    while (pos < text.size()) {
        bool quoted = false;
        const size_t start = pos;
        while (pos < text.size() && (quoted || text[pos] != separator)) {
            if (text[pos] == '"') quoted = !quoted;
            ++pos;
        }
        list.Add(std::string(text.substr(start, pos - start)));
        if (pos < text.size()) ++pos; // step past the separator
    }
}

std::string SubstituteGroups(std::string_view pattern, const TvxRegExpr& expression) {
    const std::vector<std::string> groups = GroupTexts(expression);
    return Substitute(pattern, nullptr, &groups);
}

bool HoldsPlaceholder(std::string_view text) {
    for (size_t open = text.find('{'); open != std::string_view::npos;
         open = text.find('{', open + 1)) {
        const size_t close = text.find('}', open);
        if (close == std::string_view::npos) return false;
        if (FindPlaceholder(text.substr(open + 1, close - open - 1))) return true;
    }
    return false;
}

bool PlacesItem(std::string_view parameters) {
    return parameters.find("{}") != std::string_view::npos;
}

namespace {
bool HoldsBlank(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

// The text in double quotes, read back as the one argument it is: backslashes before the
// closing quote are doubled, or the started program's C runtime would take the last of
// them for an escaped quote that swallows the rest of the command.
std::string WrapInQuotes(std::string_view text) {
    size_t backslashes = 0;
    while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\')
        ++backslashes;
    std::string quoted = "\"";
    quoted += text;
    quoted.append(backslashes, '\\');
    quoted += '"';
    return quoted;
}
} // namespace

std::string QuoteIfBlank(std::string_view text) {
    std::string trimmed = Trim(text);
    // A text of blanks only stays empty: there is nothing to quote.
    if (trimmed.empty() || trimmed.front() == '"' || !HoldsBlank(text)) return trimmed;
    return WrapInQuotes(trimmed);
}

std::string QuoteProgram(std::string_view program) {
    if (program.empty() || program.front() == '"' || !HoldsBlank(program))
        return std::string(program);
    return WrapInQuotes(program);
}

std::string CreateProcessCommand(const std::string& program, const std::string& parameters) {
    return Trim(QuoteProgram(Trim(ExpandEnvironment(Trim(program)))) + " " +
                ExpandEnvironment(parameters));
}

TShellCommand ShellCommand(const std::string& program, const std::string& parameters,
                           bool noProgram) {
    return {ExpandEnvironment(noProgram ? parameters : program),
            noProgram ? std::string() : ExpandEnvironment(parameters)};
}

std::string StarterCommand(const TStartCommand& start) {
    if (!start.shellExecute) return CreateProcessCommand(start.program, start.parameters);
    const TShellCommand shell = ShellCommand(start.program, start.parameters, start.noProgram);
    return shell.arguments.empty() ? shell.file : shell.file + " " + shell.arguments;
}

bool CanPassWhole(std::string_view command) {
    return FitsUtf16Units(command, MaxCommandLine) && command.find('\0') == std::string_view::npos;
}

bool PassesWhole(const TStartCommand& start) {
    const std::string command = StarterCommand(start);
    return CanPassWhole(command) &&
           (!start.shellExecute || FitsUtf16Units(command, ShellCommandLimit));
}

TAssociation SplitAssocTemplate(const TvxCommandLine& tokens) {
    TAssociation result;
    bool afterPlaceholder = false;
    for (int32_t i = 0; i < tokens.Count(); ++i) {
        const std::string token = ExpandEnvironment(tokens.Strings(i));
        if (i == 0) {
            result.program = token;
            continue;
        }
        if (token.size() >= 2 && token[0] == '%') {
            if (token[1] == '1') {
                afterPlaceholder = true;
                continue;
            }
            if (token[1] == '*' || (token[1] >= '0' && token[1] <= '9')) continue;
        }
        (afterPlaceholder ? result.end : result.begin) += ' ' + QuoteIfBlank(token);
    }
    result.begin = Trim(result.begin);
    result.end = Trim(result.end);
    return result;
}
