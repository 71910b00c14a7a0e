#include "zemrunCommand.h"

#include "../foundation/vxArguments.h"
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
    {"%0", [](const TItemParts& parts) { return std::to_string(parts.slot - 1); }},
};

// The placeholder of the name between braces; null for a name that is none.
const TPlaceholder* FindPlaceholder(std::string_view name) {
    for (const TPlaceholder& placeholder : Placeholders)
        if (placeholder.name == name) return &placeholder;
    return nullptr;
}

// One text of a filled-in piece: the user's own, or one of the item's (a placeholder's or a
// group's), which is written for the program that reads the command.
struct TPieceText {
    std::string text;
    bool item = false;
};
using TPieceTexts = std::vector<TPieceText>;

void AddPieceText(TPieceTexts& texts, std::string_view text, bool item) {
    if (!item && !texts.empty() && !texts.back().item)
        texts.back().text += text;
    else
        texts.push_back({std::string(text), item});
}

std::string Joined(const TPieceTexts& texts) {
    std::string joined;
    for (const TPieceText& text : texts)
        joined += text.text;
    return joined;
}

// The text with its $N group references (where there are group texts) and its
// placeholders (where there are parts) filled in, in one pass, so that neither reads the
// other's replacement.
TPieceTexts Substitute(std::string_view text, const TItemParts* parts,
                       const std::vector<std::string>* groups) {
    TPieceTexts texts;
    for (size_t pos = 0; pos < text.size();) {
        if (text[pos] == '$' && groups) {
            int64_t group = 0;
            for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
                group = std::min<int64_t>(group * 10 + (text[pos] - '0'), TvxRegExpr::GroupSlots);
            // No such group gives empty text.
            if (size_t(group) < groups->size()) AddPieceText(texts, (*groups)[size_t(group)], true);
            continue;
        }
        const size_t close =
            text[pos] == '{' && parts ? text.find('}', pos) : std::string_view::npos;
        const TPlaceholder* placeholder =
            close == std::string_view::npos
                ? nullptr
                : FindPlaceholder(text.substr(pos + 1, close - pos - 1));
        if (placeholder) {
            AddPieceText(texts, placeholder->part(*parts), true);
            pos = close + 1;
            continue;
        }
        AddPieceText(texts, text.substr(pos++, 1), false);
    }
    return texts;
}

// The value of the environment variable of that name, where one is set.
std::optional<std::string> EnvironmentValue(std::string_view name) {
    if (name.empty() || name.find_first_of(std::string_view("%\0", 2)) != std::string_view::npos)
        return std::nullopt;
    std::string reference = "%";
    reference += name;
    reference += '%';
    std::string value = ExpandEnvironment(reference);
    if (value == reference) return std::nullopt;
    return value;
}

// The texts with their %NAME% references expanded after the groups and placeholders are
// filled in, as the system expands a text (a % that opens no reference stays, and the next
// may open one), where the item's own % signs count only where it expands: a list line's
// do, a name's never, so that %X_{/.}% takes the variable that the name chooses but a file
// called %OS%.txt stays so. An expanded reference is the user's text.
TPieceTexts Expanded(const TPieceTexts& texts, bool itemExpands) {
    if (std::none_of(texts.begin(), texts.end(), [](const TPieceText& piece) {
            return piece.text.find('%') != std::string::npos;
        }))
        return texts;
    std::string text;
    std::vector<bool> fromItem;
    for (const TPieceText& piece : texts) {
        text += piece.text;
        fromItem.insert(fromItem.end(), piece.text.size(), piece.item);
    }
    const auto delimits = [&](size_t pos) {
        return text[pos] == '%' && (itemExpands || !fromItem[pos]);
    };
    TPieceTexts expanded;
    for (size_t pos = 0; pos < text.size();) {
        size_t close = pos + 1;
        while (delimits(pos) && close < text.size() && !delimits(close))
            ++close;
        if (!delimits(pos) || close >= text.size()) {
            AddPieceText(expanded, text.substr(pos, 1), fromItem[pos]);
            ++pos;
            continue;
        }
        if (const auto value =
                EnvironmentValue(std::string_view(text).substr(pos + 1, close - pos - 1))) {
            AddPieceText(expanded, *value, false);
            pos = close + 1;
            continue;
        }
        for (; pos < close; ++pos)
            AddPieceText(expanded, text.substr(pos, 1), fromItem[pos]);
    }
    return expanded;
}

// The user's own text, expanded.
std::string ExpandedText(const std::string& text) {
    return Joined(Expanded({{text, false}}, true));
}

// The texts of the groups of the expression's last match, 0 (the whole match) first.
std::vector<std::string> GroupTexts(const TvxRegExpr& expression) {
    std::vector<std::string> groups;
    for (int32_t group = 0; group < TvxRegExpr::GroupSlots; ++group)
        groups.push_back(expression.MatchText(group));
    return groups;
}

// A list line that begins with a double quote is a piece of command line that its author
// quoted ("a b" -x): it is written as it stands, for every program.
bool QuotedByItsAuthor(const TItemParts& parts) {
    const std::string line = parts.name ? std::string() : Trim(parts.item);
    return !line.empty() && line.front() == '"';
}

// Writes the texts of items into a command for the program that reads it, and remembers an
// item that cmd cannot be given whole. A list line's environment references are expanded,
// as lists have always been read; a name from the file system is never expanded, since a
// file may well be called %OS%.txt.
class TItemWriter {
  public:
    explicit TItemWriter(TCommandReader reader) : reader_(reader) {}
    // The item where it stands by itself between the parameters.
    std::string Item(const TItemParts& parts);
    // A blank-separated piece of the user's parameters, filled in for the item.
    std::string Piece(const TPieceTexts& filled, const TItemParts& parts);
    bool Refused() const { return refused_; }

  private:
    std::string ForCmd(std::optional<std::string> written);
    std::string CmdPiece(const TPieceTexts& texts);

    TCommandReader reader_;
    bool refused_ = false;
};

std::string TItemWriter::ForCmd(std::optional<std::string> written) {
    if (!written) refused_ = true;
    return written.value_or(std::string());
}

std::string TItemWriter::Item(const TItemParts& parts) {
    if (parts.name) {
        return reader_ == TCommandReader::Cmd ? ForCmd(CmdArgument(parts.item))
                                              : ProgramArgument(parts.item);
    }
    // A line is trimmed and quoted where it holds a blank, as lines have always been.
    const std::string line = ExpandedText(std::string(parts.item));
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || QuotedByItsAuthor(parts)) return QuoteIfBlank(line);
    if (reader_ == TCommandReader::Cmd)
        return CmdTakesAsItIs(trimmed) ? QuoteIfBlank(line) : ForCmd(CmdArgument(trimmed));
    return trimmed.find('"') == std::string::npos ? QuoteIfBlank(line) : ProgramArgument(trimmed);
}

std::string TItemWriter::Piece(const TPieceTexts& filled, const TItemParts& parts) {
    TPieceTexts texts = Expanded(filled, !parts.name);
    const bool fromItem =
        std::any_of(texts.begin(), texts.end(), [](const TPieceText& text) { return text.item; });
    if (fromItem && !QuotedByItsAuthor(parts)) {
        if (reader_ == TCommandReader::Cmd) return CmdPiece(texts);
        for (TPieceText& text : texts)
            if (text.item) text.text = EscapeQuotes(text.text);
    }
    return QuoteIfBlank(Joined(texts));
}

// For cmd the item's texts are quoted where they need it: the whole piece where the user's
// text around them holds nothing of cmd's own, else each where it stands, inside the
// quotes that the user opened or in quotes of its own, so that the user's > or & stays
// what the user meant.
std::string TItemWriter::CmdPiece(const TPieceTexts& texts) {
    bool userSyntax = false;
    bool itemNeedsQuotes = false;
    for (const TPieceText& text : texts) {
        if (text.item)
            itemNeedsQuotes = itemNeedsQuotes || !CmdTakesAsItIs(text.text);
        else
            userSyntax = userSyntax || HoldsCmdSyntax(text.text);
    }
    if (!userSyntax) {
        const std::string joined = Joined(texts);
        return itemNeedsQuotes ? ForCmd(CmdArgument(joined)) : QuoteIfBlank(joined);
    }
    std::string piece;
    bool inQuotes = false;
    for (const TPieceText& text : texts) {
        if (!text.item) {
            inQuotes = (std::count(text.text.begin(), text.text.end(), '"') % 2 == 1) != inQuotes;
            piece += text.text;
        } else if (inQuotes) {
            piece += ForCmd(CmdQuotedText(text.text));
        } else {
            piece += CmdTakesAsItIs(text.text) ? text.text : ForCmd(CmdArgument(text.text));
        }
    }
    return piece;
}

// Every blank-separated piece of the parameters that holds a placeholder or (where there
// is an expression) a group reference, filled in once for every item of the command;
// with an expression the other pieces are expanded and quoted, without one they are
// expanded.
std::string SubstitutedPart(const std::string& parameters, const std::vector<TItemParts>& items,
                            bool expression, TItemWriter& writer) {
    if (!expression && !HoldsPlaceholder(parameters)) return ExpandedText(parameters);
    TvxStringList pieces;
    SplitQuoted(parameters, ' ', pieces);
    std::string part;
    for (int32_t i = 0; i < pieces.Count(); ++i) {
        const std::string& piece = pieces.Strings(i);
        part += ' ';
        const bool perItem =
            HoldsPlaceholder(piece) || (expression && piece.find('$') != std::string::npos);
        if (!perItem) {
            part += expression ? QuoteIfBlank(ExpandedText(piece)) : ExpandedText(piece);
            continue;
        }
        for (size_t item = 0; item < items.size(); ++item) {
            if (item > 0) part += ' ';
            const TItemParts& parts = items[item];
            part += writer.Piece(Substitute(piece, &parts, expression ? &parts.groups : nullptr),
                                 parts);
        }
    }
    return expression ? Trim(part) : part.substr(1);
}

// The begin parameters, the registered program's, the items, the end parameters and the
// registered program's; the items only where no {} places them. With an expression the
// parameters are not trimmed: the starter trims the command.
std::string BuildParameters(const TOptions& settings, const TAssociation& association,
                            const std::vector<TItemParts>& items, bool expression,
                            TItemWriter& writer) {
    std::string parameters =
        SubstitutedPart(settings.BParam, items, expression, writer) + " " + association.begin + " ";
    if (!PlacesItem(settings.BParam) && !PlacesItem(settings.Eparam)) {
        for (const TItemParts& item : items)
            parameters += writer.Item(item) + " ";
    }
    parameters +=
        SubstitutedPart(settings.Eparam, items, expression, writer) + " " + association.end;
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

TCommandBuilder::TCommandBuilder(const TOptions& settings, TAssociationLookup lookup,
                                 std::string keptOutputPrefix)
    : settings_(settings), lookup_(std::move(lookup)),
      keptOutputPrefix_(std::move(keptOutputPrefix)), expression_(MakeExpression(settings)) {}

TStartCommand TCommandBuilder::Build(const TRunItems& items, int32_t first, int32_t count,
                                     int32_t slot, int32_t attempt) {
    std::vector<TItemParts> parts;
    for (int32_t i = first; i < first + count; ++i)
        parts.push_back(Parts(items, i, slot));
    TStartCommand start = Build(ProgramOf(items[size_t(first)].text), parts);
    PlaceOutput(start, first + 1, attempt, int32_t(items.size()));
    return start;
}

// The item's parts, with the expression's groups in it where there is one: searched once
// for the item, since the size of its command and its command for each slot and each try
// ask for them again.
TItemParts TCommandBuilder::Parts(const TRunItems& items, int32_t index, int32_t slot) {
    const TRunItem& item = items[size_t(index)];
    TItemParts parts{item.text, index + 1, slot, {}, item.name};
    if (!expression_) return parts;
    auto found = groups_.find(index);
    if (found == groups_.end()) {
        // Those of the items that run now, not those of a whole list.
        if (groups_.size() >= MaxKeptSearches) groups_.clear();
        expression_->Exec(item.text); // without a match every group is empty
        found = groups_.emplace(index, GroupTexts(*expression_)).first;
    }
    parts.groups = found->second;
    return parts;
}

// The shell starter has no handles to give a program: only process creation keeps output.
void TCommandBuilder::PlaceOutput(TStartCommand& start, int32_t item, int32_t attempt,
                                  int32_t itemCount) const {
    if (start.shellExecute) return;
    if (!settings_.OutputFolder.empty()) {
        start.output = OutputFileName(settings_.OutputFolder, item, attempt, itemCount);
        return;
    }
    // The output of programs that run at once would mix where the face passes it on.
    if (settings_.Jobs < 2 || keptOutputPrefix_.empty()) return;
    start.keepOutput = true;
    const std::string name =
        keptOutputPrefix_ + std::to_string(item) + "-" + std::to_string(attempt);
    start.output = name + ".out";
    start.errorOutput = name + ".err";
}

int32_t TCommandBuilder::GroupSize(const TRunItems& items, int32_t first) {
    const int32_t most = std::min(settings_.ItemsPerCommand, int32_t(items.size()) - first);
    if (most < 2) return 1;
    const TAssociation association = ProgramOf(items[size_t(first)].text);
    // An item that the system opens by itself takes no others.
    if (settings_.Exe.empty() && association.program.empty()) return 1;
    // Sized for the widest slot number, which any of them may get.
    const int32_t slot = std::max(settings_.Jobs, 1);
    std::vector<TItemParts> parts{Parts(items, first, slot)};
    // An item that cmd cannot be given fails alone.
    if (Build(association, parts).refusal) return 1;
    while (int32_t(parts.size()) < most) {
        const size_t next = size_t(first) + parts.size();
        if (ProgramOf(items[next].text) != association) break;
        parts.push_back(Parts(items, int32_t(next), slot));
        const TStartCommand start = Build(association, parts);
        if (start.refusal || !PassesWhole(start)) {
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
    TItemWriter writer(ReaderOf(ExpandEnvironment(association.program)));
    start.parameters =
        BuildParameters(settings_, association, items, expression_ != nullptr, writer);
    if (writer.Refused()) start.refusal = UnpassableItemError;
    start.noProgram = settings_.Exe.empty() && association.program.empty();
    start.window = settings_.Window;
    start.priority = settings_.Priority;
    // In a job of its own, a program is ended with everything it started.
    start.contained = settings_.TimeLimit > 0 || settings_.MemFree > 0;
    // The variables take the placeholders of the command's first item, unquoted: they
    // reach the program as they are.
    for (const std::string& entry : settings_.Environment)
        start.environment.push_back(
            Joined(Expanded(Substitute(entry, &items.front(), nullptr), !items.front().name)));
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
    for (const std::string* parameters : {&settings_.BParam, &settings_.Eparam})
        if (parameters->find("{%}") != std::string::npos ||
            parameters->find("{%0}") != std::string::npos)
            return true;
    return false;
}

// Whether the settings' expression compiles, where they have one.
std::optional<TExpressionError> ExpressionError(const TOptions& settings) {
    const std::unique_ptr<TvxRegExpr> expression = MakeExpression(settings);
    if (!expression || expression->EnsureProgram()) return std::nullopt;
    return TExpressionError{std::string(RegErrorText(expression->LastError())),
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
    return Joined(Substitute(pattern, nullptr, &groups));
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
    return Trim(QuoteProgram(Trim(ExpandEnvironment(Trim(program)))) + " " + parameters);
}

TShellCommand ShellCommand(const std::string& program, const std::string& parameters,
                           bool noProgram) {
    if (noProgram) return {parameters, std::string()};
    return {ExpandEnvironment(program), parameters};
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

std::string OutputFileName(const std::string& folder, int32_t item, int32_t attempt,
                           int32_t itemCount) {
    const int width = std::max<int>(5, int(std::to_string(itemCount).size()));
    std::string name = std::to_string(item);
    name.insert(0, size_t(std::max<int>(0, width - int(name.size()))), '0');
    if (attempt > 1) {
        name += '-';
        name += std::to_string(attempt);
    }
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += PathDelimiter;
    return path + name + ".txt";
}
