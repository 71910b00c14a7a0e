#pragma once
// The matcher: one search of one program at a time, with its own state (the input's bounds,
// the groups, the loops, the backtracking stack) and its own bounds on steps and memory.
// Several matchers may search one program at once.

#include "vxRegExprErrors.h"
#include "vxRegExprInput.h"
#include "vxRegExprProgram.h"
#include "vxRegExprStack.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vxre {
// A greedy star of one character written with branches ("X*" or "(X)*").
struct TCharStar {
    const uint8_t* x;      // the one-character node
    const uint8_t* open;   // the group's open node, or null
    const uint8_t* close;  // the group's close node, or null
    const uint8_t* follow; // what follows the star
};

// The groups and loops of a search: what backtracking puts back step by step, and a
// snapshot as a whole.
struct TSearchState {
    std::array<const char*, GroupSlots> groupStart{};
    std::array<const char*, GroupSlots> groupEnd{};
    // Where each group's last complete capture began: a back-reference inside the group's
    // next iteration refers to it, as Perl's do.
    std::array<const char*, GroupSlots> closedStart{};
    std::array<int32_t, MaxLoopDepth + 1> loopCounters{};
    std::array<const char*, MaxLoopDepth + 1> loopStarts{}; // where each loop's iteration began
    int32_t loopDepth = 0;

    // Clears group 0 and the groups 1 to groupCount, the only ones that a program sets.
    void ClearGroups(int32_t groupCount) {
        const size_t slots = size_t(groupCount) + 1;
        std::fill_n(groupStart.begin(), slots, nullptr);
        std::fill_n(groupEnd.begin(), slots, nullptr);
        std::fill_n(closedStart.begin(), slots, nullptr);
    }
    // Whether the iteration of a star or plus written with branches that just ended at
    // cursor consumed nothing. Its operand is a group (or "." without the s modifier, which
    // always consumes), so the group's start is where the iteration began.
    bool IterationWasEmpty(const uint8_t* operand, const char* cursor) const {
        return IsOpen(operand[0]) && groupStart[operand[0] - opOpenBase] == cursor;
    }
    // The length of one repetition: a back-reference repeats its group's whole text (0 when
    // that text is empty), a literal its one character; 1 for the other operands of a
    // program of bytes, and -1 for the one-character nodes of UTF-8, whose characters
    // differ in width.
    int32_t RepeatUnit(const uint8_t* operand) const;
};
} // namespace vxre

class TvxRegMatcher {
  public:
    // Asked every few thousand steps of a search; true ends the search without a match.
    using TStopCheck = std::function<bool()>;
    // Told of the errors a search meets (a corrupted program, loops nested too deeply).
    using TReport = std::function<void(TRegError error)>;
    // Steps one search may take unless told otherwise: far more than any reasonable line
    // needs, a few seconds at most.
    static constexpr uint64_t DefaultStepLimit = 100000000;
    // By default the backtracking stack may not grow beyond this many bytes, in both builds:
    // lines of a few megabytes fit with the common patterns, and a desktop tool can afford it.
    static constexpr size_t DefaultStackLimit = size_t(256) << 20;

    // How far one search may go: the bytes of its backtracking stack, its steps (0 = no
    // bound) and a stop request. A search that needs more ends without a match.
    struct TBounds {
        size_t stackBytes = DefaultStackLimit;
        uint64_t steps = DefaultStepLimit;
        TStopCheck stopCheck;
    };

    explicit TvxRegMatcher(std::shared_ptr<const TvxRegProgram> program, TReport report = {});

    // Searches text..end from its position from; true when a match was found. A zero byte
    // follows end: the matcher may read the character there.
    bool Search(const char* text, const char* end, const char* from);
    void SetBounds(TBounds bounds) { bounds_ = std::move(bounds); }
    // True when the last search ended early, by a bound or a stop request, not because
    // nothing matched.
    bool Abandoned() const { return abandoned_; }
    // Where group n of the last match starts and ends; null where it took no part.
    const char* GroupStart(int32_t n) const { return state_.groupStart[n]; }
    const char* GroupEnd(int32_t n) const { return state_.groupEnd[n]; }
    void ClearGroups() { state_.ClearGroups(program_.groupCount); }

  private:
    bool SearchPositions(const char* start, const char* end);
    bool TryAt(const char* position);
    bool SubMatch(const uint8_t* body);
    bool GoesOn();
    bool RunForward(const uint8_t*& scan);
    bool EnterBranch(const uint8_t*& scan);
    bool RunOtherNode(const uint8_t*& scan);
    bool MatchesAtCursor(const uint8_t* node);
    void OpenGroup(const uint8_t* node);
    void CloseGroup(const uint8_t* node);
    bool EnterRepeat(const uint8_t* node, const uint8_t*& scan);
    int32_t RegRepeat(const uint8_t* operand, int32_t max);
    bool NextRepeatAttempt(const uint8_t* node, const char*& pos, int32_t& no, int32_t maxCount);
    const char* StepRepeat(const uint8_t* operand, const char* p, bool forward) const;
    bool EnterCharStar(const uint8_t* branch, const vxre::TCharStar& star, const uint8_t*& scan);
    bool NextCharStarAttempt(const vxre::TCharStar& star, const char* save, int32_t& no,
                             const char* oldStart, const char* oldEnd);
    bool EnterLoop(const uint8_t* node, const uint8_t*& scan);
    bool RunAssertion(const uint8_t* node);

    struct TFrame;
    bool Backtrack(const uint8_t*& scan);
    bool RetryCharStar(TFrame& frame, const uint8_t*& scan);
    bool RetryRepeat(TFrame& frame, const uint8_t*& scan);
    bool RetryLoop(TFrame& frame, const uint8_t*& scan);

    const std::shared_ptr<const TvxRegProgram> shared_;
    const TvxRegProgram& program_;
    const TvxRegSyntax& syntax_;
    const TReport report_; // never empty

    const char* cursor_ = nullptr;
    vxre::TvxRegInput input_;
    vxre::TSearchState state_;

    // The backtracking stack: one frame per choice point, and one per undo step for every
    // change of the group and loop state, so that backtracking to a choice point finds
    // the whole state as it was there.
    struct TFrame {
        const uint8_t* node;
        const char* saved;
        int32_t a;
        int32_t b;
    };
    vxre::TChunkedStack<TFrame> frames_;
    // The state before an assertion or atomic group that matched, whose frames were given
    // up: backtracking past it puts that state back.
    std::vector<vxre::TSearchState> snapshots_;
    TBounds bounds_;
    uint64_t steps_ = 0;
    uint64_t nextCheck_ = 0;
    bool abandoned_ = false; // the search ended early: memory, steps or a stop request
    // Backtracking ends at this frame: the bottom of the body of an assertion being run.
    size_t frameFloor_ = 0;
};
