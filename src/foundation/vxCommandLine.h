#pragma once
// TvxCommandLine: the program's own splitting of a command text into tokens, used for
// the process's command line and for registered command templates.

#include "vxStringList.h"

#include <string>
#include <string_view>
#include <vector>

class TvxCommandLine : public TvxStringList {
  public:
    // Tokenizes the raw command text of the current process.
    TvxCommandLine();
    explicit TvxCommandLine(std::string_view text);

    // Clears the list and fills it with the tokens of text: characters up to 32
    // separate tokens, double quotes group, and a token that begins with a quote loses
    // its first and last character.
    void Tokenize(std::string_view text);
    // The text after token index, unsplit; empty outside the tokens.
    std::string_view TextAfter(int32_t index) const;

  private:
    std::string text_;
    std::vector<size_t> ends_; // where each token ends in the text
};

// The arguments of a command text as the system splits a command line for the programs it
// starts (CommandLineToArgvW, after the program's name): blanks and tabs separate, double
// quotes group, and "" inside them is one quote that ends them; 2n backslashes before a
// quote are n backslashes, 2n+1 are n and a quote that is part of the text; other
// backslashes are themselves. An unclosed quote runs to the end. A quoted argument that ends
// in a backslash keeps it, as Explorer writes a drive root: "D:\".
std::vector<std::string> SplitArguments(std::string_view text);

// The unsplit command line of the current process.
std::string ProcessCommandText();
// The full path of the program file of the current process. Argument 0 is what the
// caller typed: started by bare name from a prompt it names no folder.
std::string ProgramPath();

// The process-wide tokenizer over the process's command text, made on first use.
const TvxCommandLine& ProcessArguments();
// Tokens of the process's command text minus the program path.
int32_t ArgumentCount();
// Releases the process-wide tokenizer.
void FinalizeCommandLine();

// Removes one double quote at the end, then one at the start.
std::string StripQuotes(std::string_view text);
