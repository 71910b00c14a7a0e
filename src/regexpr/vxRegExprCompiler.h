#pragma once
// The compiler: an expression text and its settings to an immutable program, in a sizing
// pass and an emitting pass that make identical decisions, and the program's search hints;
// or the error that ends it.

#include "vxRegExprClass.h"
#include "vxRegExprEmitter.h"
#include "vxRegExprErrors.h"
#include "vxRegExprProgram.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What a compile gives: the program, or none and why, with where the compile stood.
struct TRegCompiled {
    std::shared_ptr<const TvxRegProgram> program;
    TRegError error = TRegError::None; // the last error told, when there is no program
    int32_t offset = -1;               // 0-based, into the text
};

class TvxRegCompiler {
  public:
    // Told of every error and warning, once each.
    using TReport = std::function<void(TRegError error)>;
    static TRegCompiled Compile(const char* text, const TvxRegSyntax& syntax,
                                const TReport& report);

  private:
    TvxRegCompiler(const TvxRegSyntax& syntax, const TReport& report)
        : syntax_(syntax), report_(report) {}
    bool CompileProgram(const char* text);
    void ReportOnce(TRegError error);
    // What a parenthesised part compiles to: the whole expression, a group that captures,
    // one that does not, or the body of an atomic group or look-ahead.
    enum class TRegKind { Whole, Capturing, Plain, AssertionBody };
    int32_t ParseReg(TRegKind kind, uint32_t& flags);
    int32_t ParseGroupExtension(uint32_t& flags);
    int32_t ParseAssertion(uint8_t op, uint32_t& flags);
    int32_t ParseLookBehind(bool negative, uint32_t& flags);
    void MarkStateBody(int32_t node, int32_t groupsBefore, int32_t loopsBefore);
    int32_t ParseAlternative(uint32_t& flags);
    int32_t ParseQuantified(uint32_t& flags);
    // A quantifier: its operator ('{' for counts), its counts and its kind.
    struct TRepeat {
        char op;
        int32_t min, max;
        bool nonGreedy;
    };
    bool ReadBraceCounts(int32_t& min, int32_t& max);
    void EmitRepeat(const TRepeat& repeat, int32_t atom, uint32_t atomFlags, uint32_t& flags);
    int32_t ParseAtom(uint32_t& flags);
    int32_t ParseParenthesised(uint32_t& flags);
    int32_t SkipFreeSpacing();
    int32_t ParseEscape(uint32_t& flags);
    int32_t EmitBackRef(int32_t group, uint32_t& flags);
    int32_t EmitEscapedCharacter();
    int32_t ParseClass(uint32_t& flags);
    // The last member read of a class, which may start a range.
    struct TClassCursor {
        bool rangeMayFollow = false;
        char32_t rangeStart = 0;
        void Member(TvxRegClassWriter& cls, char32_t c) {
            cls.AddMember(c);
            rangeStart = c;
            rangeMayFollow = true;
        }
    };
    bool ParseClassItem(TvxRegClassWriter& cls, TClassCursor& cursor);
    bool ParseClassRange(TvxRegClassWriter& cls, TClassCursor& cursor);
    bool ParseClassEscape(TvxRegClassWriter& cls, TClassCursor& cursor);
    int32_t ParseLiteralRun(uint32_t& flags);
    int32_t EmitLetterClass(const std::string& letters, bool negative);
    int32_t EmitLiteral(std::string_view text);
    void EmitLoop(int32_t at, int32_t min, int32_t max, bool nonGreedy);
    bool DecodeEscape(char32_t& result);
    unsigned HexDigitValue(char c);

    int32_t FinishClass(TvxRegClassWriter& cls);

    const TvxRegSyntax& syntax_;
    const TReport& report_;
    TRegError lastError_ = TRegError::None;
    std::unique_ptr<TvxRegProgram> built_; // the program being made
    const char* compileText_ = nullptr;
    const char* parsePos_ = nullptr;
    int32_t nextGroupNumber_ = 1;
    uint32_t activeModifiers_ = 0;
    TvxRegEmitter emit_;
    int32_t nesting_ = 0;       // of the parenthesised parts being parsed
    int32_t sizingReports_ = 0; // the errors that the sizing pass told
    int32_t loopsEmitted_ = 0;
    // The characters of each group compiled so far when every match of it has as many, else
    // -1: a back-reference to it has that fixed length in a look-behind.
    std::array<int32_t, vxre::GroupSlots> groupLengths_{};
};
