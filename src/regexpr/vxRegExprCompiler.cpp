// The compiler: an expression text to the program of linked nodes, in a sizing pass and
// an emitting pass that make identical decisions, and the search hints.
#include "vxRegExprCompiler.h"

#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprClass.h"
#include "vxRegExprHints.h"
#include "vxRegExprLength.h"
#include "vxRegExprOps.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

using namespace vxre;

namespace {

constexpr uint32_t HasWidth = 1;
constexpr uint32_t Simple = 2;
constexpr uint32_t StartsWithRepeat = 4;
// Repeated by loop nodes only: its width varies, and it may match the empty text.
constexpr uint32_t RepeatsByLoop = 8;
// A look-ahead or look-behind: it consumes nothing and takes no quantifier.
constexpr uint32_t LookAround = 16;

constexpr int32_t Failed = -1;
constexpr const char* Metacharacters = "^$.[()|?+*\\{";

bool IsQuantifier(char c) {
    return c == '*' || c == '+' || c == '?' || c == '{';
}
bool IsFreeSpacingBlank(char c) {
    return c == 9 || c == 10 || c == 13 || c == 32;
}

// The character of the expression at p, and its width in bytes.
char32_t PatternCharAt(const char* p, bool utf8, int32_t& width) {
    if (!utf8) {
        width = 1;
        return static_cast<unsigned char>(*p);
    }
    size_t available = 0;
    while (available < 4 && p[available])
        ++available; // the text ends with a zero byte
    return CharAt(p, p + available, width);
}

// Where the last character of a run of literal text starts.
size_t LastCharStart(std::string_view run, bool utf8) {
    if (!utf8) return run.size() - 1;
    return size_t(PrevCharStart(run.data() + run.size(), run.data()) - run.data());
}

// The character that an escape such as "\t" stands for; 0 for the other letters.
char32_t ControlEscape(char letter) {
    switch (letter) {
    case 't':
        return 9;
    case 'n':
        return 10;
    case 'r':
        return 13;
    case 'f':
        return 12;
    case 'a':
        return 7;
    case 'e':
        return 27;
    default:
        return 0;
    }
}
} // namespace

TRegCompiled TvxRegCompiler::Compile(const char* text, const TvxRegSyntax& syntax,
                                     const TReport& report) {
    TvxRegCompiler compiler(syntax, report);
    TRegCompiled compiled;
    if (compiler.CompileProgram(text))
        compiled.program = std::move(compiler.built_);
    else
        compiled.error = compiler.lastError_;
    if (compiler.compileText_ && compiler.parsePos_)
        compiled.offset = int32_t(compiler.parsePos_ - compiler.compileText_);
    return compiled;
}

bool TvxRegCompiler::CompileProgram(const char* text) {
    parsePos_ = nullptr;
    compileText_ = text;
    if (!text) {
        ReportOnce(TRegError::NullArgument);
        return false;
    }
    built_ = std::make_unique<TvxRegProgram>();
    built_->syntax = syntax_;
    uint32_t flags = 0;
    // Sizing pass.
    activeModifiers_ = syntax_.modifiers;
    parsePos_ = text;
    nextGroupNumber_ = 1;
    emit_.Begin(nullptr);
    emit_.EmitByte(ProgramSignature);
    nesting_ = loopsEmitted_ = 0;
    sizingReports_ = 0;
    groupLengths_.fill(-1);
    if (ParseReg(TRegKind::Whole, flags) == Failed) return false;
    const int32_t measured = emit_.Pos();

    // Emitting pass into one block of exactly the measured size.
    built_->code = std::make_unique<uint8_t[]>(size_t(measured));
    emit_.Begin(built_->code.get());
    activeModifiers_ = syntax_.modifiers;
    parsePos_ = text;
    nextGroupNumber_ = 1;
    emit_.EmitByte(ProgramSignature);
    nesting_ = loopsEmitted_ = 0;
    groupLengths_.fill(-1);
    const bool emitted = ParseReg(TRegKind::Whole, flags) != Failed;
    [[maybe_unused]] const int32_t written = emit_.Pos();
    emit_.Begin(nullptr);
    if (!emitted) return false;
#ifndef NDEBUG
    if (written != measured) std::abort(); // the two passes must make identical decisions
#endif
    built_->size = measured;
    built_->groupCount = std::min(nextGroupNumber_, GroupSlots) - 1;
    built_->lineStops = syntax_.lineBreakSet;
    if (syntax_.pairAssigned) built_->lineStops.set(syntax_.pairHead);
    for (int c = 0; c < 256; ++c)
        if (built_->lineStops[size_t(c)]) built_->lineStopLetters += char(c);
    if (!ComputeHints(*built_, (flags & StartsWithRepeat) != 0))
        ReportOnce(TRegError::CorruptedOpcode);
    return true;
}

// The emitting pass makes the sizing pass's decisions again, and reports their errors again
// in the same order: those are told once. Only the emitting pass measures a look-behind.
void TvxRegCompiler::ReportOnce(TRegError error) {
    if (!emit_.Code())
        ++sizingReports_;
    else if (sizingReports_ > 0) {
        --sizingReports_;
        return;
    }
    lastError_ = error;
    if (report_) report_(error);
}

int32_t TvxRegCompiler::ParseReg(TRegKind kind, uint32_t& flags) {
    const uint32_t savedModifiers = activeModifiers_;
    flags = HasWidth;
    int32_t first = Failed;
    int32_t groupNumber = 0;
    const bool inParentheses = kind != TRegKind::Whole;
    if (inParentheses && ++nesting_ > MaxNesting) {
        ReportOnce(TRegError::GroupsNestedTooDeeply);
        return Failed;
    }
    if (kind == TRegKind::Capturing) {
        if (nextGroupNumber_ >= GroupSlots) {
            ReportOnce(TRegError::TooManyGroups);
            return Failed;
        }
        groupNumber = nextGroupNumber_++;
        first = emit_.EmitOp(uint8_t(opOpenBase + groupNumber));
    }
    for (bool firstAlternative = true;; firstAlternative = false) {
        if (!firstAlternative) ++parsePos_; // the vertical bar
        uint32_t branchFlags = 0;
        const int32_t branch = ParseAlternative(branchFlags);
        if (branch == Failed) return Failed;
        if (first == Failed)
            first = branch;
        else
            emit_.LinkTail(first, branch);
        if (!(branchFlags & HasWidth)) flags &= ~HasWidth;
        flags |= branchFlags & StartsWithRepeat;
        if (*parsePos_ != '|') break;
    }
    const uint8_t closerOp = kind == TRegKind::Capturing       ? uint8_t(opCloseBase + groupNumber)
                             : kind == TRegKind::Plain         ? uint8_t(opNoOp)
                             : kind == TRegKind::AssertionBody ? uint8_t(opAssertEnd)
                                                               : uint8_t(opEnd);
    const int32_t closer = emit_.EmitOp(closerOp);
    emit_.LinkTail(first, closer);
    if (emit_.Code())
        for (int32_t scan = first; scan != closer; scan += ReadInt(emit_.Code() + scan + 1))
            emit_.LinkBranchTail(scan, closer);
    if (emit_.Code() && kind == TRegKind::Capturing)
        groupLengths_[size_t(groupNumber)] =
            FixedLength(emit_.Code() + first, emit_.Code() + closer, syntax_.utf8, groupLengths_);
    if (inParentheses) {
        if (*parsePos_ != ')') {
            ReportOnce(TRegError::MissingCloseParenthesis);
            return Failed;
        }
        ++parsePos_;
        --nesting_;
    } else if (*parsePos_ != '\0') {
        ReportOnce(*parsePos_ == ')' ? TRegError::UnmatchedCloseParenthesis
                                     : TRegError::UnexpectedTextAtEnd);
        return Failed;
    }
    activeModifiers_ = savedModifiers;
    return first;
}

// "(?" and what follows: a group without a number, modifiers for the rest of the group or
// for a group of their own, an atomic group, a look-ahead or a look-behind.
int32_t TvxRegCompiler::ParseGroupExtension(uint32_t& flags) {
    const char kind = parsePos_[2];
    if (kind == ':' || kind == '>' || kind == '=' || kind == '!') {
        parsePos_ += 3;
        if (kind != ':')
            return ParseAssertion(kind == '>'   ? opAtomic
                                  : kind == '=' ? opAhead
                                                : opNotAhead,
                                  flags);
        const int32_t group = ParseReg(TRegKind::Plain, flags);
        flags = (flags & (HasWidth | StartsWithRepeat)) | RepeatsByLoop;
        return group;
    }
    if (kind == '<' && (parsePos_[3] == '=' || parsePos_[3] == '!')) {
        const bool negative = parsePos_[3] == '!';
        parsePos_ += 4;
        return ParseLookBehind(negative, flags);
    }
    const char* letters = parsePos_ + 2;
    const char* close = std::strpbrk(letters, ":)");
    const std::string_view text(letters, close ? size_t(close - letters) : std::strlen(letters));
    uint32_t modifiers = activeModifiers_;
    if (!ApplyModifierLetters(text, modifiers) || !close) {
        ReportOnce(TRegError::UnrecognizedModifier);
        return Failed;
    }
    parsePos_ = close + 1;
    if (*close == ')') {
        activeModifiers_ = modifiers; // up to the end of the enclosing group
        return emit_.EmitOp(opNoOp);
    }
    const uint32_t outside = activeModifiers_;
    activeModifiers_ = modifiers;
    const int32_t group = ParseReg(TRegKind::Plain, flags);
    activeModifiers_ = outside;
    flags = (flags & (HasWidth | StartsWithRepeat)) | RepeatsByLoop;
    return group;
}

// Whether the body of the assertion node sets groups or runs loops: only then does the
// matcher keep the state from before it.
void TvxRegCompiler::MarkStateBody(int32_t node, int32_t groupsBefore, int32_t loopsBefore) {
    if (emit_.Code())
        emit_.Code()[node + NodeHeader] =
            nextGroupNumber_ != groupsBefore || loopsEmitted_ != loopsBefore ? 1 : 0;
}

// An atomic group or a look-ahead: the node, then its body.
int32_t TvxRegCompiler::ParseAssertion(uint8_t op, uint32_t& flags) {
    const int32_t node = emit_.EmitOp(op);
    emit_.EmitByte(0);
    const int32_t groupsBefore = nextGroupNumber_, loopsBefore = loopsEmitted_;
    uint32_t bodyFlags = 0;
    if (ParseReg(TRegKind::AssertionBody, bodyFlags) == Failed) return Failed;
    MarkStateBody(node, groupsBefore, loopsBefore);
    flags = op == opAtomic ? (bodyFlags & HasWidth) | RepeatsByLoop : LookAround;
    return node;
}

// Each alternative on its own, with the length in characters that every match of it has:
// the search steps back that far and matches forward.
int32_t TvxRegCompiler::ParseLookBehind(bool negative, uint32_t& flags) {
    if (++nesting_ > MaxNesting) {
        ReportOnce(TRegError::GroupsNestedTooDeeply);
        return Failed;
    }
    const uint32_t savedModifiers = activeModifiers_;
    const int32_t node = emit_.EmitOp(negative ? opNotBehind : opBehind);
    emit_.EmitByte(0);
    const int32_t groupsBefore = nextGroupNumber_, loopsBefore = loopsEmitted_;
    for (;;) {
        const int32_t header = emit_.Pos();
        emit_.EmitInt(0);
        emit_.EmitInt(0);
        uint32_t branchFlags = 0;
        const int32_t branch = ParseAlternative(branchFlags);
        if (branch == Failed) return Failed;
        const int32_t end = emit_.EmitOp(opAssertEnd);
        emit_.LinkTail(branch, end);
        emit_.LinkBranchTail(branch, end);
        if (emit_.Code()) {
            const int32_t length =
                FixedLength(emit_.Code() + branch, emit_.Code() + end, syntax_.utf8, groupLengths_);
            if (length < 0) {
                ReportOnce(TRegError::LookBehindWithoutFixedLength);
                return Failed;
            }
            WriteInt(emit_.Code() + header, length);
            WriteInt(emit_.Code() + header + 4, emit_.Pos() - header);
        }
        if (*parsePos_ != '|') break;
        ++parsePos_;
    }
    emit_.EmitInt(-1);
    MarkStateBody(node, groupsBefore, loopsBefore);
    if (*parsePos_ != ')') {
        ReportOnce(TRegError::MissingCloseParenthesis);
        return Failed;
    }
    ++parsePos_;
    --nesting_;
    activeModifiers_ = savedModifiers;
    flags = LookAround;
    return node;
}

int32_t TvxRegCompiler::ParseAlternative(uint32_t& flags) {
    flags = 0;
    const int32_t branch = emit_.EmitOp(opBranch);
    int32_t chain = Failed;
    while (*parsePos_ != '\0' && *parsePos_ != '|' && *parsePos_ != ')') {
        uint32_t pieceFlags = 0;
        const int32_t piece = ParseQuantified(pieceFlags);
        if (piece == Failed) return Failed;
        flags |= pieceFlags & HasWidth;
        if (chain == Failed)
            flags |= pieceFlags & StartsWithRepeat;
        else
            emit_.LinkTail(chain, piece);
        chain = piece;
    }
    if (chain == Failed) emit_.EmitOp(opEmpty);
    return branch;
}

int32_t TvxRegCompiler::ParseQuantified(uint32_t& flags) {
    uint32_t atomFlags = 0;
    const int32_t atom = ParseAtom(atomFlags);
    if (atom == Failed) return Failed;
    flags = atomFlags;
    TRepeat repeat{*parsePos_, 0, UnboundedCount, false};
    if (!IsQuantifier(repeat.op)) return atom;
    if (atomFlags & LookAround) {
        ReportOnce(TRegError::LookAroundRepeated);
        return Failed;
    }
    if (!(atomFlags & HasWidth) && repeat.op != '?') {
        ReportOnce(TRegError::RepeatedOperandCouldBeEmpty);
        return atom;
    }
    if (repeat.op == '{') {
        if (!ReadBraceCounts(repeat.min, repeat.max)) return atom; // the brace starts literal text
        if (repeat.max < repeat.min) {
            ReportOnce(TRegError::RepeatMinimumAboveMaximum);
            return atom;
        }
    }
    // A possessive repeat takes all it can, in either mode.
    repeat.nonGreedy = parsePos_[1] != '+' && (parsePos_[1] == '?' || !(activeModifiers_ & ModG));
    EmitRepeat(repeat, atom, atomFlags, flags);
    ++parsePos_; // the operator, or the closing brace
    if (*parsePos_ == '?') {
        ++parsePos_;
    } else if (*parsePos_ == '+') {
        ++parsePos_;
        emit_.EmitPossessive(atom);
        flags = (flags & HasWidth) | RepeatsByLoop;
    }
    if (IsQuantifier(*parsePos_)) ReportOnce(TRegError::NestedQuantifier);
    return atom;
}

// {n}, {n,} or {n,m} at the parse position, which then is on the closing brace; false, the
// position kept, for a brace that starts no count.
bool TvxRegCompiler::ReadBraceCounts(int32_t& min, int32_t& max) {
    const char* p = parsePos_ + 1;
    if (!IsDigit(*p)) return false;
    const char* digits = p;
    while (IsDigit(*p))
        ++p;
    if (*p != '}' && *p != ',') return false;
    const auto count = [this](const char* first, const char* last) {
        if (last - first > 8) {
            ReportOnce(TRegError::RepeatCountTooBig);
            return 0;
        }
        int32_t value = 0;
        for (const char* q = first; q < last; ++q)
            value = value * 10 + (*q - '0');
        return value;
    };
    min = max = count(digits, p);
    if (*p == ',') {
        digits = ++p;
        while (IsDigit(*p))
            ++p;
        if (*p != '}') return false;
        max = p == digits ? UnboundedCount : count(digits, p);
    }
    parsePos_ = p;
    return true;
}

// The repeat of the atom at atom: a node of one character, a loop, or branches.
void TvxRegCompiler::EmitRepeat(const TRepeat& repeat, int32_t atom, uint32_t atomFlags,
                                uint32_t& flags) {
    const bool simple = (atomFlags & Simple) != 0;
    const bool byLoop = (atomFlags & RepeatsByLoop) != 0;
    const bool nonGreedy = repeat.nonGreedy;
    if (repeat.op == '{') {
        flags = repeat.max > 0 ? HasWidth | StartsWithRepeat : 0;
        if (simple)
            emit_.EmitBracesOp(atom, repeat.min, repeat.max, nonGreedy);
        else
            EmitLoop(atom, repeat.min, repeat.max, nonGreedy);
    } else if (repeat.op == '*') {
        flags = StartsWithRepeat;
        if (simple)
            emit_.InsertOp(nonGreedy ? opStarShort : opStar, atom, NodeHeader);
        else if (nonGreedy || byLoop)
            EmitLoop(atom, 0, UnboundedCount, nonGreedy);
        else
            emit_.EmitStarBranches(atom);
    } else if (repeat.op == '+') {
        flags = HasWidth | StartsWithRepeat;
        if (simple)
            emit_.InsertOp(nonGreedy ? opPlusShort : opPlus, atom, NodeHeader);
        else if (nonGreedy || byLoop)
            EmitLoop(atom, 1, UnboundedCount, nonGreedy);
        else
            emit_.EmitPlusBranches(atom);
    } else { // '?'
        flags = 0;
        if (!nonGreedy)
            emit_.EmitOptionalBranches(atom);
        else if (simple)
            emit_.EmitBracesOp(atom, 0, 1, true);
        else
            EmitLoop(atom, 0, 1, true);
    }
}

// A repeat as a loop, which the loops inside its body count under.
void TvxRegCompiler::EmitLoop(int32_t at, int32_t min, int32_t max, bool nonGreedy) {
    ++loopsEmitted_;
    emit_.EmitLoopOps(at, min, max, nonGreedy);
}

int32_t TvxRegCompiler::ParseAtom(uint32_t& flags) {
    flags = 0;
    const char c = *parsePos_;
    const bool lineMode =
        (activeModifiers_ & ModM) && (!syntax_.lineBreakLetters.empty() || syntax_.pairAssigned);
    switch (c) {
    case '\0':
    case ')':
    case '|':
        ReportOnce(TRegError::AtomExpected);
        return Failed;
    case '*':
    case '+':
    case '?':
        ReportOnce(TRegError::QuantifierFollowsNothing);
        return Failed;
    case '^':
        ++parsePos_;
        return emit_.EmitOp(lineMode ? opLineStart : opBeginText);
    case '$':
        ++parsePos_;
        return emit_.EmitOp(lineMode ? opLineEnd : opEndText);
    case '.':
        ++parsePos_;
        if (activeModifiers_ & ModS) {
            flags = HasWidth | Simple;
            return emit_.EmitOp(syntax_.utf8 ? opAnyCharU : opAnyChar);
        }
        flags = HasWidth;
        return emit_.EmitOp(syntax_.utf8 ? opAnyInLineU : opAnyInLine);
    case '[':
        ++parsePos_;
        return ParseClass(flags);
    case '(':
        return ParseParenthesised(flags);
    case '\\':
        return ParseEscape(flags);
    default:
        break;
    }
    if ((activeModifiers_ & ModX) && (IsFreeSpacingBlank(c) || c == '#')) return SkipFreeSpacing();
    return ParseLiteralRun(flags);
}

// A comment, a group with an extension, or a group that captures.
int32_t TvxRegCompiler::ParseParenthesised(uint32_t& flags) {
    if (parsePos_[1] == '?' && parsePos_[2] == '#') {
        const char* close = std::strchr(parsePos_ + 3, ')');
        if (!close) {
            ReportOnce(TRegError::UnclosedComment);
            return Failed;
        }
        parsePos_ = close + 1;
        return emit_.EmitOp(opNoOp);
    }
    if (parsePos_[1] == '?') return ParseGroupExtension(flags);
    ++parsePos_;
    uint32_t groupFlags = 0;
    const int32_t group = ParseReg(TRegKind::Capturing, groupFlags);
    if (group == Failed) return Failed;
    flags = groupFlags & (HasWidth | StartsWithRepeat);
    return group;
}

// The free-spacing mode's blanks, or a comment to the line's end: nothing.
int32_t TvxRegCompiler::SkipFreeSpacing() {
    if (IsFreeSpacingBlank(*parsePos_)) {
        while (IsFreeSpacingBlank(*parsePos_))
            ++parsePos_;
        return emit_.EmitOp(opNoOp);
    }
    while (*parsePos_ && *parsePos_ != '\r' && *parsePos_ != '\n')
        ++parsePos_;
    while (*parsePos_ == '\r' || *parsePos_ == '\n')
        ++parsePos_;
    return emit_.EmitOp(opNoOp);
}

// A backslash and what it escapes: an assertion, a class of letters, a back-reference or
// a character.
int32_t TvxRegCompiler::ParseEscape(uint32_t& flags) {
    const char e = parsePos_[1];
    if (e == '\0') {
        ReportOnce(TRegError::BackslashAtEnd);
        return Failed;
    }
    ++parsePos_; // on the escaped character
    int32_t node;
    flags = HasWidth | Simple;
    switch (e) {
    case 'A':
    case 'Z':
    case 'b':
    case 'B':
        flags = 0;
        node = emit_.EmitOp(e == 'A'   ? opBeginText
                            : e == 'Z' ? opEndText
                            : e == 'b' ? opWordEdge
                                       : opNotWordEdge);
        break;
    case 'd':
        node = emit_.EmitOp(opDigit);
        break;
    // A UTF-8 non-digit may be several bytes: a class of characters.
    case 'D':
        node = syntax_.utf8 ? EmitLetterClass("0123456789", true) : emit_.EmitOp(opNonDigit);
        break;
    case 's':
    case 'S':
        node = EmitLetterClass(syntax_.blankLetters, e == 'S');
        break;
    case 'w':
    case 'W':
        node = EmitLetterClass(syntax_.wordLetters, e == 'W');
        break;
    default:
        node = e >= '1' && e <= '9' ? EmitBackRef(e - '0', flags) : EmitEscapedCharacter();
    }
    if (node == Failed) return Failed;
    ++parsePos_; // past the escape's last character
    return node;
}

int32_t TvxRegCompiler::EmitBackRef(int32_t group, uint32_t& flags) {
    built_->usesBackRefs = true;
    const bool foldCase = (activeModifiers_ & ModI) != 0;
    if (foldCase && syntax_.utf8) {
        // The text folds alike in another width: no fixed step to count repeats by.
        const int32_t node = emit_.EmitOp(opBackRefFold);
        emit_.EmitByte(uint8_t(group));
        flags = HasWidth | RepeatsByLoop;
        return node;
    }
    const int32_t node = emit_.EmitOp(foldCase ? opBackRefCI : opBackRef);
    emit_.EmitByte(uint8_t(group));
    return node;
}

// The character of an escape such as \t, \x41 or \., as a literal.
int32_t TvxRegCompiler::EmitEscapedCharacter() {
    char32_t decoded;
    if (!DecodeEscape(decoded)) return Failed;
    std::string text;
    if (syntax_.utf8)
        AppendUtf8(text, decoded);
    else
        text = char(decoded);
    return EmitLiteral(text);
}

int32_t TvxRegCompiler::ParseLiteralRun(uint32_t& flags) {
    size_t length = std::strcspn(parsePos_, Metacharacters);
    if (length == 0) {
        if (*parsePos_ != '{') {
            ReportOnce(TRegError::EmptyLiteralRun);
            return Failed;
        }
        length =
            1 + std::strcspn(parsePos_ + 1, Metacharacters); // a brace that starts no quantifier
    }
    // The quantifier takes the last character.
    const size_t lastStart = LastCharStart({parsePos_, length}, syntax_.utf8);
    if (lastStart > 0 && IsQuantifier(parsePos_[length])) length = lastStart;
    flags = HasWidth | (LastCharStart({parsePos_, length}, syntax_.utf8) == 0 ? Simple : 0);
    const bool freeSpacing = (activeModifiers_ & ModX) != 0;
    std::string text;
    size_t i = 0;
    for (; i < length; ++i) {
        const char c = parsePos_[i];
        if (freeSpacing && c == '#') break; // the comment is the next atom
        if (freeSpacing && IsFreeSpacingBlank(c)) continue;
        text += c;
    }
    parsePos_ += i;
    return EmitLiteral(text);
}

// A literal text. With the i modifier its letters match in either case; a UTF-8 text folds
// by Unicode's rules where it has letters beyond ASCII or one of the two ASCII letters that
// have forms beyond it (k and the Kelvin sign, s and the long s).
int32_t TvxRegCompiler::EmitLiteral(std::string_view text) {
    const bool foldCase = (activeModifiers_ & ModI) != 0;
    const bool unicodeFolding =
        foldCase && syntax_.utf8 && std::any_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80 ||
                   std::string_view("kKsS").find(c) != std::string_view::npos;
        });
    std::string folded;
    if (unicodeFolding)
        for (size_t pos = 0; pos < text.size();)
            AppendUtf8(folded, FoldCase(NextUtf8(text, pos)));
    const int32_t node = emit_.EmitOp(unicodeFolding ? opExactFold
                                      : foldCase     ? opExactCI
                                                     : opExact);
    for (const char c : unicodeFolding ? std::string_view(folded) : text)
        emit_.EmitByte(uint8_t(c));
    emit_.EmitByte(0);
    return node;
}

// The character of an escape, parsePos_ at the letter after the backslash; false when the
// text ends inside it.
bool TvxRegCompiler::DecodeEscape(char32_t& result) {
    if (const char32_t control = ControlEscape(*parsePos_)) {
        result = control;
        return true;
    }
    if (*parsePos_ != 'x') {
        int32_t width;
        result = PatternCharAt(parsePos_, syntax_.utf8, width);
        parsePos_ += width - 1;
        return true;
    }
    // Two hexadecimal digits, or any number of them in braces.
    const bool braced = parsePos_[1] == '{';
    parsePos_ += braced ? 2 : 1;
    unsigned value = 0;
    for (int32_t digits = 0;; ++parsePos_, ++digits) {
        if (*parsePos_ == '\0') {
            ReportOnce(TRegError::MissingHexCode);
            return false;
        }
        if (braced && *parsePos_ == '}') break;
        // Beyond U+10FFFF in UTF-8, beyond 8 bits in an ANSI code page: the overflowing
        // digit is skipped, the brace becomes literal.
        if (braced && (syntax_.utf8 ? value > (LastCodePoint >> 4) : (value & 0xF0) != 0)) {
            ReportOnce(TRegError::HexCodeTooBig);
            break;
        }
        value = value * 16 + HexDigitValue(*parsePos_);
        if (!braced && digits == 1) break;
    }
    result = value;
    return true;
}

unsigned TvxRegCompiler::HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
    ReportOnce(TRegError::BadHexDigit);
    return 0;
}

int32_t TvxRegCompiler::EmitLetterClass(const std::string& letters, bool negative) {
    TvxRegClassWriter cls(syntax_, emit_, negative, false);
    for (unsigned char c : letters)
        cls.AddMember(c);
    return FinishClass(cls);
}

// The class's node, or Failed when it has no member.
int32_t TvxRegCompiler::FinishClass(TvxRegClassWriter& cls) {
    if (cls.Finish()) return cls.Node();
    ReportOnce(TRegError::InvalidClassRange);
    return Failed;
}

int32_t TvxRegCompiler::ParseClass(uint32_t& flags) {
    const bool negative = *parsePos_ == '^';
    if (negative) ++parsePos_;
    TvxRegClassWriter cls(syntax_, emit_, negative, (activeModifiers_ & ModI) != 0);
    TClassCursor cursor;
    if (*parsePos_ == ']') {
        cursor.Member(cls, ']');
        ++parsePos_;
    }
    while (*parsePos_ != ']' && *parsePos_ != '\0')
        if (!ParseClassItem(cls, cursor)) return Failed;
    if (*parsePos_ == '\0') {
        ReportOnce(TRegError::UnmatchedBrackets);
        return Failed;
    }
    if (FinishClass(cls) == Failed) return Failed;
    ++parsePos_;
    flags = HasWidth | Simple;
    return cls.Node();
}

// One member of a class, a range, or an escape of a class of letters.
bool TvxRegCompiler::ParseClassItem(TvxRegClassWriter& cls, TClassCursor& cursor) {
    const char c = *parsePos_;
    if (c == '-' && parsePos_[1] != '\0' && parsePos_[1] != ']' && cursor.rangeMayFollow) {
        ++parsePos_;
        return ParseClassRange(cls, cursor);
    }
    if (c == '\\') return ParseClassEscape(cls, cursor);
    int32_t width = 1;
    cursor.Member(cls, PatternCharAt(parsePos_, syntax_.utf8, width));
    parsePos_ += width;
    return true;
}

// The end of a range after its dash, and the range.
bool TvxRegCompiler::ParseClassRange(TvxRegClassWriter& cls, TClassCursor& cursor) {
    cursor.rangeMayFollow = false;
    if (*parsePos_ == '\\' && parsePos_[1] && std::strchr("dDsSwW", parsePos_[1])) {
        cls.AddMember('-'); // "a-\d": the dash is a member, the escape follows
        return true;
    }
    int32_t width = 1;
    char32_t last = PatternCharAt(parsePos_, syntax_.utf8, width);
    if (*parsePos_ == '\\') {
        if (parsePos_[1] == '\0') {
            // A range whose end is a backslash at the end.
            ReportOnce(TRegError::BackslashAtEndOfClass);
            return false;
        }
        ++parsePos_;
        if (!DecodeEscape(last)) return false;
        width = 1;
    }
    const bool alphabetRanges = (activeModifiers_ & ModR) != 0;
    if (!alphabetRanges || !cls.AddAlphabetRange(cursor.rangeStart, last)) {
        if (last < cursor.rangeStart) {
            ReportOnce(TRegError::InvalidClassRange);
            return false;
        }
        cls.AddRange(cursor.rangeStart, last);
    }
    parsePos_ += width;
    return true;
}

// \d, \s, \w and their complements, or an escaped character.
bool TvxRegCompiler::ParseClassEscape(TvxRegClassWriter& cls, TClassCursor& cursor) {
    if (parsePos_[1] == '\0') {
        ReportOnce(TRegError::BackslashAtEndOfClass);
        return false;
    }
    const char e = *++parsePos_;
    if (std::strchr("dswDSW", e)) {
        const char lower = char(e | 0x20);
        const std::string letters = lower == 'd'   ? std::string("0123456789")
                                    : lower == 's' ? syntax_.blankLetters
                                                   : syntax_.wordLetters;
        cls.AddEscapeMembers(letters, e != lower);
        cursor.rangeMayFollow = false;
    } else {
        char32_t decoded;
        if (!DecodeEscape(decoded)) return false;
        cursor.Member(cls, decoded);
    }
    ++parsePos_;
    return true;
}
