#pragma once
// The summary of a run's failed items, shown where the progress window was: a line with
// how the run went, the items with their tries, reasons and output files, and the choice
// to run them again, open an item's output, copy the items or close.

#include <windows.h>

#include <string>
#include <vector>

struct TFailureRow {
    std::string item, tries, reason, output; // output: empty where none is kept
};

// Shows the rows, at the top left corner given where there is one (else centred); true
// when the user chose Run failed again. The window's size is kept in the options.
bool FailuresDialog(const POINT* at, const std::string& status,
                    const std::vector<TFailureRow>& rows);
