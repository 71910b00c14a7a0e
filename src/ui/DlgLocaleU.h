#pragma once
// Texts by string id: the built-in table, replaced id by id by a language file, and the
// translation of "%id%" tokens in window texts.

#include <cstdint>
#include <initializer_list>
#include <string>

// The built-in English text of the id; empty for an id the table does not hold.
std::string BuiltinString(int32_t id);

// The text for the id from section "0" of the language file, else the built-in text;
// a backslash and "n" become a line break (CR LF).
std::string LangString(const std::string& languageFile, int32_t id);

// The text with %1, %2 ... replaced by the values, in whatever order the language puts them.
std::string FillIn(std::string text, std::initializer_list<std::string> values);

// Replaces the "%id%" tokens of text by their texts ("%%" gives one "%"). mark receives
// the number of the last token that was not "%%", 0 when there was none.
std::string TranslateTokens(const std::string& text, const std::string& languageFile,
                            int32_t& mark);

// The window property that keeps the string id a window's text was translated from.
constexpr const char* LocalizeMarkProperty = "%ID%";

// Translates the window and all its descendants (Windows only). Windows marked by an
// earlier walk take the text of their mark.
void LocalizeWindow(void* window, const std::string& languageFile);
