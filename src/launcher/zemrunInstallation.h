#pragma once
// What the installer asks of the installed program (/INSTALL, /UNINSTALL), and what a user
// of the zip may ask the same way: its folder on the user's PATH, and, when it goes, the
// traces it left in the user's profile (its Send To and Startup shortcuts, its scheduled
// tasks). The settings and projects stay.

#include <cstdint>
#include <string>
#include <vector>

// A PATH value with the folder as its last entry, unless an entry names it already (in any
// case, quoted or with a trailing backslash); the other entries as they were.
std::string PathWithFolder(const std::string& path, const std::string& folder);
// A PATH value without the entries that name the folder.
std::string PathWithoutFolder(const std::string& path, const std::string& folder);

// Puts the program's folder on the user's PATH (HKCU\Environment) and tells the running
// programs; the system's error number, 0 when done.
uint32_t InstallForUser(const std::string& program);
// Takes the folder off the user's PATH, and removes the Send To and Startup shortcuts that
// start a program of the folder and the tasks of the Task Scheduler's folder that zemrun
// registers in (the projects' tasks, named so, where the folder cannot be listed); the first
// error met, 0 when all is done.
uint32_t UninstallForUser(const std::string& program, const std::string& taskFolder,
                          const std::vector<std::string>& taskNames);
