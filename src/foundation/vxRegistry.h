#pragma once
// Reads of the file-type registry under the classes root (never written).

#include <string>

// The command template registered for the extension's default action (the shell key's
// default verb, else "open", else its first verb); when the classes root has none, the
// shell's association query; empty when neither knows the extension.
std::string GetAssocCommand(const std::string& extension);
