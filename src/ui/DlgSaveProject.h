#pragma once
// The save-as-project dialog: a name and the settings the project is to hold.

#include "../settings/zemrunRunSettings.h"

#include <windows.h>

#include <string>

// Stores the chosen fields of settings as a project when the user confirms, with its
// shortcuts and the schedule on which it runs by itself; returns the project's name, or the
// empty text when the dialog was cancelled. The name starts as given (the project that was
// loaded), with its shortcuts and schedule.
std::string SaveAsProjectDialog(HWND owner, const TOptions& settings, const std::string& name);
