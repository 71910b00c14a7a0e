#pragma once
// TvxCommandLine: the program's own splitting of a command text into tokens, used for
// the process's command line and for registered command templates.

#include "vxStringList.h"

#include <string>
#include <string_view>

class TvxCommandLine : public TvxStringList {
  public:
    // Tokenizes the raw command text of the current process.
    TvxCommandLine();
    explicit TvxCommandLine(std::string_view text);

    // Clears the list and fills it with the tokens of text: characters up to 32
    // separate tokens, double quotes group, and a token that begins with a quote loses
    // its first and last character.
    void Tokenize(std::string_view text);
};

// The unsplit command line of the current process.
std::string ProcessCommandText();
// The full path of the program file of the current process. Argument 0 is what the
// caller typed: started by bare name from a prompt it names no folder.
std::string ProgramPath();

// The process-wide tokenizer over the process's command text, made on first use.
const TvxCommandLine& ProcessArguments();
// Tokens of the process's command text minus the program path.
int32_t ArgumentCount();
// Token i of the process's command text; empty outside the tokens.
std::string Argument(int32_t index);
// Releases the process-wide tokenizer.
void FinalizeCommandLine();

// Removes one double quote at the end, then one at the start.
std::string StripQuotes(std::string_view text);
