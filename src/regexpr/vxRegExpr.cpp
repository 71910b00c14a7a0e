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

unsigned char SystemFlipCase(unsigned char c) {
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
    SetFlipCase(SystemFlipCase);
    lineBreakLetters_ = "\r\n";
    for (unsigned char c : lineBreakLetters_)
        lineBreakSet_.set(c); // the letters never change
    SetLinePairedSeparator("\r\n");
}

TvxRegExpr::~TvxRegExpr() = default;

void TvxRegExpr::ReportError(TRegError error) {
    lastError_ = error;
}

int32_t TvxRegExpr::CompileOffset() const {
    return compileText_ && parsePos_ ? int32_t(parsePos_ - compileText_) : -1;
}

std::string_view RegErrorText(TRegError error) {
    switch (error) {
#define VXRE_ERROR_TEXT(name, number, text)                                                        \
    case TRegError::name:                                                                          \
        return text;
        VXRE_ERRORS(VXRE_ERROR_TEXT)
#undef VXRE_ERROR_TEXT
    }
    return "Unknown error";
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
        ReportError(TRegError::ModifierIndexOutOfRange);
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
        ReportError(TRegError::BadPairedLineSeparator);
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

void TvxRegExpr::SetFlipCase(const TFlipCase& flipCase) {
    for (int c = 0; c < 256; ++c)
        flipTable_[c] = flipCase(static_cast<unsigned char>(c));
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
        ReportError(TRegError::CorruptedProgram);
        return false;
    }
    return true;
}

void TvxRegExpr::CompileExpression() {
    if (!hasExpression_) {
        ReportError(TRegError::NoExpression);
        return;
    }
    CompileProgram(expression_.c_str());
}

void TvxRegExpr::DropProgram() {
    program_.reset();
    programSize_ = 0;
}
