// The expression object: settings, input, match results, and the program's lifetime.
#include "vxRegExpr.h"

#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprOps.h"

#include <algorithm>
#include <cstring>

using namespace vxre;

namespace {

// By default the backtracking stack may not grow beyond this many bytes, in both builds:
// lines of a few megabytes fit with the common patterns, and a desktop tool can afford it.
constexpr size_t DefaultStackLimit = size_t(256) << 20;

unsigned char SystemFlipCase(void*, unsigned char c) {
    const unsigned char upper = AnsiUpperChar(c);
    return upper != c ? upper : AnsiLowerChar(c);
}

} // namespace

TvxRegExpr::TvxRegExpr()
    : utf8Mode_(ProcessCodePage() == codepage::Utf8), stackLimit_(DefaultStackLimit) {
    SwitchModifier(1, false); // i
    SwitchModifier(2, true);  // r
    SwitchModifier(3, true);  // s
    SwitchModifier(4, true);  // g
    SwitchModifier(5, false); // m
    blankLetters_ = std::string(" \t\n\r\f", 5);
    wordLetters_ = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    for (unsigned char c : wordLetters_)
        wordSet_.set(c);
    SetFlipCase(SystemFlipCase, nullptr);
    lineBreakLetters_ = "\r\n";
    for (unsigned char c : lineBreakLetters_)
        lineBreakSet_.set(c); // the letters never change
    SetLinePairedSeparator("\r\n");
}

TvxRegExpr::~TvxRegExpr() = default;

void TvxRegExpr::ReportError(int32_t code) {
    lastError_ = code;
}

int32_t TvxRegExpr::CompileOffset() const {
    return compileText_ && parsePos_ ? int32_t(parsePos_ - compileText_) : -1;
}

std::string TvxRegExpr::ErrorText(int32_t code) const {
    switch (code) {
    case 0:
        return "No errors";
    case 100:
        return "vxRegExpr(comp): Null Argument";
    case 101:
        return "vxRegExpr(comp): Expression Too Big";
    case 102:
        return "vxRegExpr(comp): Too Many Groups";
    case 103:
    case 104:
        return "vxRegExpr(comp): Unmatched Parentheses";
    case 105:
        return "vxRegExpr(comp): Unexpected Text At End";
    case 106:
        return "vxRegExpr(comp): Repeated Operand Could Be Empty";
    case 107:
        return "vxRegExpr(comp): Nested Quantifier";
    case 108:
        return "vxRegExpr(comp): Bad Hexadecimal Digit";
    case 109:
        return "vxRegExpr(comp): Invalid Class Range";
    case 110:
        return "vxRegExpr(comp): Backslash At End Of Class";
    case 111:
        return "vxRegExpr(comp): Missing Hexadecimal Code After \\x";
    case 112:
        return "vxRegExpr(comp): Hexadecimal Code After \\x Too Big";
    case 113:
        return "vxRegExpr(comp): Unmatched Brackets";
    case 114:
        return "vxRegExpr(comp): Atom Expected";
    case 115:
        return "vxRegExpr(comp): Quantifier Follows Nothing";
    case 116:
        return "vxRegExpr(comp): Backslash At End";
    case 119:
        return "vxRegExpr(comp): Empty Literal Run";
    case 122:
        return "vxRegExpr(comp): Repeat Count Too Big";
    case 124:
        return "vxRegExpr(comp): Repeat Minimum Above Maximum";
    case 125:
        return "vxRegExpr(comp): Unclosed Comment";
    case 126:
        return "vxRegExpr(comp): Complex Repeats Disabled";
    case 127:
        return "vxRegExpr(comp): Unrecognized Modifier";
    case 128:
        return "vxRegExpr(comp): Paired Line Separator Must Hold Two Different Characters Or None";
    case 129:
        return "vxRegExpr(comp): Look-Behind Alternative Without A Fixed Length";
    case 130:
        return "vxRegExpr(comp): Look-Around Cannot Be Repeated";
    case 131:
        return "vxRegExpr(comp): Groups Nested Too Deeply";
    case 1000:
        return "vxRegExpr(exec): Repeat Of Unsupported Operand";
    case 1001:
        return "vxRegExpr(exec): Corrupted Opcode";
    case 1002:
        return "vxRegExpr(exec): Corrupted Link";
    case 1003:
        return "vxRegExpr(exec): No Expression Assigned";
    case 1004:
        return "vxRegExpr(exec): Corrupted Program";
    case 1005:
        return "vxRegExpr(exec): No Input Text";
    case 1006:
        return "vxRegExpr(exec): Offset Must Be Greater Than 0";
    case 1007:
        return "vxRegExpr(exec): Next Search Without A First Search";
    case 1008:
        return "vxRegExpr(exec): Input Read Without Input";
    case 1011:
        return "vxRegExpr(dump): Corrupted Opcode";
    case 1014:
        return "vxRegExpr(exec): Loop Nesting Exceeded";
    case 1015:
        return "vxRegExpr(exec): Loop Without Loop Entry";
    default:
        return "Unknown error";
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
        case '-':
            clear = true;
            continue;
        case 'i':
        case 'I':
            bit = ModI;
            break;
        case 'r':
        case 'R':
            bit = ModR;
            break;
        case 's':
        case 'S':
            bit = ModS;
            break;
        case 'g':
        case 'G':
            bit = ModG;
            break;
        case 'm':
        case 'M':
            bit = ModM;
            break;
        case 'x':
        case 'X':
            bit = ModX;
            break;
        default:
            return false;
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
    const auto head = static_cast<unsigned char>(pair[0]),
               tail = static_cast<unsigned char>(pair[1]);
    if (pairAssigned_ && head == pairHead_ && tail == pairTail_) return;
    pairAssigned_ = true;
    pairHead_ = head;
    pairTail_ = tail;
    DropProgram();
}

void TvxRegExpr::SetFlipCase(TFlipCase flipCase, void* context) {
    for (int c = 0; c < 256; ++c)
        flipTable_[c] = flipCase(context, static_cast<unsigned char>(c));
    DropProgram();
}

char32_t TvxRegExpr::FlipCase(char32_t c) const {
    if (utf8Mode_) return OtherCase(c);
    return c < 256 ? flipTable_[c] : c;
}

void TvxRegExpr::SetUtf8Mode(bool on) {
    if (on == utf8Mode_) return;
    utf8Mode_ = on;
    DropProgram();
}

bool TvxRegExpr::Exec(std::string_view text) {
    SetInputString(text);
    return SearchFrom(1);
}

void TvxRegExpr::SetInputString(std::string_view text) {
    if (groupEnd_[0]) ClearGroups(); // only a match leaves groups behind
    const size_t size = std::min(text.size(), text.find('\0'));
    // A zero byte ends the copy: the matcher may read the character at the end.
    if (!input_ || size >= inputCapacity_) {
        inputCapacity_ = std::max<size_t>(size + 1, 64);
        input_ = std::make_unique_for_overwrite<char[]>(inputCapacity_);
    }
    std::memcpy(input_.get(), text.data(), size);
    input_[size] = '\0';
    inputSize_ = size;
    hasInput_ = true;
}

std::string TvxRegExpr::MatchText(int32_t n) const {
    const int32_t pos = MatchPos(n);
    return pos < 0 ? std::string() : std::string(input_.get() + pos, size_t(MatchLen(n)));
}

int32_t TvxRegExpr::MatchPos(int32_t n) const {
    if (n < 0 || n >= GroupSlots || !hasInput_ || !groupStart_[n] || !groupEnd_[n]) return -1;
    if (groupEnd_[n] < groupStart_[n]) return -1;
    return int32_t(groupStart_[n] - input_.get());
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
