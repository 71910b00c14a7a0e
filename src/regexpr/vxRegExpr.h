#pragma once
// TvxRegExpr: a backtracking regular-expression engine over the characters of the process
// code page: UTF-8 characters of one to four bytes where the process runs in UTF-8, single
// bytes of an ANSI code page before. The object holds the settings, the expression and one
// input; the compiler (vxRegExprCompiler) makes the expression an immutable program
// (vxRegExprProgram), which its matcher (vxRegExprMatcher) walks with an explicit
// backtracking stack, so that no input can exhaust the thread's stack.

#include "vxRegExprErrors.h"
#include "vxRegExprMatcher.h"
#include "vxRegExprProgram.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TvxRegExpr {
  public:
    // Modifier bits.
    static constexpr uint32_t ModI = vxre::ModI, ModR = vxre::ModR, ModS = vxre::ModS,
                              ModG = vxre::ModG, ModM = vxre::ModM, ModX = vxre::ModX;
    static constexpr int32_t GroupSlots = vxre::GroupSlots;
    static constexpr int32_t MaxLoopDepth = vxre::MaxLoopDepth;
    static constexpr int32_t MaxNesting = vxre::MaxNesting;

    // The other case of a character of an ANSI code page (itself when it has none).
    using TFlipCase = std::function<unsigned char(unsigned char c)>;
    using TStopCheck = TvxRegMatcher::TStopCheck;
    static constexpr uint64_t DefaultStepLimit = TvxRegMatcher::DefaultStepLimit;

    TvxRegExpr();
    virtual ~TvxRegExpr();
    TvxRegExpr(const TvxRegExpr&) = delete;
    TvxRegExpr& operator=(const TvxRegExpr&) = delete;

    // Told of every error and warning, once each; this one keeps the last for LastError.
    virtual void ReportError(TRegError error);
    // The last error reported, None for none; after a compile that failed, why it failed.
    TRegError LastError() const { return lastError_; }
    // Where the last compile stood when it ended, as a 0-based offset into its text; -1
    // before any.
    int32_t CompileOffset() const { return compileOffset_; }

    void SetExpression(std::string_view text);
    const std::string& Expression() const { return expression_; }
    bool Compiled() const { return program_ != nullptr; }

    void SwitchModifier(int32_t index, bool on);
    uint32_t ModifierMask() const { return syntax_.modifiers; }
    void SetLinePairedSeparator(std::string_view pair);
    // The case inversion of an ANSI code page; UTF-8 texts fold by Unicode's simple case
    // folding instead.
    void SetFlipCase(const TFlipCase& flipCase);
    // The other-case form of a character (itself when it has none).
    char32_t FlipCase(char32_t c) const { return syntax_.FlipCase(c); }
    // Whether expression and input are UTF-8 (the default where the process code page is)
    // or single bytes of an ANSI code page.
    void SetUtf8Mode(bool on);
    bool Utf8Mode() const { return syntax_.utf8; }

    // Searches the text from its start; true when a match was found.
    bool Exec(std::string_view text);
    void SetInputString(std::string_view text);
    // Searches from the 1-based offset of the held input.
    bool SearchFrom(int32_t offset);
    // Bounds the memory that one search may take for backtracking; a search that needs
    // more ends without a match.
    void SetStackLimit(size_t bytes);
    // Bounds the steps of one search (0 = no bound); a search that needs more ends without
    // a match.
    void SetStepLimit(uint64_t steps);
    void SetStopCheck(TStopCheck check);
    // True when the last search ended early, by a bound or a stop request, not because
    // nothing matched.
    bool Abandoned() const { return matcher_ && matcher_->Abandoned(); }
    // Text of group n of the last match (0 = the whole match); empty when none.
    std::string MatchText(int32_t n) const;
    // Start (0-based) and length of group n, -1 when it took no part.
    int32_t MatchPos(int32_t n) const;
    int32_t MatchLen(int32_t n) const;

    // Compiles the expression unless its program is at hand; false when it does not compile.
    bool EnsureProgram();
    // The compiled program with its search hints, null before a compile: for inspection, and
    // for matchers of other threads.
    const std::shared_ptr<const TvxRegProgram>& Program() const { return program_; }

  private:
    void CompileExpression();
    void DropProgram();

    std::string expression_;
    bool hasExpression_ = false;
    TvxRegSyntax syntax_; // the settings the next compile takes
    TRegError lastError_ = TRegError::None;
    int32_t compileOffset_ = -1;
    std::shared_ptr<const TvxRegProgram> program_;
    std::unique_ptr<TvxRegMatcher> matcher_; // searches the program

    // Kept from search to search, so that a new line of no greater length is only copied;
    // a zero byte follows the text.
    std::unique_ptr<char[]> input_;
    size_t inputSize_ = 0;
    size_t inputCapacity_ = 0;
    bool hasInput_ = false;

    // The bounds that every matcher of this object's programs takes.
    TvxRegMatcher::TBounds bounds_;
};
