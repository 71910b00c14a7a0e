#pragma once
// Shortcuts (.lnk files) written through the shell's own link object, so that names
// beyond the legacy code page survive.

#include <string>

// Writes the shortcut at path (replacing one that is there): target started with
// arguments, showing the first icon of iconFile. False when the shell refuses.
bool WriteShortcut(const std::string& path, const std::string& target, const std::string& arguments,
                   const std::string& iconFile);
// The program that the shortcut at path starts; empty when it is no shortcut the shell reads.
std::string ShortcutTarget(const std::string& path);
