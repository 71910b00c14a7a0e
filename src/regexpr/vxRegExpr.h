#pragma once
// TvxRegExpr: a backtracking regular-expression engine over the characters of the process
// code page: UTF-8 characters of one to four bytes where the process runs in UTF-8, single
// bytes of an ANSI code page before. An expression compiles in two passes into one flat
// program of linked nodes, which the matcher walks with an explicit backtracking stack, so
// that no input can exhaust the thread's stack.

#include "vxRegExprErrors.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TvxRegExpr {
  public:
    // Modifier bits.
    static constexpr uint32_t ModI = 1, ModR = 2, ModS = 4, ModG = 8, ModM = 16, ModX = 32;
    static constexpr int32_t GroupSlots = 15;
    static constexpr int32_t MaxLoopDepth = 10;
    // Parenthesised parts inside one another, so that parsing never runs out of stack.
    static constexpr int32_t MaxNesting = 100;

    // The other case of a character of an ANSI code page (itself when it has none).
    using TFlipCase = std::function<unsigned char(unsigned char c)>;
    // Asked every few thousand steps of a search; true ends the search without a match.
    using TStopCheck = std::function<bool()>;
    // Steps one search may take unless told otherwise: far more than any reasonable line
    // needs, a few seconds at most.
    static constexpr uint64_t DefaultStepLimit = 100000000;

    TvxRegExpr();
    virtual ~TvxRegExpr();
    TvxRegExpr(const TvxRegExpr&) = delete;
    TvxRegExpr& operator=(const TvxRegExpr&) = delete;

    // Told of every error and warning, once each; this one keeps the last for LastError.
    virtual void ReportError(TRegError error);
    static std::string ErrorText(TRegError error) { return std::string(RegErrorText(error)); }
    // The last error reported, None for none; after a compile that failed, why it failed.
    TRegError LastError() const { return lastError_; }
    // Where the last compile stood when it ended, as a 0-based offset into its text; -1
    // before any.
    int32_t CompileOffset() const;

    void SetExpression(std::string_view text);
    const std::string& Expression() const { return expression_; }
    bool Compiled() const { return compiled_; }

    void SwitchModifier(int32_t index, bool on);
    uint32_t ModifierMask() const { return modifierMask_; }
    bool ApplyModifierLetters(std::string_view letters, uint32_t& modifiers) const;
    void SetLinePairedSeparator(std::string_view pair);
    // The case inversion of an ANSI code page; UTF-8 texts fold by Unicode's simple case
    // folding instead.
    void SetFlipCase(const TFlipCase& flipCase);
    // The other-case form of a character (itself when it has none).
    char32_t FlipCase(char32_t c) const;
    // Whether expression and input are UTF-8 (the default where the process code page is)
    // or single bytes of an ANSI code page.
    void SetUtf8Mode(bool on);
    bool Utf8Mode() const { return utf8Mode_; }

    // Searches the text from its start; true when a match was found.
    bool Exec(std::string_view text);
    void SetInputString(std::string_view text);
    // Searches from the 1-based offset of the held input.
    bool SearchFrom(int32_t offset);
    // Bounds the memory that one search may take for backtracking; a search that needs
    // more ends without a match.
    void SetStackLimit(size_t bytes) { stackLimit_ = bytes; }
    // Bounds the steps of one search (0 = no bound); a search that needs more ends without
    // a match.
    void SetStepLimit(uint64_t steps) { stepLimit_ = steps; }
    void SetStopCheck(TStopCheck check) { stopCheck_ = std::move(check); }
    // True when the last search ended early, by a bound or a stop request, not because
    // nothing matched.
    bool Abandoned() const { return abandoned_; }
    // Text of group n of the last match (0 = the whole match); empty when none.
    std::string MatchText(int32_t n) const;
    // Start (0-based) and length of group n, -1 when it took no part.
    int32_t MatchPos(int32_t n) const;
    int32_t MatchLen(int32_t n) const;

    bool EnsureProgram();
    void CompileExpression();
    void DropProgram();

    // The compiled program and its search hints, for inspection.
    std::string_view ProgramBytes() const {
        return {reinterpret_cast<const char*>(program_.get()), size_t(program_ ? programSize_ : 0)};
    }
    const std::bitset<256>& StartSet() const { return startSet_; }
    unsigned char FirstLiteral() const { return firstLiteral_; }
    bool Anchored() const { return anchored_; }
    std::string_view MustText() const;

  private:
    // Compiler.
    bool CompileProgram(const char* text);
    // What a parenthesised part compiles to: the whole expression, a group that captures,
    // one that does not, or the body of an atomic group or look-ahead.
    enum class TRegKind { Whole, Capturing, Plain, AssertionBody };
    int32_t ParseReg(TRegKind kind, uint32_t& flags);
    int32_t ParseGroupExtension(uint32_t& flags);
    int32_t ParseAssertion(uint8_t op, uint32_t& flags);
    int32_t ParseLookBehind(bool negative, uint32_t& flags);
    int32_t FixedLength(const uint8_t* scan, const uint8_t* stop) const;
    void MakePossessive(int32_t at);
    void MarkStateBody(int32_t node, int32_t groupsBefore, int32_t loopsBefore);
    int32_t ParseAlternative(uint32_t& flags);
    int32_t ParseQuantified(uint32_t& flags);
    int32_t ParseAtom(uint32_t& flags);
    int32_t ParseClass(uint32_t& flags);
    int32_t ParseLiteralRun(uint32_t& flags);
    int32_t EmitLetterClass(const std::string& letters, bool negative);
    int32_t EmitLiteral(std::string_view text);
    int32_t ParseBraceCount(const char* first, const char* last);
    char32_t PatternCharAt(const char* p, int32_t& width) const;
    size_t LastCharStart(std::string_view run) const;
    bool DecodeEscape(char32_t& result);
    int HexDigitValue(char c);
    void ComputeHints(uint32_t topFlags);
    void CollectStartSet(const uint8_t* start);
    void AddLeadBytes(char32_t first, char32_t last);
    const uint8_t* CollectFromNode(const uint8_t* scan, std::vector<const uint8_t*>& pending);

    void ReportOnce(TRegError error);
    int32_t EmitOp(uint8_t op);
    void EmitByte(uint8_t b);
    void EmitInt(int32_t value);
    void InsertOp(uint8_t op, int32_t at, int32_t size);
    void LinkTail(int32_t node, int32_t target);
    void LinkBranchTail(int32_t node, int32_t target);
    void EmitBracesOp(int32_t at, int32_t min, int32_t max, bool nonGreedy);
    void EmitLoopOps(int32_t at, int32_t min, int32_t max, bool nonGreedy);
    void EmitStarBranches(int32_t at);
    void EmitPlusBranches(int32_t at);
    void EmitOptionalBranches(int32_t at);

    // Class building.
    struct TClassBuilder;
    void AddClassMember(TClassBuilder& cls, char32_t c);
    void AddClassRange(TClassBuilder& cls, char32_t first, char32_t last);
    void AddEscapeMembers(TClassBuilder& cls, const std::string& letters, bool complement);
    bool AddAlphabetRange(TClassBuilder& cls, char32_t first, char32_t last);
    bool FinishClass(TClassBuilder& cls);
    bool FinishCharacterClass(TClassBuilder& cls);
    void EmitByteClass(TClassBuilder& cls);

    // Matcher.
    bool SearchPositions(const char* start, const char* end);
    void ClearGroups();
    bool TryAt(const char* position);
    bool Match(const uint8_t* start);
    bool RunForward(const uint8_t*& scan);
    bool Backtrack(const uint8_t*& scan);
    bool GoesOn();
    int32_t RepeatUnit(const uint8_t* operand) const;
    const char* StepRepeat(const uint8_t* operand, const char* p, bool forward) const;
    bool EnterRepeat(const uint8_t* node, const uint8_t*& scan);
    bool NextRepeatAttempt(const uint8_t* node, const char*& pos, int32_t& no, int32_t maxCount);
    void EnterLoopEntry(const uint8_t* entry);
    bool EnterLoop(const uint8_t* node, const uint8_t*& scan);
    void LeaveLoop(const uint8_t* node, const uint8_t*& scan);
    bool IterationWasEmpty(const uint8_t* operand) const;
    bool RunAssertion(const uint8_t* node);
    bool SubMatch(const uint8_t* body);
    const char* StepBack(const char* p, int32_t characters) const;
    // A greedy star of one character written with branches ("X*" or "(X)*").
    struct TCharStar {
        const uint8_t* x;      // the one-character node
        const uint8_t* open;   // the group's open node, or null
        const uint8_t* close;  // the group's close node, or null
        const uint8_t* follow; // what follows the star
    };
    bool FindCharStar(const uint8_t* branch, TCharStar& star) const;
    bool EnterCharStar(const uint8_t* branch, const TCharStar& star, const uint8_t*& scan);
    bool NextCharStarAttempt(const TCharStar& star, const char* save, int32_t& no,
                             const char* oldStart, const char* oldEnd);
    int32_t MatchedCharWidth(const uint8_t* node, const char* p) const;
    const char* CharBefore(const uint8_t* node, const char* p, const char* floor) const;
    int32_t RegRepeat(const uint8_t* operand, int32_t max);
    bool IsWordChar(const char* p) const;
    const char* NextLineStop(const char* p) const;
    bool IsLineBreakAt(const char* p) const;
    bool MatchesBackRef(int32_t n, bool foldCase, const char*& cursor) const;
    bool MatchesBackRefFolded(int32_t n, const char*& cursor) const;
    bool MatchesFolded(const uint8_t* text, const char*& cursor) const;

    // Expression and program.
    std::string expression_;
    bool hasExpression_ = false;
    bool compiled_ = false;
    std::unique_ptr<uint8_t[]> program_;
    int32_t programSize_ = 0;

    // Compile state.
    TRegError lastError_ = TRegError::None;
    const char* compileText_ = nullptr;
    const char* parsePos_ = nullptr;
    int32_t nextGroupNumber_ = 1;
    uint32_t activeModifiers_ = 0;
    uint32_t programModifiers_ = 0;
    int32_t emitPos_ = 0;     // bytes counted (sizing) or written (emitting)
    uint8_t* code_ = nullptr; // null during the sizing pass

    // Settings.
    bool utf8Mode_;
    uint32_t modifierMask_ = 0;
    std::string blankLetters_;
    std::string wordLetters_;
    std::string lineBreakLetters_;
    std::bitset<256> wordSet_;
    std::bitset<256> lineBreakSet_;
    std::bitset<256>
        lineStops_; // the characters that may end a "." run: breaks and the pair's head
    std::string lineStopLetters_; // the same as a list, searched with memchr when short
    bool pairAssigned_ = false;
    unsigned char pairHead_ = 0, pairTail_ = 0;
    std::array<unsigned char, 256> flipTable_{};

    // Search hints.
    std::bitset<256> startSet_;
    unsigned char firstLiteral_ = 0;
    bool anchored_ = false;
    int32_t mustOffset_ = -1;
    int32_t mustLength_ = 0;

    // Input and match state.
    // Kept from search to search, so that a new line of no greater length is only copied;
    // a zero byte follows the text.
    std::unique_ptr<char[]> input_;
    size_t inputSize_ = 0;
    size_t inputCapacity_ = 0;
    bool hasInput_ = false;
    const char* cursor_ = nullptr;
    const char* inputStart_ = nullptr;
    const char* inputEnd_ = nullptr;
    std::array<const char*, GroupSlots> groupStart_{};
    std::array<const char*, GroupSlots> groupEnd_{};
    std::array<int32_t, MaxLoopDepth + 1> loopCounters_{};
    std::array<const char*, MaxLoopDepth + 1> loopStarts_{}; // where each loop's iteration began
    int32_t loopDepth_ = 0;

    // The backtracking stack: one frame per choice point, and one per undo step for every
    // change of the group and loop state, so that backtracking to a choice point finds
    // the whole state as it was there.
    struct TFrame {
        const uint8_t* node;
        const char* saved;
        int32_t a;
        int32_t b;
    };
    // Grows in chunks, so that a deep stack never needs one huge block or a copy of it.
    template <typename T> class TChunkedStack {
      public:
        static constexpr size_t ChunkItems = 4096;
        bool empty() const { return size_ == 0; }
        size_t size() const { return size_; }
        T& at(size_t i) { return chunks_[i / ChunkItems][i % ChunkItems]; }
        const T& at(size_t i) const { return chunks_[i / ChunkItems][i % ChunkItems]; }
        T& back() { return at(size_ - 1); }
        // The matcher's hottest call: inlined into it.
        [[gnu::always_inline]] void push_back(const T& item) {
            if (size_ == capacity_) Grow();
            chunks_[size_ / ChunkItems][size_ % ChunkItems] = item;
            ++size_;
        }
        void pop_back() { --size_; }
        void truncate(size_t size) { size_ = size; }
        // Empties the stack, keeping a few chunks for the next search.
        void clear() {
            size_ = 0;
            if (chunks_.size() > 64) chunks_.resize(64);
            capacity_ = chunks_.size() * ChunkItems;
        }

      private:
        // Kept out of push_back, so that the common case stays small enough to inline.
        void Grow() {
            chunks_.push_back(std::make_unique<T[]>(ChunkItems));
            capacity_ += ChunkItems;
        }
        std::vector<std::unique_ptr<T[]>> chunks_;
        size_t size_ = 0;
        size_t capacity_ = 0;
    };
    TChunkedStack<TFrame> frames_;
    // The group and loop state before an assertion or atomic group that matched, whose
    // frames were given up: backtracking past it puts that state back.
    struct TSnapshot {
        std::array<const char*, GroupSlots> groupStart, groupEnd, closedStart;
        std::array<int32_t, MaxLoopDepth + 1> loopCounters;
        std::array<const char*, MaxLoopDepth + 1> loopStarts;
        int32_t loopDepth;
    };
    TSnapshot TakeSnapshot() const;
    void RestoreSnapshot(const TSnapshot& snapshot);
    std::vector<TSnapshot> snapshots_;
    size_t StackBytes() const {
        return frames_.size() * sizeof(TFrame) + snapshots_.size() * sizeof(TSnapshot);
    }
    size_t stackLimit_;
    uint64_t stepLimit_ = DefaultStepLimit;
    uint64_t steps_ = 0;
    uint64_t nextCheck_ = 0;
    TStopCheck stopCheck_;
    bool abandoned_ = false; // the search ended early: memory, steps or a stop request

    // Kept after the rest, so that the members that every search reads keep their places.
    int32_t nesting_ = 0;       // of the parenthesised parts being parsed
    int32_t sizingReports_ = 0; // the errors that the sizing pass told
    int32_t loopsEmitted_ = 0;
    bool usesBackRefs_ = false; // only then do groups keep where their last capture began
    // The characters of each group compiled so far when every match of it has as many, else
    // -1: a back-reference to it has that fixed length in a look-behind.
    std::array<int32_t, GroupSlots> groupLengths_{};
    // Where each group's last complete capture began: a back-reference inside the group's
    // next iteration refers to it, as Perl's do.
    std::array<const char*, GroupSlots> closedStart_{};
    // Backtracking ends at this frame: the bottom of the body of an assertion being run.
    size_t frameFloor_ = 0;
};
