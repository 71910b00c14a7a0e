#pragma once
// Texts by string id: the built-in table, replaced id by id by a language file.

#include <cstdint>
#include <string>

// The built-in English text of the id; empty for an id the table does not hold.
std::string BuiltinString(int32_t id);

// The text for the id from the language file, or the built-in text.
std::string LangString(const std::string& languageFile, int32_t id);
