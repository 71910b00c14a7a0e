#pragma once
// Reads of the file-type registry under the classes root (never written).

#include <string>

// The command template registered for the extension's default action, or empty
// when any step of the lookup fails.
std::string GetAssocCommand(const std::string& extension);
