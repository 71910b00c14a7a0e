// The compiler: an expression text to the program of linked nodes, in a sizing pass and
// an emitting pass that make identical decisions, and the search hints.
#include "vxRegExpr.h"

#include "vxRegExprOps.h"

#include <algorithm>
#include <cstring>

using namespace vxre;

namespace {

constexpr uint32_t HasWidth = 1;
constexpr uint32_t Simple = 2;
constexpr uint32_t StartsWithRepeat = 4;

constexpr int32_t Failed = -1;
constexpr const char* Metacharacters = "^$.[()|?+*\\{";

bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }
bool IsFreeSpacingBlank(char c) { return c == 9 || c == 10 || c == 13 || c == 32; }

const unsigned char CyrLowerRun[33] = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xB8, 0xE6, 0xE7, 0xE8, 0xE9,
                                       0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4,
                                       0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};
const unsigned char CyrUpperRun[33] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xA8, 0xC6, 0xC7, 0xC8, 0xC9,
                                       0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4,
                                       0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF};

} // namespace

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
    lineStops_ = lineBreakSet_;
    if (pairAssigned_) lineStops_.set(pairHead_);
    lineStopLetters_.clear();
    for (int c = 0; c < 256; ++c)
        if (lineStops_[size_t(c)]) lineStopLetters_ += char(c);
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
    CollectStartSet(program_.get() + 1);
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
// without width would lead it around in a circle. The nodes still to visit wait in a list,
// so that no pattern makes the walk deeper than the stack allows.
void TvxRegExpr::CollectStartSet(const uint8_t* start) {
    std::vector<bool> visited(size_t(programSize_), false);
    std::vector<const uint8_t*> pending{start};
    while (!pending.empty()) {
        const uint8_t* scan = pending.back();
        pending.pop_back();
        while (scan && !visited[size_t(scan - program_.get())]) {
            visited[size_t(scan - program_.get())] = true;
            scan = CollectFromNode(scan, pending);
        }
    }
}

// Adds what one node contributes; gives the node to go on with (null to stop) and puts
// the other nodes to visit on pending.
const uint8_t* TvxRegExpr::CollectFromNode(const uint8_t* scan, std::vector<const uint8_t*>& pending) {
    const uint8_t op = scan[0];
    const uint8_t* operand = scan + NodeHeader;
    switch (op) {
    case opEnd: return nullptr;
    case opBeginText: case opEndText: case opBack: case opEmpty: case opNoOp: case opLineStart:
    case opLineEnd: case opWordEdge: case opNotWordEdge: return NextNode(scan);
    case opAnyChar: case opAnyInLine: case opBackRef: case opBackRefCI: startSet_.set(); return nullptr;
    case opBranch: {
        const uint8_t* next = NextNode(scan);
        if (!next || next[0] != opBranch) return operand;
        for (const uint8_t* b = scan; b && b[0] == opBranch; b = NextNode(b)) pending.push_back(b + NodeHeader);
        return nullptr;
    }
    case opExact: startSet_.set(operand[0]); return nullptr;
    case opExactCI:
        startSet_.set(operand[0]);
        startSet_.set(FlipCase(operand[0]));
        return nullptr;
    case opDigit:
        for (int c = '0'; c <= '9'; ++c) startSet_.set(size_t(c));
        return nullptr;
    case opNonDigit:
        for (int c = 0; c < 256; ++c)
            if (!IsDigit(char(c))) startSet_.set(size_t(c));
        return nullptr;
    case opInTriple:
        for (int i = 0; i < 3; ++i) startSet_.set(operand[i]);
        return nullptr;
    case opNotInTriple: {
        std::bitset<256> except;
        for (int i = 0; i < 3; ++i) except.set(operand[i]);
        startSet_ |= ~except;
        return nullptr;
    }
    case opInSet:
        for (int c = 0; c < 256; ++c)
            if (operand[c / 8] & (1u << (c % 8))) startSet_.set(size_t(c));
        return nullptr;
    case opStar: case opStarShort:
        pending.push_back(operand);
        return NextNode(scan);
    case opPlus: case opPlusShort: return operand;
    case opBraces: case opBracesShort:
        pending.push_back(scan + BracesHeader);
        return ReadInt(operand) > 0 ? nullptr : NextNode(scan);
    case opLoopEntry: return NextNode(scan);
    case opLoop: case opLoopShort:
        pending.push_back(scan + ReadInt(operand + 8));
        return ReadInt(operand) == 0 ? NextNode(scan) : nullptr;
    default:
        if (IsOpen(op) || IsClose(op)) return NextNode(scan);
        ReportError(1001);
        return nullptr;
    }
}
