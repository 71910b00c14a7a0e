#pragma once
// Unicode's simple case folding: every character maps to one folded character, and two
// characters are the same letter in another case when they fold alike. Full folding's
// one-to-many mappings (ß to "ss") are not part of it, so ß, ẞ and "ss" stay apart, while
// K, k and the Kelvin sign, or s, S and the long s, are one letter each.

#include <functional>

// The folded form of a character; itself when it has none.
char32_t FoldCase(char32_t c);
// A character that folds like c but is not c (the capital of a small letter, and so on);
// c itself when there is none. Of several, the folded form comes first, then the lowest.
char32_t OtherCase(char32_t c);
// Calls visit(c, folded) for every character whose folded form is another character.
void ForEachCaseFolding(const std::function<void(char32_t c, char32_t folded)>& visit);
