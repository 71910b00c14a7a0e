// The expression object: settings, input, match results, and the program's lifetime.
#include "vxRegExpr.h"

#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "vxRegExprCompiler.h"
#include "vxRegExprOps.h"

#include <algorithm>
#include <cstring>

using namespace vxre;

namespace {

unsigned char SystemFlipCase(unsigned char c) {
    const unsigned char upper = AnsiUpperChar(c);
    return upper != c ? upper : AnsiLowerChar(c);
}

} // namespace

TvxRegExpr::TvxRegExpr() {
    syntax_.utf8 = ProcessCodePage() == codepage::Utf8;
    SwitchModifier(1, false); // i
    SwitchModifier(2, true);  // r
    SwitchModifier(3, true);  // s
    SwitchModifier(4, true);  // g
    SwitchModifier(5, false); // m
    syntax_.blankLetters = std::string(" \t\n\r\f", 5);
    syntax_.wordLetters = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    for (unsigned char c : syntax_.wordLetters)
        syntax_.wordSet.set(c);
    SetFlipCase(SystemFlipCase);
    syntax_.lineBreakLetters = "\r\n";
    for (unsigned char c : syntax_.lineBreakLetters)
        syntax_.lineBreakSet.set(c); // the letters never change
    SetLinePairedSeparator("\r\n");
}

TvxRegExpr::~TvxRegExpr() = default;

void TvxRegExpr::ReportError(TRegError error) {
    lastError_ = error;
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
    if (hasExpression_ && text == expression_ && program_) return;
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
    syntax_.modifiers = on ? (syntax_.modifiers | bit) : (syntax_.modifiers & ~bit);
}

void TvxRegExpr::SetLinePairedSeparator(std::string_view pair) {
    if (pair.empty()) {
        if (syntax_.pairAssigned) {
            syntax_.pairAssigned = false;
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
    if (syntax_.pairAssigned && head == syntax_.pairHead && tail == syntax_.pairTail) return;
    syntax_.pairAssigned = true;
    syntax_.pairHead = head;
    syntax_.pairTail = tail;
    DropProgram();
}

void TvxRegExpr::SetFlipCase(const TFlipCase& flipCase) {
    for (int c = 0; c < 256; ++c)
        syntax_.flipTable[size_t(c)] = flipCase(static_cast<unsigned char>(c));
    DropProgram();
}

void TvxRegExpr::SetUtf8Mode(bool on) {
    if (on == syntax_.utf8) return;
    syntax_.utf8 = on;
    DropProgram();
}

bool TvxRegExpr::Exec(std::string_view text) {
    SetInputString(text);
    return SearchFrom(1);
}

void TvxRegExpr::SetInputString(std::string_view text) {
    // Only a match leaves groups behind: they were of the input before.
    if (matcher_ && matcher_->GroupEnd(0)) matcher_->ClearGroups();
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
    if (n < 0 || n >= GroupSlots || !hasInput_ || !matcher_) return -1;
    const char* start = matcher_->GroupStart(n);
    const char* end = matcher_->GroupEnd(n);
    if (!start || !end || end < start) return -1;
    return int32_t(start - input_.get());
}

int32_t TvxRegExpr::MatchLen(int32_t n) const {
    return MatchPos(n) < 0 ? -1 : int32_t(matcher_->GroupEnd(n) - matcher_->GroupStart(n));
}

bool TvxRegExpr::SearchFrom(int32_t offset) {
    if (!EnsureProgram()) return false;
    if (!hasInput_) {
        ReportError(TRegError::NoInputText);
        return false;
    }
    if (offset < 1) {
        ReportError(TRegError::OffsetBelowOne);
        return false;
    }
    if (size_t(offset) > inputSize_ + 1) {
        matcher_->ClearGroups(); // a search starts without groups
        return false;
    }
    return matcher_->Search(input_.get(), input_.get() + inputSize_, input_.get() + offset - 1);
}

void TvxRegExpr::SetStackLimit(size_t bytes) {
    bounds_.stackBytes = bytes;
    if (matcher_) matcher_->SetBounds(bounds_);
}

void TvxRegExpr::SetStepLimit(uint64_t steps) {
    bounds_.steps = steps;
    if (matcher_) matcher_->SetBounds(bounds_);
}

void TvxRegExpr::SetStopCheck(TStopCheck check) {
    bounds_.stopCheck = std::move(check);
    if (matcher_) matcher_->SetBounds(bounds_);
}

bool TvxRegExpr::EnsureProgram() {
    if (program_ && syntax_.modifiers != program_->syntax.modifiers) DropProgram();
    if (!program_) CompileExpression();
    return program_ != nullptr;
}

void TvxRegExpr::CompileExpression() {
    if (!hasExpression_) {
        ReportError(TRegError::NoExpression);
        return;
    }
    const TRegCompiled compiled = TvxRegCompiler::Compile(
        expression_.c_str(), syntax_, [this](TRegError error) { ReportError(error); });
    compileOffset_ = compiled.offset;
    if (!compiled.program) return;
    if (compiled.program->code[0] != ProgramSignature) {
        ReportError(TRegError::CorruptedProgram);
        return;
    }
    program_ = compiled.program;
    matcher_ =
        std::make_unique<TvxRegMatcher>(program_, [this](TRegError error) { ReportError(error); });
    matcher_->SetBounds(bounds_);
}

void TvxRegExpr::DropProgram() {
    program_.reset();
    matcher_.reset();
}
