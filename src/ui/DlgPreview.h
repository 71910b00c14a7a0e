#pragma once
// The preview window: the commands of a run, one a line, to read, select and copy before
// anything starts.

#include <windows.h>

#include <string>
#include <vector>

// Shows the commands; true when the user chose Run, which is offered only when withRun.
bool PreviewDialog(HWND owner, const std::vector<std::string>& commands, bool withRun);
