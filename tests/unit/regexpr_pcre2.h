#pragma once
// The engine judged against PCRE2 over the dialect both share. Patterns are generated from
// a stream of choices (random numbers in the tests, the fuzzer's bytes in its target), and
// each case is searched by both engines at exactly the positions the engine's own search
// tries, so that the comparison judges the matching itself.
//
// Dialect differences, kept out by construction:
// - `$` without the m modifier: PCRE2 also matches before a final line break; it runs
//   with PCRE2_DOLLAR_ENDONLY.
// - `^` with the m modifier: PCRE2 does not match after a final line break unless
//   PCRE2_ALT_CIRCUMFLEX is set, which it is.
// - `$` with the m modifier between the CR and the LF of a pair: the engine does not
//   match there, PCRE2 does; inputs with the m modifier hold no such pair.
// - Line breaks: CR, LF and the pair CR LF, as PCRE2_NEWLINE_ANYCRLF has them.
// - Texts of bytes: inputs are ASCII, where both fold alike, and PCRE2 runs without UTF.
// - UTF-8 texts: patterns and inputs mix ASCII, Latin-1, Latin Extended-A, Greek,
//   Cyrillic, CJK and a character beyond the Basic Multilingual Plane, with the letters
//   whose folding is not one to one (k and the Kelvin sign, s and the long s, ß and ẞ, the
//   three sigmas). PCRE2 runs with PCRE2_UTF, without PCRE2_UCP (so `\w`, `\d`, `\s` and
//   `\b` know ASCII only, as the engine's do), and with PCRE2_NO_UTF_CHECK, the inputs being
//   valid UTF-8 by construction. The r modifier's ranges of the Russian alphabet, which
//   also hold ё and Ё, are not generated.
// - `\s`: PCRE2 also counts the vertical tab; inputs hold none.
// - `{,n}`, `\A`, `\Z`, `(?#...)`, `(?letters)`, free spacing and code 0 are not
//   generated, nor `\x` in texts of bytes, where it names a byte.
// - Faults of PCRE2 10.42: its auto-possessification and start optimizations lose
//   matches that Perl finds as the engine does (c*((b)?+)^ on "c", (b|\1*)\d on "1"),
//   so it runs without them; and it takes the length of a group that holds a
//   look-around with alternatives wrongly in a look-behind (((?<!]|.))(?<=\1) on "A"), so
//   look-behind refers only to groups without look-around.
// - The g modifier off makes every quantifier non-greedy and ignores a `?` after it;
//   PCRE2 runs such patterns with PCRE2_UNGREEDY and without the `?`.
// - Patterns that the engine compiles with a reported error (a quantifier on an operand
//   that may be empty, and the like) are repaired differently by the two; such cases
//   are skipped, as are cases either engine gives up on (step or match limits, the
//   engine's ten nested active loops).

#include <cstdint>
#include <functional>
#include <string>

class TvxRegExpr;

// Applies "+x" / "-x" modifier letters (x one of "irsgmx") to the object; "+u" / "-u"
// makes it read UTF-8 or bytes.
void ApplyModifiers(TvxRegExpr& re, const std::string& modifiers);

// Gives a number below its argument; the generator's every decision is one call.
using TChoices = std::function<uint32_t(uint32_t)>;

struct TDifferentialCase {
    std::string pattern;     // as the engine reads it
    std::string pcrePattern; // the same for PCRE2
    std::string modifiers;   // as ApplyModifiers reads them
    std::string input;
};

enum class TTextKind { Bytes, Utf8 };
TDifferentialCase GenerateDifferentialCase(const TChoices& choose, TTextKind kind);

enum class TVerdict { Agree, Differ, Skipped };
// Searches with both engines; on a difference, detail describes both results.
TVerdict CompareWithPcre2(const TDifferentialCase& c, std::string& detail);
