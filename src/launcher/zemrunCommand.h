#pragma once
// How settings and an item become a command: the program (the run's, or the one registered
// for the item's extension), the parameters with the expression's groups, environment
// references and quotes, and the text that each starter passes on. Nothing here starts
// anything, so the preview and the run build the same commands.

#include "../foundation/vxCommandLine.h"
#include "../regexpr/vxRegExpr.h"
#include "../settings/zemrunRunSettings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One command as the starters take it.
struct TStartCommand {
    bool shellExecute = false;
    std::string program;
    std::string parameters;
    bool noProgram = false; // the shell opens the item itself
    int32_t window = 1;     // the show command
    int32_t priority = 0;   // the priority class: 1 shifted left by priority + 5
    // In a job of its own, so that ending it ends every process it started.
    bool contained = false;
    // The file that gets its standard output and error, with the null device as its
    // input; empty: it inherits nothing. Process creation only.
    std::string output;
    // The file of its standard error where it is not the output file's.
    std::string errorOutput;
    // Where several programs run at once and the face passes their output on: the output
    // and error files keep it while it runs, for the face to pass on whole when it ends.
    bool keepOutput = false;
    // Not to be started: the system's error number that its try fails with
    // (UnpassableItemError); 0 for a command to start.
    uint32_t refusal = 0;
    // NAME=value of the variables that its program gets besides this process's
    // environment; an empty value takes one away.
    std::vector<std::string> environment;
};

// An item of a run: a line of the list (standard input's too), or a name from the file
// system: after /A, from a wildcard, dropped on the main dialog or arrived in a watched
// folder. A line's %NAME% references are expanded; a name reaches the program as it is.
struct TRunItem {
    std::string text;
    bool name = false;
};
using TRunItems = std::vector<TRunItem>;

// The error of an item that cmd cannot be given whole (a line break or a zero character in
// it), the system's "One or more arguments are not correct".
constexpr uint32_t UnpassableItemError = 160;

void SplitQuoted(std::string_view text, char separator, TvxStringList& list);
// Replaces every $N by the text of group N of the expression's last match.
std::string SubstituteGroups(std::string_view pattern, const TvxRegExpr& expression);

// What the placeholders of the begin and end parameters stand for: {} the item, {.} the
// item without its extension, {/} its file name, {//} its folder (without a final separator
// unless it is a root; "." for none), {/.} the file name without its extension, {#} the
// item's number in the list, from 1, {%} the job slot the program runs in, from 1, and
// {%0} the same from 0 (as devices count). Braces around anything else stay as written.
struct TItemParts {
    std::string_view item;
    int32_t number = 1;
    int32_t slot = 1;
    std::vector<std::string> groups; // the texts of the expression's groups, where there is one
    bool name = false;               // a name from the file system, never expanded
};
bool HoldsPlaceholder(std::string_view text);
// Whether {} places the item in the parameters, so that it does not stand between them.
bool PlacesItem(std::string_view parameters);
// Trims the text and puts it in double quotes when it holds a blank or a tab and does
// not begin with a quote already.
std::string QuoteIfBlank(std::string_view text);
// The program part of a command: quoted when it holds a blank or a tab, so that Windows
// does not try "C:\Program.exe" for "C:\Program Files\...".
std::string QuoteProgram(std::string_view program);
// The command line of process creation: the program with its environment references
// replaced and quoted where needed, then the parameters, which the builder wrote whole.
std::string CreateProcessCommand(const std::string& program, const std::string& parameters);
// What the shell is given: the file (the item itself when there is no program) and the
// arguments; the program's environment references replaced, nothing else expanded.
struct TShellCommand {
    std::string file;
    std::string arguments;
};
TShellCommand ShellCommand(const std::string& program, const std::string& parameters,
                           bool noProgram);
// The command as its starter passes it on: the job log's and the preview's text.
std::string StarterCommand(const TStartCommand& start);

// Windows refuses longer command lines (in UTF-16 units): its limit of 32,767 counts the
// terminating zero. Some of its emulations start the program with a cut one instead, so
// they are refused on every system.
constexpr size_t MaxCommandLine = 32766;
// A command reaches its program whole: not too long and without a zero byte, which would
// cut it there.
bool CanPassWhole(std::string_view command);
// What the shell passes on reliably (in UTF-16 units); some of its paths cut longer ones.
constexpr size_t ShellCommandLimit = 2048;
// Whether the starter passes the command whole: a shell command also within its limit.
bool PassesWhole(const TStartCommand& start);

// A registered command template split around its %1 placeholder.
struct TAssociation {
    std::string program;
    std::string begin;
    std::string end;
    bool operator==(const TAssociation&) const = default;
};
TAssociation SplitAssocTemplate(const TvxCommandLine& tokens);

// The command template registered for an extension; empty when there is none.
using TAssociationLookup = std::function<std::string(const std::string& extension)>;

// The file that keeps the output of the item's try (both from 1) in the folder: the item
// number with at least five digits, the try from the second on, so that the names sort in
// list order.
std::string OutputFileName(const std::string& folder, int32_t item, int32_t attempt,
                           int32_t itemCount);

// Builds the commands of one run's settings, item after item. The registered program is
// looked up once per extension text; the expression compiles at its first search. Every
// text from an item is written for the program that reads the command line (cmd for cmd
// and batch scripts, else the program's C runtime), so that it arrives as one argument and
// runs nothing; the user's own parameters keep their meaning, operators and all.
class TCommandBuilder {
  public:
    // Where the face passes the output of programs that run at once on, keptOutputPrefix
    // starts the names of the files that keep it meanwhile.
    TCommandBuilder(const TOptions& settings, TAssociationLookup lookup,
                    std::string keptOutputPrefix = {});
    // How many items from first on (0-based) share one command: up to the settings' items
    // per command, consecutive ones that get the same program, as many as the starter
    // passes whole; always at least one.
    int32_t GroupSize(const TRunItems& items, int32_t first);
    // The whole command of count items from first on, for that try (from 1) in that job
    // slot (from 1): its window, priority, containment and the files of its output come
    // from the settings.
    TStartCommand Build(const TRunItems& items, int32_t first, int32_t count, int32_t slot,
                        int32_t attempt = 1);
    // Whether the parameters name the job slot, so that a command depends on it.
    bool UsesSlot() const;
    // The settings' expression, for the bounds of its searches; none without one.
    TvxRegExpr* Expression() const { return expression_.get(); }

  private:
    TItemParts Parts(const TRunItems& items, int32_t index, int32_t slot);
    TAssociation ProgramOf(const std::string& item);
    TStartCommand Build(const TAssociation& association, const std::vector<TItemParts>& items);
    void PlaceOutput(TStartCommand& start, int32_t item, int32_t attempt, int32_t itemCount) const;

    const TOptions& settings_;
    TAssociationLookup lookup_;
    std::string keptOutputPrefix_;
    const std::unique_ptr<TvxRegExpr> expression_;
    // Extension texts with their split templates; those without one are asked again.
    std::map<std::string, TAssociation> associations_;
    static constexpr size_t MaxKeptSearches = 4096;
    std::unordered_map<int32_t, std::vector<std::string>> groups_; // by item index
};

// Why the settings' expression does not compile: the error's text and the 1-based
// position in the expression where the compile stopped. Nothing where it compiles or
// where there is none.
struct TExpressionError {
    std::string text;
    int32_t position = 0;
};
std::optional<TExpressionError> ExpressionError(const TOptions& settings);
