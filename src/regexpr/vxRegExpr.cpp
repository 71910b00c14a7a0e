#include "vxRegExpr.h"

#include "../foundation/vxStrUtils.h"
#include "vxRegExprOps.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace vxre;

namespace {

constexpr uint32_t HasWidth = 1;
constexpr uint32_t Simple = 2;
constexpr uint32_t StartsWithRepeat = 4;

constexpr int32_t Failed = -1;
constexpr const char* Metacharacters = "^$.[()|?+*\\{";

// By default the backtracking stack may not grow beyond this many bytes. Lines of 10 MB
// take up to about 1.6 GB with the common patterns in a 64-bit build, two thirds of that
// in a 32-bit one, whose whole address space is 2 GB.
constexpr size_t DefaultStackLimit = sizeof(void*) >= 8 ? size_t(3) << 30 : size_t(1) << 30;

bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsFreeSpacingBlank(char c) { return c == 9 || c == 10 || c == 13 || c == 32; }

unsigned char SystemFlipCase(void*, unsigned char c) {
    const unsigned char upper = AnsiUpperChar(c);
    return upper != c ? upper : AnsiLowerChar(c);
}

const unsigned char CyrLowerRun[33] = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xB8, 0xE6, 0xE7, 0xE8, 0xE9,
                                       0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4,
                                       0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};
const unsigned char CyrUpperRun[33] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xA8, 0xC6, 0xC7, 0xC8, 0xC9,
                                       0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4,
                                       0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF};

// Marks the frame of a one-character star counted at once.
constexpr int32_t CharStarFrame = 1;

// Frame phases of a loop node: which of its calls is running.
enum : int32_t { LoopBelowMin, LoopGreedyBody, LoopGreedyNext, LoopLazyNext, LoopLazyBody };

} // namespace

// ---------------------------------------------------------------- object

TvxRegExpr::TvxRegExpr() : stackLimit_(DefaultStackLimit) {
    SwitchModifier(1, false); // i
    SwitchModifier(2, true);  // r
    SwitchModifier(3, true);  // s
    SwitchModifier(4, true);  // g
    SwitchModifier(5, false); // m
    blankLetters_ = std::string(" \t\n\r\f", 5);
    wordLetters_ = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    for (unsigned char c : wordLetters_) wordSet_.set(c);
    SetFlipCase(SystemFlipCase, nullptr);
    lineBreakLetters_ = "\r\n";
    for (unsigned char c : lineBreakLetters_) lineBreakSet_.set(c); // the letters never change
    SetLinePairedSeparator("\r\n");
}

TvxRegExpr::~TvxRegExpr() = default;

void TvxRegExpr::ReportError(int32_t) {}

std::string TvxRegExpr::ErrorText(int32_t code) const {
    switch (code) {
    case 0: return "No errors";
    case 100: return "vxRegExpr(comp): Null Argument";
    case 101: return "vxRegExpr(comp): Expression Too Big";
    case 102: return "vxRegExpr(comp): Too Many Groups";
    case 103:
    case 104: return "vxRegExpr(comp): Unmatched Parentheses";
    case 105: return "vxRegExpr(comp): Unexpected Text At End";
    case 106: return "vxRegExpr(comp): Repeated Operand Could Be Empty";
    case 107: return "vxRegExpr(comp): Nested Quantifier";
    case 108: return "vxRegExpr(comp): Bad Hexadecimal Digit";
    case 109: return "vxRegExpr(comp): Invalid Class Range";
    case 110: return "vxRegExpr(comp): Backslash At End Of Class";
    case 111: return "vxRegExpr(comp): Missing Hexadecimal Code After \\x";
    case 112: return "vxRegExpr(comp): Hexadecimal Code After \\x Too Big";
    case 113: return "vxRegExpr(comp): Unmatched Brackets";
    case 114: return "vxRegExpr(comp): Atom Expected";
    case 115: return "vxRegExpr(comp): Quantifier Follows Nothing";
    case 116: return "vxRegExpr(comp): Backslash At End";
    case 119: return "vxRegExpr(comp): Empty Literal Run";
    case 122: return "vxRegExpr(comp): Repeat Count Too Big";
    case 124: return "vxRegExpr(comp): Repeat Minimum Above Maximum";
    case 125: return "vxRegExpr(comp): Unclosed Comment";
    case 126: return "vxRegExpr(comp): Complex Repeats Disabled";
    case 127: return "vxRegExpr(comp): Unrecognized Modifier";
    case 128: return "vxRegExpr(comp): Paired Line Separator Must Hold Two Different Characters Or None";
    case 1000: return "vxRegExpr(exec): Repeat Of Unsupported Operand";
    case 1001: return "vxRegExpr(exec): Corrupted Opcode";
    case 1002: return "vxRegExpr(exec): Corrupted Link";
    case 1003: return "vxRegExpr(exec): No Expression Assigned";
    case 1004: return "vxRegExpr(exec): Corrupted Program";
    case 1005: return "vxRegExpr(exec): No Input Text";
    case 1006: return "vxRegExpr(exec): Offset Must Be Greater Than 0";
    case 1007: return "vxRegExpr(exec): Next Search Without A First Search";
    case 1008: return "vxRegExpr(exec): Input Read Without Input";
    case 1011: return "vxRegExpr(dump): Corrupted Opcode";
    case 1014: return "vxRegExpr(exec): Loop Nesting Exceeded";
    case 1015: return "vxRegExpr(exec): Loop Without Loop Entry";
    default: return "Unknown error";
    }
}

void TvxRegExpr::SetExpression(std::string_view text) {
    text = text.substr(0, std::min(text.size(), text.find('\0'))); // a zero byte ends the text
    if (hasExpression_ && text == expression_ && compiled_) return;
    compiled_ = false;
    expression_.clear();
    hasExpression_ = !text.empty();
    // An empty expression also drops the program, so no stale program keeps matching.
    if (hasExpression_) expression_.assign(text);
    DropProgram();
}

void TvxRegExpr::SwitchModifier(int32_t index, bool on) {
    if (index < 1 || index > 6) {
        ReportError(1013);
        return;
    }
    const uint32_t bit = 1u << (index - 1);
    modifierMask_ = on ? (modifierMask_ | bit) : (modifierMask_ & ~bit);
}

bool TvxRegExpr::ApplyModifierLetters(std::string_view letters, uint32_t& modifiers) const {
    bool clear = false;
    for (char letter : letters) {
        uint32_t bit;
        switch (letter) {
        case '-': clear = true; continue;
        case 'i': case 'I': bit = ModI; break;
        case 'r': case 'R': bit = ModR; break;
        case 's': case 'S': bit = ModS; break;
        case 'g': case 'G': bit = ModG; break;
        case 'm': case 'M': bit = ModM; break;
        case 'x': case 'X': bit = ModX; break;
        default: return false;
        }
        modifiers = clear ? (modifiers & ~bit) : (modifiers | bit);
    }
    return true;
}

void TvxRegExpr::SetLinePairedSeparator(std::string_view pair) {
    if (pair.empty()) {
        if (pairAssigned_) {
            pairAssigned_ = false;
            DropProgram();
        }
        return;
    }
    if (pair.size() != 2 || pair[0] == pair[1]) {
        ReportError(128);
        return;
    }
    const auto head = static_cast<unsigned char>(pair[0]), tail = static_cast<unsigned char>(pair[1]);
    if (pairAssigned_ && head == pairHead_ && tail == pairTail_) return;
    pairAssigned_ = true;
    pairHead_ = head;
    pairTail_ = tail;
    DropProgram();
}

void TvxRegExpr::SetFlipCase(TFlipCase flipCase, void* context) {
    for (int c = 0; c < 256; ++c) flipTable_[c] = flipCase(context, static_cast<unsigned char>(c));
}

bool TvxRegExpr::Exec(std::string_view text) {
    SetInputString(text);
    return SearchFrom(1);
}

void TvxRegExpr::SetInputString(std::string_view text) {
    ClearGroups();
    input_.assign(text.substr(0, std::min(text.size(), text.find('\0'))));
    hasInput_ = true;
}

std::string TvxRegExpr::MatchText(int32_t n) const {
    const int32_t pos = MatchPos(n);
    return pos < 0 ? std::string() : input_.substr(size_t(pos), size_t(MatchLen(n)));
}

int32_t TvxRegExpr::MatchPos(int32_t n) const {
    if (n < 0 || n >= GroupSlots || !hasInput_ || !groupStart_[n] || !groupEnd_[n]) return -1;
    if (groupEnd_[n] < groupStart_[n]) return -1;
    return int32_t(groupStart_[n] - input_.data());
}

int32_t TvxRegExpr::MatchLen(int32_t n) const {
    return MatchPos(n) < 0 ? -1 : int32_t(groupEnd_[n] - groupStart_[n]);
}

std::string_view TvxRegExpr::MustText() const {
    if (!program_ || mustOffset_ < 0) return {};
    return {reinterpret_cast<const char*>(program_.get()) + mustOffset_, size_t(mustLength_)};
}

bool TvxRegExpr::EnsureProgram() {
    if (modifierMask_ != programModifiers_) DropProgram();
    if (!program_) CompileExpression();
    if (!program_) return false;
    if (program_[0] != ProgramSignature) {
        ReportError(1004);
        return false;
    }
    return true;
}

void TvxRegExpr::CompileExpression() {
    if (!hasExpression_) {
        ReportError(1003);
        return;
    }
    CompileProgram(expression_.c_str());
}

void TvxRegExpr::DropProgram() {
    program_.reset();
    programSize_ = 0;
}

// ---------------------------------------------------------------- compiler

bool TvxRegExpr::CompileProgram(const char* text) {
    parsePos_ = nullptr;
    DropProgram();
    compiled_ = false;
    if (!text) {
        ReportError(100);
        return false;
    }
    uint32_t flags = 0;
    // Sizing pass.
    programModifiers_ = activeModifiers_ = modifierMask_;
    parsePos_ = text;
    nextGroupNumber_ = 1;
    emitPos_ = 0;
    code_ = nullptr;
    EmitByte(ProgramSignature);
    if (ParseReg(false, flags) == Failed) return false;
    const int32_t measured = emitPos_;

    // Emitting pass into one block of exactly the measured size.
    auto program = std::make_unique<uint8_t[]>(size_t(measured));
    code_ = program.get();
    activeModifiers_ = modifierMask_;
    parsePos_ = text;
    nextGroupNumber_ = 1;
    emitPos_ = 0;
    EmitByte(ProgramSignature);
    const bool emitted = ParseReg(false, flags) != Failed;
    code_ = nullptr;
    if (!emitted) return false;
#ifndef NDEBUG
    if (emitPos_ != measured) std::abort(); // the two passes must make identical decisions
#endif
    program_ = std::move(program);
    programSize_ = measured;
    ComputeHints(flags);
    compiled_ = true;
    return true;
}

int32_t TvxRegExpr::EmitOp(uint8_t op) {
    const int32_t at = emitPos_;
    if (code_) {
        code_[at] = op;
        WriteInt(code_ + at + 1, 0);
    }
    emitPos_ += NodeHeader;
    return at;
}

void TvxRegExpr::EmitByte(uint8_t b) {
    if (code_) code_[emitPos_] = b;
    ++emitPos_;
}

void TvxRegExpr::EmitInt(int32_t value) {
    if (code_) WriteInt(code_ + emitPos_, value);
    emitPos_ += 4;
}

void TvxRegExpr::InsertOp(uint8_t op, int32_t at, int32_t size) {
    if (code_) {
        std::memmove(code_ + at + size, code_ + at, size_t(emitPos_ - at));
        code_[at] = op;
        std::memset(code_ + at + 1, 0, size_t(size - 1));
    }
    emitPos_ += size;
}

void TvxRegExpr::LinkTail(int32_t node, int32_t target) {
    if (!code_) return;
    int32_t scan = node;
    for (int32_t link; (link = ReadInt(code_ + scan + 1)) != 0;) scan += link;
    WriteInt(code_ + scan + 1, target - scan);
}

void TvxRegExpr::LinkBranchTail(int32_t node, int32_t target) {
    if (code_ && code_[node] == opBranch) LinkTail(node + NodeHeader, target);
}

int32_t TvxRegExpr::ParseReg(bool group, uint32_t& flags) {
    const uint32_t savedModifiers = activeModifiers_;
    flags = HasWidth;
    int32_t first = Failed;
    int32_t groupNumber = 0;
    if (group) {
        if (nextGroupNumber_ >= GroupSlots) {
            ReportError(102);
            return Failed;
        }
        groupNumber = nextGroupNumber_++;
        first = EmitOp(uint8_t(opOpenBase + groupNumber));
    }
    for (bool firstAlternative = true;; firstAlternative = false) {
        if (!firstAlternative) ++parsePos_; // the vertical bar
        uint32_t branchFlags = 0;
        const int32_t branch = ParseAlternative(branchFlags);
        if (branch == Failed) return Failed;
        if (first == Failed)
            first = branch;
        else
            LinkTail(first, branch);
        if (!(branchFlags & HasWidth)) flags &= ~HasWidth;
        flags |= branchFlags & StartsWithRepeat;
        if (*parsePos_ != '|') break;
    }
    const int32_t closer = EmitOp(group ? uint8_t(opCloseBase + groupNumber) : uint8_t(opEnd));
    LinkTail(first, closer);
    if (code_)
        for (int32_t scan = first; scan != closer; scan += ReadInt(code_ + scan + 1)) LinkBranchTail(scan, closer);
    if (group) {
        if (*parsePos_ != ')') {
            ReportError(103);
            return Failed;
        }
        ++parsePos_;
    } else if (*parsePos_ != '\0') {
        ReportError(*parsePos_ == ')' ? 104 : 105);
        return Failed;
    }
    activeModifiers_ = savedModifiers;
    return first;
}

int32_t TvxRegExpr::ParseAlternative(uint32_t& flags) {
    flags = 0;
    const int32_t branch = EmitOp(opBranch);
    int32_t chain = Failed;
    while (*parsePos_ != '\0' && *parsePos_ != '|' && *parsePos_ != ')') {
        uint32_t pieceFlags = 0;
        const int32_t piece = ParseQuantified(pieceFlags);
        if (piece == Failed) return Failed;
        flags |= pieceFlags & HasWidth;
        if (chain == Failed)
            flags |= pieceFlags & StartsWithRepeat;
        else
            LinkTail(chain, piece);
        chain = piece;
    }
    if (chain == Failed) EmitOp(opEmpty);
    return branch;
}

int32_t TvxRegExpr::ParseQuantified(uint32_t& flags) {
    uint32_t atomFlags = 0;
    const int32_t atom = ParseAtom(atomFlags);
    if (atom == Failed) return Failed;
    flags = atomFlags;
    const char op = *parsePos_;
    if (!IsQuantifier(op)) return atom;
    if (!(atomFlags & HasWidth) && op != '?') {
        ReportError(106);
        return atom;
    }
    const bool simple = (atomFlags & Simple) != 0;
    const bool greedyMode = (activeModifiers_ & ModG) != 0;
    if (op == '{') {
        const char* brace = parsePos_;
        const char* p = brace + 1;
        auto fallBack = [&] {
            parsePos_ = brace; // the brace starts literal text
            return atom;
        };
        if (!IsDigit(*p)) return fallBack();
        const char* digits = p;
        while (IsDigit(*p)) ++p;
        if (*p != '}' && *p != ',') return fallBack();
        const int32_t min = ParseBraceCount(digits, p);
        int32_t max = min;
        if (*p == ',') {
            digits = ++p;
            while (IsDigit(*p)) ++p;
            if (*p != '}') return fallBack();
            max = p == digits ? UnboundedCount : ParseBraceCount(digits, p);
        }
        parsePos_ = p; // on the closing brace
        if (max < min) {
            ReportError(124);
            return atom;
        }
        flags = max > 0 ? HasWidth | StartsWithRepeat : 0;
        const bool nonGreedy = parsePos_[1] == '?' || !greedyMode;
        if (simple)
            EmitBracesOp(atom, min, max, nonGreedy);
        else
            EmitLoopOps(atom, min, max, nonGreedy);
    } else {
        const bool nonGreedy = parsePos_[1] == '?' || !greedyMode;
        if (op == '*') {
            flags = StartsWithRepeat;
            if (simple)
                InsertOp(nonGreedy ? opStarShort : opStar, atom, NodeHeader);
            else if (nonGreedy)
                EmitLoopOps(atom, 0, UnboundedCount, true);
            else
                EmitStarBranches(atom);
        } else if (op == '+') {
            flags = HasWidth | StartsWithRepeat;
            if (simple)
                InsertOp(nonGreedy ? opPlusShort : opPlus, atom, NodeHeader);
            else if (nonGreedy)
                EmitLoopOps(atom, 1, UnboundedCount, true);
            else
                EmitPlusBranches(atom);
        } else { // '?'
            flags = 0;
            if (!nonGreedy)
                EmitOptionalBranches(atom);
            else if (simple)
                EmitBracesOp(atom, 0, 1, true);
            else
                EmitLoopOps(atom, 0, 1, true);
        }
    }
    ++parsePos_; // the operator, or the closing brace
    if (*parsePos_ == '?') ++parsePos_;
    if (IsQuantifier(*parsePos_)) ReportError(107);
    return atom;
}

int32_t TvxRegExpr::ParseBraceCount(const char* first, const char* last) {
    if (last - first > 8) {
        ReportError(122);
        return 0;
    }
    int32_t value = 0;
    for (const char* p = first; p < last; ++p) value = value * 10 + (*p - '0');
    return value;
}

void TvxRegExpr::EmitBracesOp(int32_t at, int32_t min, int32_t max, bool nonGreedy) {
    InsertOp(nonGreedy ? opBracesShort : opBraces, at, BracesHeader);
    if (code_) {
        WriteInt(code_ + at + NodeHeader, min);
        WriteInt(code_ + at + NodeHeader + 4, max);
    }
}

void TvxRegExpr::EmitLoopOps(int32_t at, int32_t min, int32_t max, bool nonGreedy) {
    InsertOp(opLoopEntry, at, NodeHeader);
    const int32_t loop = EmitOp(nonGreedy ? opLoopShort : opLoop);
    EmitInt(min);
    EmitInt(max);
    EmitInt(at + NodeHeader - loop); // back to the body, which follows the entry
    LinkTail(at, loop);
    LinkTail(at + NodeHeader, loop);
}

// X* as (X back-to-self | empty).
void TvxRegExpr::EmitStarBranches(int32_t at) {
    InsertOp(opBranch, at, NodeHeader);
    LinkBranchTail(at, EmitOp(opBack));
    LinkBranchTail(at, at);
    LinkTail(at, EmitOp(opBranch));
    LinkTail(at, EmitOp(opEmpty));
}

// X+ as X (back-to-X | empty).
void TvxRegExpr::EmitPlusBranches(int32_t at) {
    const int32_t branch = EmitOp(opBranch);
    LinkTail(at, branch);
    LinkTail(EmitOp(opBack), at);
    LinkTail(branch, EmitOp(opBranch));
    LinkTail(at, EmitOp(opEmpty));
}

// X? as (X | empty).
void TvxRegExpr::EmitOptionalBranches(int32_t at) {
    InsertOp(opBranch, at, NodeHeader);
    LinkTail(at, EmitOp(opBranch));
    const int32_t empty = EmitOp(opEmpty);
    LinkTail(at, empty);
    LinkBranchTail(at, empty);
}

int32_t TvxRegExpr::ParseAtom(uint32_t& flags) {
    flags = 0;
    const char c = *parsePos_;
    const bool lineMode = (activeModifiers_ & ModM) && (!lineBreakLetters_.empty() || pairAssigned_);
    switch (c) {
    case '\0':
    case ')':
    case '|': ReportError(114); return Failed;
    case '*':
    case '+':
    case '?': ReportError(115); return Failed;
    case '^': ++parsePos_; return EmitOp(lineMode ? opLineStart : opBeginText);
    case '$': ++parsePos_; return EmitOp(lineMode ? opLineEnd : opEndText);
    case '.':
        ++parsePos_;
        if (activeModifiers_ & ModS) {
            flags = HasWidth | Simple;
            return EmitOp(opAnyChar);
        }
        flags = HasWidth;
        return EmitOp(opAnyInLine);
    case '[': ++parsePos_; return ParseClass(flags);
    case '(':
        if (parsePos_[1] == '?' && parsePos_[2] == '#') {
            const char* close = std::strchr(parsePos_ + 3, ')');
            if (!close) {
                ReportError(125);
                return Failed;
            }
            parsePos_ = close + 1;
            return EmitOp(opNoOp);
        }
        if (parsePos_[1] == '?') {
            const char* letters = parsePos_ + 2;
            const char* close = std::strchr(letters, ')');
            const std::string_view text(letters, close ? size_t(close - letters) : std::strlen(letters));
            if (!ApplyModifierLetters(text, activeModifiers_) || !close) {
                ReportError(127);
                return Failed;
            }
            parsePos_ = close + 1;
            return EmitOp(opNoOp);
        }
        {
            ++parsePos_;
            uint32_t groupFlags = 0;
            const int32_t group = ParseReg(true, groupFlags);
            if (group == Failed) return Failed;
            flags = groupFlags & (HasWidth | StartsWithRepeat);
            return group;
        }
    case '\\': {
        const char e = parsePos_[1];
        if (e == '\0') {
            ReportError(116);
            return Failed;
        }
        ++parsePos_; // on the escaped character
        const bool foldCase = (activeModifiers_ & ModI) != 0;
        int32_t node;
        switch (e) {
        case 'A': node = EmitOp(opBeginText); break;
        case 'Z': node = EmitOp(opEndText); break;
        case 'b': node = EmitOp(opWordEdge); break;
        case 'B': node = EmitOp(opNotWordEdge); break;
        case 'd': node = EmitOp(opDigit); flags = HasWidth | Simple; break;
        case 'D': node = EmitOp(opNonDigit); flags = HasWidth | Simple; break;
        case 's':
        case 'S': node = EmitLetterClass(blankLetters_, e == 'S'); flags = HasWidth | Simple; break;
        case 'w':
        case 'W': node = EmitLetterClass(wordLetters_, e == 'W'); flags = HasWidth | Simple; break;
        default:
            if (e >= '1' && e <= '9') {
                node = EmitOp(foldCase ? opBackRefCI : opBackRef);
                EmitByte(uint8_t(e - '0'));
            } else {
                unsigned char decoded;
                if (!DecodeEscape(decoded)) return Failed;
                node = EmitOp(foldCase ? opExactCI : opExact);
                EmitByte(decoded);
                EmitByte(0);
            }
            flags = HasWidth | Simple;
        }
        if (node == Failed) return Failed;
        ++parsePos_; // past the escape's last character
        return node;
    }
    default: break;
    }
    if (activeModifiers_ & ModX) {
        if (IsFreeSpacingBlank(c)) {
            while (IsFreeSpacingBlank(*parsePos_)) ++parsePos_;
            return EmitOp(opNoOp);
        }
        if (c == '#') {
            while (*parsePos_ && *parsePos_ != '\r' && *parsePos_ != '\n') ++parsePos_;
            while (*parsePos_ == '\r' || *parsePos_ == '\n') ++parsePos_;
            return EmitOp(opNoOp);
        }
    }
    return ParseLiteralRun(flags);
}

int32_t TvxRegExpr::ParseLiteralRun(uint32_t& flags) {
    size_t length = std::strcspn(parsePos_, Metacharacters);
    if (length == 0) {
        if (*parsePos_ != '{') {
            ReportError(119);
            return Failed;
        }
        length = 1 + std::strcspn(parsePos_ + 1, Metacharacters); // a brace that starts no quantifier
    }
    if (length > 1 && IsQuantifier(parsePos_[length])) --length; // the quantifier takes the last one
    flags = HasWidth | (length == 1 ? Simple : 0);
    const int32_t node = EmitOp((activeModifiers_ & ModI) ? opExactCI : opExact);
    const bool freeSpacing = (activeModifiers_ & ModX) != 0;
    size_t i = 0;
    for (; i < length; ++i) {
        const char c = parsePos_[i];
        if (freeSpacing && c == '#') break; // the comment is the next atom
        if (freeSpacing && IsFreeSpacingBlank(c)) continue;
        EmitByte(uint8_t(c));
    }
    EmitByte(0);
    parsePos_ += i;
    return node;
}

int TvxRegExpr::HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    ReportError(108);
    return 0;
}

// parsePos_ is on the character after the backslash and ends on the escape's last one.
bool TvxRegExpr::DecodeEscape(unsigned char& result) {
    switch (*parsePos_) {
    case 't': result = 9; return true;
    case 'n': result = 10; return true;
    case 'r': result = 13; return true;
    case 'f': result = 12; return true;
    case 'a': result = 7; return true;
    case 'e': result = 27; return true;
    case 'x': break;
    default: result = static_cast<unsigned char>(*parsePos_); return true;
    }
    ++parsePos_;
    if (*parsePos_ == '\0') {
        ReportError(111);
        return false;
    }
    if (*parsePos_ == '{') {
        unsigned value = 0;
        for (++parsePos_;; ++parsePos_) {
            if (*parsePos_ == '\0') {
                ReportError(111);
                return false;
            }
            if (*parsePos_ == '}') break;
            if (value & 0xF0) {
                ReportError(112); // the overflowing digit is skipped, the brace becomes literal
                break;
            }
            value = value * 16 + unsigned(HexDigitValue(*parsePos_));
        }
        result = static_cast<unsigned char>(value);
        return true;
    }
    unsigned value = unsigned(HexDigitValue(*parsePos_));
    ++parsePos_;
    if (*parsePos_ == '\0') {
        ReportError(111);
        return false;
    }
    result = static_cast<unsigned char>(value * 16 + unsigned(HexDigitValue(*parsePos_)));
    return true;
}

struct TvxRegExpr::TClassBuilder {
    int32_t node;
    int32_t operandAt;
    bool negative;
    bool foldCase;
    std::bitset<256> members;
    int count = 0;
    unsigned char rangeMin = 255;
    unsigned char rangeMax = 0;
};

void TvxRegExpr::AddClassMember(TClassBuilder& cls, unsigned char c) {
    auto add = [&cls](unsigned char m) {
        if (m == 0 || cls.members.test(m)) return; // code 0 is never a member
        cls.members.set(m);
        ++cls.count;
        cls.rangeMin = std::min(cls.rangeMin, m);
        cls.rangeMax = std::max(cls.rangeMax, m);
    };
    add(c);
    if (cls.foldCase) add(FlipCase(c));
}

void TvxRegExpr::AddClassRange(TClassBuilder& cls, unsigned char first, unsigned char last) {
    for (int c = first; c <= last; ++c) AddClassMember(cls, static_cast<unsigned char>(c));
}

bool TvxRegExpr::FinishClass(TClassBuilder& cls) {
    // A class whose only element was code 0 has no member: an invalid range.
    if (cls.count == 0) {
        ReportError(109);
        return false;
    }
    emitPos_ = cls.operandAt;
    if (cls.count > 3) {
        std::bitset<256> set = cls.negative ? ~cls.members : cls.members;
        if (code_) code_[cls.node] = opInSet;
        for (int byte = 0; byte < 32; ++byte) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (set.test(size_t(byte * 8 + bit))) bits |= uint8_t(1u << bit);
            EmitByte(bits);
        }
    } else {
        int written = 0;
        for (int c = cls.rangeMin; c <= cls.rangeMax && written < 3; ++c)
            if (cls.members.test(size_t(c))) {
                EmitByte(uint8_t(c));
                ++written;
            }
        for (; written < 3; ++written) EmitByte(cls.rangeMax);
    }
    return true;
}

int32_t TvxRegExpr::EmitLetterClass(const std::string& letters, bool negative) {
    TClassBuilder cls{EmitOp(negative ? opNotInTriple : opInTriple), emitPos_, negative, false, {}, 0, 255, 0};
    for (unsigned char c : letters) AddClassMember(cls, c);
    return FinishClass(cls) ? cls.node : Failed;
}

int32_t TvxRegExpr::ParseClass(uint32_t& flags) {
    const bool negative = *parsePos_ == '^';
    if (negative) ++parsePos_;
    TClassBuilder cls{EmitOp(negative ? opNotInTriple : opInTriple), emitPos_, negative,
                      (activeModifiers_ & ModI) != 0, {}, 0, 255, 0};
    const bool cyrillic = (activeModifiers_ & ModR) != 0;
    bool rangeMayFollow = false;
    unsigned char rangeStart = 0;
    auto member = [&](unsigned char c) {
        AddClassMember(cls, c);
        rangeStart = c;
        rangeMayFollow = true;
    };
    if (*parsePos_ == ']') {
        member(']');
        ++parsePos_;
    }
    while (*parsePos_ != ']' && *parsePos_ != '\0') {
        const char c = *parsePos_;
        if (c == '-' && parsePos_[1] != '\0' && parsePos_[1] != ']' && rangeMayFollow) {
            ++parsePos_;
            if (*parsePos_ == '\\' && parsePos_[1] && std::strchr("dDsSwW", parsePos_[1])) {
                AddClassMember(cls, '-'); // "a-\d": the dash is a member, the escape follows
                rangeMayFollow = false;
                continue;
            }
            unsigned char last = static_cast<unsigned char>(*parsePos_);
            if (*parsePos_ == '\\') {
                if (parsePos_[1] == '\0') {
                    ReportError(110); // a range whose end is a backslash at the end
                    return Failed;
                }
                ++parsePos_;
                if (!DecodeEscape(last)) return Failed;
            }
            if (cyrillic && rangeStart == 0xE0 && last == 0xFF) {
                for (unsigned char m : CyrLowerRun) AddClassMember(cls, m);
            } else if (cyrillic && rangeStart == 0xC0 && last == 0xDF) {
                for (unsigned char m : CyrUpperRun) AddClassMember(cls, m);
            } else if (cyrillic && rangeStart == 0xE0 && last == 0xDF) {
                for (unsigned char m : CyrLowerRun) AddClassMember(cls, m);
                for (unsigned char m : CyrUpperRun) AddClassMember(cls, m);
            } else if (last < rangeStart) {
                ReportError(109);
                return Failed;
            } else {
                AddClassRange(cls, rangeStart, last);
            }
            rangeMayFollow = false;
            ++parsePos_;
        } else if (c == '\\') {
            if (parsePos_[1] == '\0') {
                ReportError(110);
                return Failed;
            }
            ++parsePos_;
            const char e = *parsePos_;
            if (e == 'd' || e == 's' || e == 'w') {
                for (unsigned char m : std::string(e == 'd' ? "0123456789" : e == 's' ? blankLetters_ : wordLetters_))
                    AddClassMember(cls, m);
                rangeMayFollow = false;
            } else {
                unsigned char decoded;
                if (!DecodeEscape(decoded)) return Failed;
                member(decoded);
            }
            ++parsePos_;
        } else {
            member(static_cast<unsigned char>(c));
            ++parsePos_;
        }
    }
    if (*parsePos_ == '\0') {
        ReportError(113);
        return Failed;
    }
    if (!FinishClass(cls)) return Failed;
    ++parsePos_;
    flags = HasWidth | Simple;
    return cls.node;
}

void TvxRegExpr::ComputeHints(uint32_t topFlags) {
    startSet_.reset();
    std::vector<bool> visited(size_t(programSize_), false);
    CollectStartSet(program_.get() + 1, visited);
    firstLiteral_ = 0;
    anchored_ = false;
    mustOffset_ = -1;
    mustLength_ = 0;
    const uint8_t* first = program_.get() + 1;
    const uint8_t* after = NextNode(first);
    if (!after || after[0] != opEnd) return;
    const uint8_t* scan = first + NodeHeader;
    if (scan[0] == opExact)
        firstLiteral_ = scan[NodeHeader];
    else if (scan[0] == opBeginText)
        anchored_ = true;
    if (!(topFlags & StartsWithRepeat)) return;
    for (; scan; scan = NextNode(scan)) {
        if (scan[0] != opExact) continue;
        const int32_t length = int32_t(std::strlen(reinterpret_cast<const char*>(scan + NodeHeader)));
        if (length >= mustLength_) {
            mustOffset_ = int32_t(scan + NodeHeader - program_.get());
            mustLength_ = length;
        }
    }
}

// Collecting from a node always adds the same characters, so every node is visited once:
// optional pieces in a row would otherwise make the walk exponential, and a loop body
// without width would lead it around in a circle.
void TvxRegExpr::CollectStartSet(const uint8_t* node, std::vector<bool>& visited) {
    for (const uint8_t* scan = node; scan;) {
        const size_t at = size_t(scan - program_.get());
        if (visited[at]) return;
        visited[at] = true;
        const uint8_t op = scan[0];
        const uint8_t* operand = scan + NodeHeader;
        switch (op) {
        case opEnd: return;
        case opBeginText: case opEndText: case opBack: case opEmpty: case opNoOp: case opLineStart:
        case opLineEnd: case opWordEdge: case opNotWordEdge:
            scan = NextNode(scan);
            continue;
        case opAnyChar: case opAnyInLine: case opBackRef: case opBackRefCI: startSet_.set(); return;
        case opBranch: {
            const uint8_t* next = NextNode(scan);
            if (next && next[0] == opBranch) {
                for (const uint8_t* b = scan; b && b[0] == opBranch; b = NextNode(b))
                    CollectStartSet(b + NodeHeader, visited);
                return;
            }
            scan = operand;
            continue;
        }
        case opExact: startSet_.set(operand[0]); return;
        case opExactCI:
            startSet_.set(operand[0]);
            startSet_.set(FlipCase(operand[0]));
            return;
        case opDigit:
            for (int c = '0'; c <= '9'; ++c) startSet_.set(size_t(c));
            return;
        case opNonDigit:
            for (int c = 0; c < 256; ++c)
                if (!IsDigit(char(c))) startSet_.set(size_t(c));
            return;
        case opInTriple:
            for (int i = 0; i < 3; ++i) startSet_.set(operand[i]);
            return;
        case opNotInTriple: {
            std::bitset<256> except;
            for (int i = 0; i < 3; ++i) except.set(operand[i]);
            startSet_ |= ~except;
            return;
        }
        case opInSet:
            for (int c = 0; c < 256; ++c)
                if (operand[c / 8] & (1u << (c % 8))) startSet_.set(size_t(c));
            return;
        case opStar: case opStarShort:
            CollectStartSet(operand, visited);
            scan = NextNode(scan);
            continue;
        case opPlus: case opPlusShort: CollectStartSet(operand, visited); return;
        case opBraces: case opBracesShort:
            CollectStartSet(scan + BracesHeader, visited);
            if (ReadInt(operand) > 0) return;
            scan = NextNode(scan);
            continue;
        case opLoopEntry: CollectStartSet(NextNode(scan), visited); return;
        case opLoop: case opLoopShort:
            CollectStartSet(scan + ReadInt(operand + 8), visited);
            if (ReadInt(operand) == 0) CollectStartSet(NextNode(scan), visited);
            return;
        default:
            if (IsOpen(op) || IsClose(op)) {
                CollectStartSet(NextNode(scan), visited);
                return;
            }
            ReportError(1001);
            return;
        }
    }
}

// ---------------------------------------------------------------- matcher

bool TvxRegExpr::SearchFrom(int32_t offset) {
    if (!EnsureProgram()) return false;
    if (!hasInput_) {
        ReportError(1005);
        return false;
    }
    if (offset < 1) {
        ReportError(1006);
        return false;
    }
    // Only a match leaves groups behind, group 0 among them; a search starts without.
    if (groupEnd_[0]) ClearGroups();
    if (size_t(offset) > input_.size() + 1) return false;
    const char* start = input_.data() + offset - 1;
    const char* end = input_.data() + input_.size();
    if (mustOffset_ >= 0 && mustLength_ > 0) {
        const std::string_view must = MustText();
        if (std::string_view(start, size_t(end - start)).find(must) == std::string_view::npos) return false;
    }
    inputStart_ = input_.data();
    inputEnd_ = end;
    loopDepth_ = 0;
    stackExhausted_ = false;
    bool found = false;
    try {
        found = SearchPositions(start, end);
    } catch (const std::bad_alloc&) {
        // The memory ran out before the stack reached its bound (a 32-bit process with
        // a fragmented address space): the search ends as one that went past the bound.
        stackExhausted_ = true;
    }
    // Gives back what a long line took, but for a few chunks kept for the next search.
    frames_.clear();
    snapshots_.clear();
    if (stackExhausted_) ClearGroups(); // the attempt ended without undoing its steps
    return found;
}

bool TvxRegExpr::SearchPositions(const char* start, const char* end) {
    if (anchored_) return TryAt(start);
    if (firstLiteral_) {
        for (const char* p = start; p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, firstLiteral_, size_t(end - p)));
            if (!p || stackExhausted_) return false;
            if (TryAt(p)) return true;
        }
        return false;
    }
    for (const char* p = start; p < end && !stackExhausted_; ++p)
        if (startSet_[static_cast<unsigned char>(*p)] && TryAt(p)) return true;
    return false;
}

void TvxRegExpr::ClearGroups() {
    groupStart_.fill(nullptr);
    groupEnd_.fill(nullptr);
}

// A failed attempt undoes every group step it took, so each attempt starts with no group.
bool TvxRegExpr::TryAt(const char* position) {
    cursor_ = position;
    if (!Match(program_.get() + 1)) return false;
    groupStart_[0] = position;
    groupEnd_[0] = cursor_;
    return true;
}

bool TvxRegExpr::IsWordChar(const char* p) const {
    return p < inputEnd_ && wordSet_[static_cast<unsigned char>(*p)];
}

bool TvxRegExpr::IsLineBreakAt(const char* p) const {
    const auto c = static_cast<unsigned char>(*p);
    return (pairAssigned_ && c == pairHead_ && p + 1 < inputEnd_ && static_cast<unsigned char>(p[1]) == pairTail_) ||
           lineBreakSet_[c];
}

bool TvxRegExpr::MatchesBackRef(int32_t n, bool foldCase, const char*& cursor) const {
    const char* from = groupStart_[n];
    const char* to = groupEnd_[n];
    if (!from || !to) return false;
    const char* p = cursor;
    for (const char* g = from; g < to; ++g, ++p) {
        if (p >= inputEnd_) return false;
        const auto gc = static_cast<unsigned char>(*g), ic = static_cast<unsigned char>(*p);
        if (ic != gc && !(foldCase && ic == FlipCase(gc))) return false;
    }
    cursor = p;
    return true;
}

int32_t TvxRegExpr::RegRepeat(const uint8_t* operand, int32_t max) {
    const int64_t available = inputEnd_ - cursor_;
    const int32_t limit = int32_t(std::min<int64_t>(max, available));
    const char* const from = cursor_;
    const char* p = cursor_;
    const char* const stop = cursor_ + limit;
    const uint8_t* arg = operand + NodeHeader;
    int32_t count = 0;
    switch (operand[0]) {
    case opAnyChar: p = stop; break;
    case opExact:
        while (p < stop && static_cast<unsigned char>(*p) == arg[0]) ++p;
        break;
    case opExactCI: {
        while (p < stop && static_cast<unsigned char>(*p) == arg[0]) ++p;
        const unsigned char other = FlipCase(arg[0]);
        while (p < stop && (static_cast<unsigned char>(*p) == arg[0] || static_cast<unsigned char>(*p) == other)) ++p;
        break;
    }
    case opDigit:
        while (p < stop && IsDigit(*p)) ++p;
        break;
    case opNonDigit:
        while (p < stop && !IsDigit(*p)) ++p;
        break;
    case opInTriple:
        while (p < stop && (*p == char(arg[0]) || *p == char(arg[1]) || *p == char(arg[2]))) ++p;
        break;
    case opNotInTriple:
        while (p < stop && *p != char(arg[0]) && *p != char(arg[1]) && *p != char(arg[2])) ++p;
        break;
    case opInSet:
        while (p < stop && (arg[static_cast<unsigned char>(*p) >> 3] & (1u << (*p & 7)))) ++p;
        break;
    case opBackRef:
    case opBackRefCI: {
        const int32_t n = arg[0];
        if (!groupStart_[n] || !groupEnd_[n]) return 0;
        while (count < limit && MatchesBackRef(n, operand[0] == opBackRefCI, p)) ++count;
        cursor_ = p;
        return count;
    }
    default: ReportError(1000); return 0;
    }
    cursor_ = p;
    return int32_t(p - from);
}

// The matcher follows the recursive backtracking description node by node; where that
// description would call itself, a frame goes on frames_ instead, and where a call would
// return false, Backtrack takes the frames off again doing what the caller does then.
bool TvxRegExpr::Match(const uint8_t* start) {
    frames_.clear();
    snapshots_.clear();
    const uint8_t* scan = start;
    for (;;) {
        if (RunForward(scan)) return true;
        if (stackExhausted_ || !Backtrack(scan)) return false;
    }
}

// Runs from scan until the program ends (true) or a node fails (false).
bool TvxRegExpr::RunForward(const uint8_t*& scan) {
    for (;;) {
        if (!scan) {
            ReportError(1002);
            return false;
        }
        if (StackBytes() >= stackLimit_) {
            stackExhausted_ = true;
            return false;
        }
        const uint8_t op = scan[0];
        const uint8_t* operand = scan + NodeHeader;
        const uint8_t* next = NextNode(scan);
        const auto c = cursor_ < inputEnd_ ? static_cast<unsigned char>(*cursor_) : 0;
        const bool atEnd = cursor_ >= inputEnd_;
        switch (op) {
        case opEnd: return true;
        case opBeginText:
            if (cursor_ != inputStart_) return false;
            break;
        case opEndText:
            if (!atEnd) return false;
            break;
        case opAnyChar:
            if (atEnd) return false;
            ++cursor_;
            break;
        case opAnyInLine:
            if (atEnd || IsLineBreakAt(cursor_)) return false;
            ++cursor_;
            break;
        case opLineStart:
            if (cursor_ != inputStart_) {
                const auto before = static_cast<unsigned char>(cursor_[-1]);
                const bool afterPair = pairAssigned_ && before == pairTail_ && cursor_ - 1 > inputStart_ &&
                                       static_cast<unsigned char>(cursor_[-2]) == pairHead_;
                if (!afterPair) {
                    if (pairAssigned_ && before == pairHead_ && !atEnd && c == pairTail_) return false;
                    if (!lineBreakSet_[before]) return false;
                }
            }
            break;
        case opLineEnd:
            if (!atEnd) {
                const bool beforePair =
                    pairAssigned_ && c == pairHead_ && cursor_ + 1 < inputEnd_ &&
                    static_cast<unsigned char>(cursor_[1]) == pairTail_;
                if (!beforePair) {
                    if (pairAssigned_ && c == pairTail_ && cursor_ > inputStart_ &&
                        static_cast<unsigned char>(cursor_[-1]) == pairHead_)
                        return false;
                    if (!lineBreakSet_[c]) return false;
                }
            }
            break;
        case opBranch:
            if (next && next[0] == opBranch) {
                TCharStar star;
                if (FindCharStar(scan, star)) {
                    if (!EnterCharStar(scan, star, scan)) return false;
                    continue;
                }
                frames_.push_back({scan, cursor_, 0, 0});
            }
            scan = operand;
            continue;
        case opBack:
        case opEmpty:
        case opNoOp: break;
        case opExact: {
            const char* text = reinterpret_cast<const char*>(operand);
            if (text[0] == '\0') {
                if (!atEnd) return false;
                break;
            }
            if (atEnd || *cursor_ != text[0]) return false;
            const size_t length = std::strlen(text);
            if (size_t(inputEnd_ - cursor_) < length || std::memcmp(cursor_, text, length) != 0) return false;
            cursor_ += length;
            break;
        }
        case opExactCI:
            for (const uint8_t* t = operand; *t; ++t, ++cursor_) {
                if (cursor_ >= inputEnd_) return false;
                const auto ic = static_cast<unsigned char>(*cursor_);
                if (ic != *t && ic != FlipCase(*t)) return false;
            }
            break;
        case opDigit:
            if (atEnd || !IsDigit(char(c))) return false;
            ++cursor_;
            break;
        case opNonDigit:
            if (atEnd || IsDigit(char(c))) return false;
            ++cursor_;
            break;
        case opInTriple:
            if (atEnd || (c != operand[0] && c != operand[1] && c != operand[2])) return false;
            ++cursor_;
            break;
        case opNotInTriple:
            if (atEnd || c == operand[0] || c == operand[1] || c == operand[2]) return false;
            ++cursor_;
            break;
        case opInSet:
            if (atEnd || !(operand[c >> 3] & (1u << (c & 7)))) return false;
            ++cursor_;
            break;
        case opBackRef:
        case opBackRefCI:
            if (!MatchesBackRef(operand[0], op == opBackRefCI, cursor_)) return false;
            break;
        case opWordEdge:
        case opNotWordEdge: {
            const bool previousIsWord = cursor_ > inputStart_ && wordSet_[static_cast<unsigned char>(cursor_[-1])];
            const bool boundary = previousIsWord != IsWordChar(cursor_);
            if (boundary != (op == opWordEdge)) return false;
            break;
        }
        case opStar: case opPlus: case opBraces: case opStarShort: case opPlusShort: case opBracesShort:
            if (!EnterRepeat(scan, scan)) return false;
            continue;
        case opLoopEntry:
            if (loopDepth_ >= MaxLoopDepth) {
                ReportError(1014);
                return false;
            }
            frames_.push_back({scan, cursor_, loopDepth_, 0});
            ++loopDepth_;
            loopCounters_[size_t(loopDepth_)] = 0;
            break;
        case opLoop:
        case opLoopShort:
            if (!EnterLoop(scan, scan)) return false;
            continue;
        default:
            if (IsOpen(op)) {
                frames_.push_back({scan, groupStart_[op - opOpenBase], 0, 0});
                groupStart_[op - opOpenBase] = cursor_;
                break;
            }
            if (IsClose(op)) {
                frames_.push_back({scan, groupEnd_[op - opCloseBase], 0, 0});
                groupEnd_[op - opCloseBase] = cursor_;
                break;
            }
            ReportError(1001);
            return false;
        }
        scan = next;
    }
}

namespace {
struct TRepeatLimits {
    int32_t min;
    int32_t max;
    const uint8_t* operand;
    bool nonGreedy;
};

TRepeatLimits RepeatLimits(const uint8_t* node) {
    switch (node[0]) {
    case opStar: return {0, 0x7FFFFFFF, node + NodeHeader, false};
    case opStarShort: return {0, 0x7FFFFFFF, node + NodeHeader, true};
    case opPlus: return {1, 0x7FFFFFFF, node + NodeHeader, false};
    case opPlusShort: return {1, 0x7FFFFFFF, node + NodeHeader, true};
    default:
        return {ReadInt(node + NodeHeader), ReadInt(node + NodeHeader + 4), node + BracesHeader,
                node[0] == opBracesShort};
    }
}

// The first character of the literal that a continuation must match before anything
// else, looking through nodes that match the empty string and leave nothing behind on
// failure; 0 = none. An attempt whose position holds another character cannot succeed.
unsigned char LiteralAhead(const uint8_t* node) {
    while (node && (IsOpen(node[0]) || IsClose(node[0]) || node[0] == opNoOp || node[0] == opEmpty))
        node = NextNode(node);
    return node && node[0] == opExact ? node[NodeHeader] : 0;
}
} // namespace

// Moves `no` to the next count whose position fits the look-ahead. The greedy form counts
// down from what RegRepeat found, the non-greedy form up to it.
bool TvxRegExpr::NextRepeatAttempt(const uint8_t* node, const char* save, int32_t& no, int32_t maxCount) {
    const TRepeatLimits limits = RepeatLimits(node);
    const unsigned char nextch = LiteralAhead(NextNode(node));
    if (limits.nonGreedy) {
        for (; no <= maxCount; ++no) {
            cursor_ = save + no;
            if (!nextch || (cursor_ < inputEnd_ && static_cast<unsigned char>(*cursor_) == nextch)) return true;
        }
        return false;
    }
    while (no >= limits.min) {
        if (!nextch || (cursor_ < inputEnd_ && static_cast<unsigned char>(*cursor_) == nextch)) return true;
        --no;
        cursor_ = save + no;
    }
    return false;
}

bool TvxRegExpr::EnterRepeat(const uint8_t* node, const uint8_t*& scan) {
    const TRepeatLimits limits = RepeatLimits(node);
    const char* save = cursor_;
    int32_t no;
    int32_t maxCount = 0;
    if (limits.nonGreedy) {
        maxCount = RegRepeat(limits.operand, limits.max);
        no = limits.min;
    } else {
        no = RegRepeat(limits.operand, limits.max);
    }
    if (!NextRepeatAttempt(node, save, no, maxCount)) return false;
    frames_.push_back({node, save, no, maxCount});
    snapshots_.push_back({loopCounters_, loopDepth_});
    scan = NextNode(node);
    return true;
}

bool TvxRegExpr::EnterLoop(const uint8_t* node, const uint8_t*& scan) {
    if (loopDepth_ == 0) {
        ReportError(1015);
        return false;
    }
    const int32_t min = ReadInt(node + NodeHeader);
    const int32_t max = ReadInt(node + NodeHeader + 4);
    const uint8_t* body = node + ReadInt(node + NodeHeader + 8);
    const int32_t count = loopCounters_[size_t(loopDepth_)];
    if (count < min || (node[0] == opLoop && count < max)) {
        ++loopCounters_[size_t(loopDepth_)];
        frames_.push_back({node, cursor_, loopDepth_, count < min ? LoopBelowMin : LoopGreedyBody});
        scan = body;
    } else if (node[0] == opLoop) {
        --loopDepth_; // leave the loop
        frames_.push_back({node, cursor_, 0, LoopGreedyNext});
        scan = NextNode(node);
    } else {
        frames_.push_back({node, cursor_, count, LoopLazyNext});
        scan = NextNode(node);
    }
    return true;
}

// A greedy star of one character, written with branches: "X*" with X a node that matches
// exactly one character (as "." is when it stops at line breaks), or "(X)*". Matched
// node by node it would keep three frames per character; counted here like a repeat, it
// tries the same continuations in the same order with the same group positions.
bool TvxRegExpr::FindCharStar(const uint8_t* branch, TCharStar& star) const {
    const uint8_t* other = NextNode(branch);
    const uint8_t* empty = other + NodeHeader;
    if (empty[0] != opEmpty || NextNode(other) != empty) return false;
    const uint8_t* first = branch + NodeHeader;
    const uint8_t* afterX;
    if (IsOpen(first[0])) {
        const uint8_t* inner = NextNode(first);
        if (!inner || inner[0] != opBranch) return false;
        const uint8_t* close = NextNode(inner);
        if (!close || close[0] != opCloseBase + (first[0] - opOpenBase)) return false;
        star = {inner + NodeHeader, first, close, NextNode(empty)};
        if (NextNode(star.x) != close) return false;
        afterX = NextNode(close);
    } else {
        star = {first, nullptr, nullptr, NextNode(empty)};
        afterX = NextNode(first);
    }
    if (!afterX || afterX[0] != opBack || NextNode(afterX) != branch) return false;
    switch (star.x[0]) {
    case opExact: case opExactCI: return star.x[NodeHeader] != 0 && star.x[NodeHeader + 1] == 0;
    case opAnyChar: case opAnyInLine: case opDigit: case opNonDigit: case opInTriple: case opNotInTriple:
    case opInSet: return true;
    default: return false;
    }
}

bool TvxRegExpr::MatchesOneChar(const uint8_t* node, const char* p) const {
    if (p >= inputEnd_) return false;
    const auto c = static_cast<unsigned char>(*p);
    const uint8_t* arg = node + NodeHeader;
    switch (node[0]) {
    case opAnyChar: return true;
    case opAnyInLine: return !IsLineBreakAt(p);
    case opExact: return c == arg[0];
    case opExactCI: return c == arg[0] || c == FlipCase(arg[0]);
    case opDigit: return IsDigit(char(c));
    case opNonDigit: return !IsDigit(char(c));
    case opInTriple: return c == arg[0] || c == arg[1] || c == arg[2];
    case opNotInTriple: return c != arg[0] && c != arg[1] && c != arg[2];
    default: return (arg[c >> 3] & (1u << (c & 7))) != 0; // opInSet
    }
}

// Moves `no` down to the next count whose position fits a following literal, and sets the
// cursor and the group as the iterations up to that count left them.
bool TvxRegExpr::NextCharStarAttempt(const TCharStar& star, const char* save, int32_t& no, const char* oldStart,
                                     const char* oldEnd) {
    const unsigned char nextch = LiteralAhead(star.follow);
    for (; no >= 0; --no) {
        cursor_ = save + no;
        if (nextch && (cursor_ >= inputEnd_ || static_cast<unsigned char>(*cursor_) != nextch)) continue;
        if (star.open) {
            // After no iteration the group holds what it held before the star.
            groupStart_[star.open[0] - opOpenBase] = no > 0 ? cursor_ - 1 : oldStart;
            groupEnd_[star.close[0] - opCloseBase] = no > 0 ? cursor_ : oldEnd;
        }
        return true;
    }
    return false;
}

bool TvxRegExpr::EnterCharStar(const uint8_t* branch, const TCharStar& star, const uint8_t*& scan) {
    const char* save = cursor_;
    int32_t count = 0;
    if (star.x[0] == opAnyInLine) {
        // Only line-break characters and the pair's head can end the run.
        std::bitset<256> stops = lineBreakSet_;
        if (pairAssigned_) stops.set(pairHead_);
        const char* p = save;
        for (;;) {
            while (p < inputEnd_ && !stops[static_cast<unsigned char>(*p)]) ++p;
            if (p >= inputEnd_ || IsLineBreakAt(p)) break;
            ++p;
        }
        count = int32_t(p - save);
    } else {
        while (MatchesOneChar(star.x, save + count)) ++count;
    }
    const char* oldStart = star.open ? groupStart_[star.open[0] - opOpenBase] : nullptr;
    const char* oldEnd = star.close ? groupEnd_[star.close[0] - opCloseBase] : nullptr;
    if (star.open) {
        // Undo steps that put the group back when every count has failed; the frame of
        // the star finds the group's old positions in them.
        frames_.push_back({star.open, oldStart, 0, 0});
        frames_.push_back({star.close, oldEnd, 0, 0});
    }
    int32_t no = count;
    if (!NextCharStarAttempt(star, save, no, oldStart, oldEnd)) return false;
    frames_.push_back({branch, save, no, CharStarFrame});
    scan = star.follow;
    return true;
}

// Undoes frames until one offers another way forward (true, with scan set) or none is left.
bool TvxRegExpr::Backtrack(const uint8_t*& scan) {
    while (!frames_.empty()) {
        TFrame& f = frames_.back();
        const uint8_t op = f.node[0];
        switch (op) {
        case opBranch: {
            if (f.b == CharStarFrame) {
                int32_t no = f.a - 1;
                TCharStar star;
                FindCharStar(f.node, star);
                const size_t below = frames_.size() - 1;
                const char* oldStart = star.open ? frames_.at(below - 2).saved : nullptr;
                const char* oldEnd = star.open ? frames_.at(below - 1).saved : nullptr;
                if (no >= 0 && NextCharStarAttempt(star, f.saved, no, oldStart, oldEnd)) {
                    f.a = no;
                    scan = star.follow;
                    return true;
                }
                break;
            }
            cursor_ = f.saved;
            const uint8_t* alternative = NextNode(f.node);
            if (alternative && alternative[0] == opBranch) {
                f.node = alternative;
                scan = alternative + NodeHeader;
                return true;
            }
            break;
        }
        case opStar: case opPlus: case opBraces: case opStarShort: case opPlusShort: case opBracesShort: {
            loopCounters_ = snapshots_.back().counters;
            loopDepth_ = snapshots_.back().depth;
            int32_t no = f.a;
            if (RepeatLimits(f.node).nonGreedy) {
                ++no;
            } else {
                --no;
                cursor_ = f.saved + no;
            }
            if (NextRepeatAttempt(f.node, f.saved, no, f.b)) {
                f.a = no;
                scan = NextNode(f.node);
                return true;
            }
            snapshots_.pop_back();
            break;
        }
        case opLoopEntry:
            loopDepth_ = f.a;
            cursor_ = f.saved;
            break;
        case opLoop:
        case opLoopShort:
            switch (f.b) {
            case LoopBelowMin:
                loopDepth_ = f.a;
                --loopCounters_[size_t(loopDepth_)];
                cursor_ = f.saved;
                break;
            case LoopGreedyBody:
                loopDepth_ = f.a;
                cursor_ = f.saved;
                --loopDepth_; // leave the loop; the counter stays raised
                f.b = LoopGreedyNext;
                scan = NextNode(f.node);
                return true;
            case LoopGreedyNext:
            case LoopLazyBody:
                if (f.b == LoopLazyBody) loopDepth_ = f.a - 1;
                cursor_ = f.saved;
                break;
            case LoopLazyNext:
                cursor_ = f.saved;
                if (f.a < ReadInt(f.node + NodeHeader + 4)) {
                    ++loopCounters_[size_t(loopDepth_)];
                    f.a = loopDepth_;
                    f.b = LoopLazyBody;
                    scan = f.node + ReadInt(f.node + NodeHeader + 8);
                    return true;
                }
                --loopDepth_;
                break;
            }
            break;
        default:
            if (IsOpen(op)) groupStart_[op - opOpenBase] = f.saved;
            else if (IsClose(op)) groupEnd_[op - opCloseBase] = f.saved;
            break;
        }
        frames_.pop_back();
    }
    return false;
}
