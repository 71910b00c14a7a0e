#pragma once
// The main dialog: every run setting with input histories, projects and the language.

#include "../settings/zemrunRunSettings.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Shows the dialog over a copy of the settings and copies it back; true when it was
// closed with OK.
bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview);

// Says that the list's encoding, by that name, is not known on this system.
void ShowUnknownEncodingMessage(HWND owner, const std::string& name);
