#include "regexpr_pcre2.h"

#include "regexpr/vxRegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <memory>
#include <vector>

void ApplyModifiers(TvxRegExpr& re, const std::string& modifiers) {
    static const std::string letters = "irsgmx";
    bool on = true;
    for (char c : modifiers) {
        if (c == '+' || c == '-') {
            on = c == '+';
            continue;
        }
        if (c == 'u') {
            re.SetUtf8Mode(on);
            continue;
        }
        re.SwitchModifier(int32_t(letters.find(c)) + 1, on);
    }
}

namespace {

const char* const Quantifiers[] = {"*", "+", "?", "{2}", "{1,2}", "{0,3}", "{2,}", "{0,1}"};
const char* const ModifierSets[] = {"", "-g", "-s", "+i", "+m", "-g-s", "+i+m", "-g+m"};
constexpr uint32_t MaxGroups = 9;

// What patterns and inputs are made of; the first four literals and the first atoms are
// the same for both.
struct TAlphabet {
    std::vector<std::string> literals, atoms, letters, fixed; // fixed: one character each
};
const TAlphabet& AlphabetOf(TTextKind kind) {
    static const TAlphabet bytes{
        {"a", "b", "c", "ab", "\\."},
        {".", "[ab]", "[^a]", "[a-c]", "\\d", "\\w", "\\s", "\\W", "\\b", "\\B", "^", "$", "[\\W]",
         "[\\S\\d]"},
        {"a", "b", "c", "1", " ", "_", "\r", "\n", ".", "A", "B", "-"},
        {".", "[ab]", "[^a]", "\\d", "\\w", "\\W", "[\\D]", "[\\s\\S]", "[\\W1]"}};
    static const TAlphabet utf8{
        {"a", "b", "c", "ab", "\\.", "é", "Жё", "東京", "🎵", "k", "ſ", "ß", "Σ", "ė", "\\x{e9}",
         "\\x{1F3B5}", "\\xE9"},
        {".",    "[ab]",  "[^a]",   "[a-c]",  "\\d",
         "\\w",  "\\s",   "\\W",    "\\b",    "\\B",
         "^",    "$",     "\\D",    "\\S",    "[é-ж]",
         "[^é]", "[а-е]", "[東京]", "[^東🎵]", "[\\x{100}-\\x{17F}]",
         "[k]",  "[^s]",  "[ßσ]",   "[à-ÿ]",  "[^\\x{1F000}-\\x{1FFFF}]"},
        {"a",  "b", "1", " ", "_", "\r", "\n", ".", "A", "-", "é", "É", "ж", "Ж", "ё", "東",
         "京", "🎵", "k", "K", "K", "s",  "S",  "ſ", "ß", "ẞ", "σ", "ς", "Σ", "Ė", "ė"},
        {".", "[ab]", "[^é]", "\\d", "\\w", "\\S", "[東京]", "[\\D]", "[\\Wa]", "[\\s\\S]"}};
    return kind == TTextKind::Utf8 ? utf8 : bytes;
}

// Builds the pattern twice at once: as the engine reads it and as PCRE2 does, which
// differ only in the `?` after a quantifier when every quantifier is non-greedy. Every
// part tells whether it always consumes a character, by the engine's rules; only such
// operands get a quantifier other than `?`.
class TGenerator {
  public:
    TGenerator(const TChoices& choose, const TAlphabet& alphabet, bool ungreedy)
        : choose_(choose), alphabet_(alphabet), ungreedy_(ungreedy) {}
    bool Alternation(int depth) {
        const uint32_t count = 1 + choose_(depth ? 3 : 2);
        bool width = true;
        for (uint32_t i = 0; i < count; ++i) {
            if (i) Add("|");
            width = Sequence(depth, depth == 0 || choose_(4) != 0) && width;
        }
        return width;
    }
    std::string ours, pcre;

  private:
    void Add(const std::string& text) {
        ours += text;
        pcre += text;
    }
    bool Sequence(int depth, bool nonEmpty) {
        const uint32_t pieces = (nonEmpty ? 1 : 0) + choose_(3);
        bool width = false;
        for (uint32_t i = 0; i < pieces; ++i)
            width = Piece(depth) || width;
        return width;
    }
    bool Piece(int depth) {
        const bool width = Atom(depth);
        // PCRE2 takes no quantifier after an assertion.
        if (choose_(3) == 0 || assertion_) return width;
        const char* quantifier = width ? Quantifiers[choose_(std::size(Quantifiers))] : "?";
        Add(quantifier);
        const uint32_t mode = choose_(4);
        if (mode == 0) ours += "?", pcre += ungreedy_ ? "" : "?";
        if (mode == 1) Add("+"); // possessive
        // The engine's rule: braces whose maximum is above 0 count as consuming.
        return quantifier[0] == '+' || (quantifier[0] == '{' && width);
    }
    bool Atom(int depth) {
        assertion_ = false;
        switch (choose_(depth < 2 ? 8 : 4)) {
        case 0:
        case 1:
            Add(Pick(alphabet_.literals));
            return true;
        case 2: {
            const std::string atom = Pick(alphabet_.atoms);
            Add(atom);
            assertion_ = atom == "\\b" || atom == "\\B" || atom == "^" || atom == "$";
            return !assertion_;
        }
        case 3:
            // To any group begun so far, its own included.
            if (opened_ > 0) {
                Add("\\" + std::to_string(1 + choose_(opened_)));
                return true;
            }
            Add(alphabet_.literals[0]);
            return true;
        case 4:
        case 5:
            return Group(depth);
        case 6:
            return LookAround(depth);
        default:
            return Group(depth);
        }
    }
    // A group that captures, or one without a number, with modifiers, or atomic.
    bool Group(int depth) {
        static const char* const openers[] = {"(", "(", "(?:", "(?i:", "(?-i:", "(?>"};
        const std::string opener = openers[choose_(std::size(openers))];
        if (opener == "(" && opened_ >= MaxGroups) {
            Add(alphabet_.literals[1]);
            return true;
        }
        if (opener == "(") open_.push_back(++opened_);
        Add(opener);
        const bool width = Alternation(depth + 1);
        Add(")");
        if (opener == "(") open_.pop_back();
        assertion_ = false;
        return width;
    }
    bool LookAround(int depth) {
        static const char* const openers[] = {"(?=", "(?!", "(?<=", "(?<!"};
        const std::string opener = openers[choose_(std::size(openers))];
        for (const uint32_t group : open_)
            holdsLookAround_[group] = true;
        Add(opener);
        if (opener[2] == '<') {
            // Each alternative of a fixed length: literals and one-character atoms.
            for (uint32_t i = 0, count = 1 + choose_(2); i < count; ++i) {
                if (i) Add("|");
                for (uint32_t j = 0, pieces = 1 + choose_(3); j < pieces; ++j) {
                    const uint32_t kind = choose_(5);
                    // A reference counts with its group's length, where that is fixed.
                    // PCRE2 takes that length wrongly for a group that holds a look-around
                    // with alternatives (((?<!]|.))(?<=\1) finds nothing on "A").
                    const uint32_t group = opened_ > 0 ? 1 + choose_(opened_) : 0;
                    if (kind == 0 && group && !holdsLookAround_[group])
                        Add("\\" + std::to_string(group));
                    else
                        Add(kind < 3 ? Pick(alphabet_.literals) : Pick(alphabet_.fixed));
                }
            }
        } else {
            Alternation(depth + 1);
        }
        Add(")");
        assertion_ = true;
        return false;
    }

    const std::string& Pick(const std::vector<std::string>& from) {
        return from[choose_(uint32_t(from.size()))];
    }

    const TChoices& choose_;
    const TAlphabet& alphabet_;
    const bool ungreedy_;
    uint32_t opened_ = 0;
    std::vector<uint32_t> open_; // the groups not yet closed
    bool holdsLookAround_[MaxGroups + 1] = {};
    bool assertion_ = false; // the last atom was one
};

class TRecordingRegExpr : public TvxRegExpr {
  public:
    bool reported = false;
    void ReportError(TRegError) override { reported = true; }
};

struct TPcre2 {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    pcre2_match_context* context = nullptr;
    ~TPcre2() {
        pcre2_match_context_free(context);
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};

uint32_t Pcre2Options(const std::string& modifiers) {
    TvxRegExpr probe;
    ApplyModifiers(probe, modifiers);
    const uint32_t mask = probe.ModifierMask();
    // Without the optimizations that, in some patterns with possessive repeats or with a
    // back-reference inside its own group, lose matches that Perl finds (c*((b)?+)^ on "c",
    // (b|\1*)\d on "1").
    uint32_t options = PCRE2_NO_AUTO_POSSESS | PCRE2_NO_START_OPTIMIZE;
    if (probe.Utf8Mode()) options |= PCRE2_UTF;
    if (mask & TvxRegExpr::ModI) options |= PCRE2_CASELESS;
    if (mask & TvxRegExpr::ModS) options |= PCRE2_DOTALL;
    if (!(mask & TvxRegExpr::ModG)) options |= PCRE2_UNGREEDY;
    options |=
        (mask & TvxRegExpr::ModM) ? PCRE2_MULTILINE | PCRE2_ALT_CIRCUMFLEX : PCRE2_DOLLAR_ENDONLY;
    return options;
}

bool CompilePcre2(const std::string& pattern, const std::string& modifiers, TPcre2& compiled) {
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    compiled.code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                  Pcre2Options(modifiers), &error, &offset, context);
    pcre2_compile_context_free(context);
    if (!compiled.code) return false;
    compiled.data = pcre2_match_data_create_from_pattern(compiled.code, nullptr);
    compiled.context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(compiled.context, 1000000);
    return true;
}

// The positions where the engine's search makes an attempt, by its search hints.
std::vector<size_t> AttemptPositions(const TvxRegExpr& re, const std::string& input) {
    const auto& program = re.Program();
    if (!program) return {};
    if (!program->MustText().empty() && input.find(program->MustText()) == std::string::npos)
        return {};
    if (program->anchored) return {0};
    std::vector<size_t> positions;
    for (size_t p = 0; p < input.size(); ++p) {
        const auto c = static_cast<unsigned char>(input[p]);
        if (program->firstLiteral ? c == program->firstLiteral : program->startSet.test(c))
            positions.push_back(p);
    }
    return positions;
}

std::string Describe(bool found, const std::vector<int>& groups) {
    if (!found) return "no match";
    std::string text;
    for (size_t n = 0; n < groups.size(); n += 2)
        text += (n ? " " : "") + std::to_string(groups[n]) + "," + std::to_string(groups[n + 1]);
    return text;
}

} // namespace

TDifferentialCase GenerateDifferentialCase(const TChoices& choose, TTextKind kind) {
    TDifferentialCase c;
    const TAlphabet& alphabet = AlphabetOf(kind);
    c.modifiers = std::string(kind == TTextKind::Utf8 ? "+u" : "-u") +
                  ModifierSets[choose(std::size(ModifierSets))];
    TGenerator generator(choose, alphabet, c.modifiers.find("-g") != std::string::npos);
    generator.Alternation(0);
    c.pattern = generator.ours;
    c.pcrePattern = generator.pcre;
    const uint32_t length = choose(13);
    for (uint32_t i = 0; i < length; ++i) {
        const std::string& letter = alphabet.letters[choose(uint32_t(alphabet.letters.size()))];
        // With the m modifier, `$` between the CR and the LF of a pair differs.
        if (!(letter == "\n" && !c.input.empty() && c.input.back() == '\r' &&
              c.modifiers.find("+m") != std::string::npos))
            c.input += letter;
    }
    return c;
}

TVerdict CompareWithPcre2(const TDifferentialCase& c, std::string& detail) {
    TRecordingRegExpr ours;
    ApplyModifiers(ours, c.modifiers);
    ours.SetStepLimit(1000000);
    ours.SetExpression(c.pattern);
    const bool found = ours.Exec(c.input);
    if (!ours.Compiled() || ours.reported || ours.Abandoned()) return TVerdict::Skipped;
    TPcre2 pcre;
    if (!CompilePcre2(c.pcrePattern, c.modifiers, pcre)) return TVerdict::Skipped;

    bool pcreFound = false;
    for (const size_t p : AttemptPositions(ours, c.input)) {
        if (ours.Utf8Mode() && (static_cast<unsigned char>(c.input[p]) & 0xC0) == 0x80) {
            detail =
                "pattern " + c.pattern + " on \"" + c.input + "\": an attempt inside a character";
            return TVerdict::Differ;
        }
        const int rc =
            pcre2_match(pcre.code, reinterpret_cast<PCRE2_SPTR>(c.input.data()), c.input.size(), p,
                        PCRE2_ANCHORED | PCRE2_NO_UTF_CHECK, pcre.data, pcre.context);
        if (rc > 0) {
            pcreFound = true;
            break;
        }
        if (rc != PCRE2_ERROR_NOMATCH) return TVerdict::Skipped;
    }
    std::vector<int> oursGroups, pcreGroups;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(pcre.data);
    const uint32_t pairs = pcre2_get_ovector_count(pcre.data);
    for (int32_t n = 0; n < TvxRegExpr::GroupSlots; ++n) {
        const int pos = ours.MatchPos(n);
        oursGroups.push_back(pos);
        oursGroups.push_back(pos < 0 ? -1 : pos + ours.MatchLen(n));
        const bool set = pcreFound && uint32_t(n) < pairs && ovector[2 * n] != PCRE2_UNSET;
        pcreGroups.push_back(set ? int(ovector[2 * n]) : -1);
        pcreGroups.push_back(set ? int(ovector[2 * n + 1]) : -1);
    }
    if (found == pcreFound && (!found || oursGroups == pcreGroups)) return TVerdict::Agree;
    detail = "pattern " + c.pattern + " (PCRE2 " + c.pcrePattern + ") with \"" + c.modifiers +
             "\" on \"" + c.input + "\": engine " + Describe(found, oursGroups) + "; PCRE2 " +
             Describe(pcreFound, pcreGroups);
    return TVerdict::Differ;
}
