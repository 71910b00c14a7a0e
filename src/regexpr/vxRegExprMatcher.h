#pragma once
// The matcher: one search of one program at a time, with its own state (the input's bounds,
// the groups, the loops, the backtracking stack) and its own bounds on steps and memory.
// Several matchers may search one program at once.

#include "vxRegExprErrors.h"
#include "vxRegExprInput.h"
#include "vxRegExprProgram.h"

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

    explicit TvxRegMatcher(std::shared_ptr<const TvxRegProgram> program, TReport report = {});

    // Searches text..end from its position from; true when a match was found. A zero byte
    // follows end: the matcher may read the character there.
    bool Search(const char* text, const char* end, const char* from);
    // Bounds the memory that one search may take for backtracking, and its steps (0 = no
    // bound); a search that needs more ends without a match.
    void SetStackLimit(size_t bytes) { stackLimit_ = bytes; }
    void SetStepLimit(uint64_t steps) { stepLimit_ = steps; }
    void SetStopCheck(TStopCheck check) { stopCheck_ = std::move(check); }
    // True when the last search ended early, by a bound or a stop request, not because
    // nothing matched.
    bool Abandoned() const { return abandoned_; }
    // Where group n of the last match starts and ends; null where it took no part.
    const char* GroupStart(int32_t n) const { return groupStart_[n]; }
    const char* GroupEnd(int32_t n) const { return groupEnd_[n]; }
    void ClearGroups();

  private:
    bool SearchPositions(const char* start, const char* end);
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
    bool EnterCharStar(const uint8_t* branch, const vxre::TCharStar& star, const uint8_t*& scan);
    bool NextCharStarAttempt(const vxre::TCharStar& star, const char* save, int32_t& no,
                             const char* oldStart, const char* oldEnd);
    int32_t RegRepeat(const uint8_t* operand, int32_t max);
    bool MatchesBackRef(int32_t n, bool foldCase, const char*& cursor) const;
    bool MatchesBackRefFolded(int32_t n, const char*& cursor) const;

    void ReportError(TRegError error) const {
        if (report_) report_(error);
    }

    const std::shared_ptr<const TvxRegProgram> shared_;
    const TvxRegProgram& program_;
    const TvxRegSyntax& syntax_;
    TReport report_;

    const char* cursor_ = nullptr;
    vxre::TvxRegInput input_;
    std::array<const char*, vxre::GroupSlots> groupStart_{};
    std::array<const char*, vxre::GroupSlots> groupEnd_{};
    std::array<int32_t, vxre::MaxLoopDepth + 1> loopCounters_{};
    std::array<const char*, vxre::MaxLoopDepth + 1>
        loopStarts_{}; // where each loop's iteration began
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
        std::array<const char*, vxre::GroupSlots> groupStart, groupEnd, closedStart;
        std::array<int32_t, vxre::MaxLoopDepth + 1> loopCounters;
        std::array<const char*, vxre::MaxLoopDepth + 1> loopStarts;
        int32_t loopDepth;
    };
    TSnapshot TakeSnapshot() const;
    void RestoreSnapshot(const TSnapshot& snapshot);
    std::vector<TSnapshot> snapshots_;
    size_t StackBytes() const {
        return frames_.size() * sizeof(TFrame) + snapshots_.size() * sizeof(TSnapshot);
    }
    size_t stackLimit_ = DefaultStackLimit;
    uint64_t stepLimit_ = DefaultStepLimit;
    uint64_t steps_ = 0;
    uint64_t nextCheck_ = 0;
    TStopCheck stopCheck_;
    bool abandoned_ = false; // the search ended early: memory, steps or a stop request

    // Where each group's last complete capture began: a back-reference inside the group's
    // next iteration refers to it, as Perl's do.
    std::array<const char*, vxre::GroupSlots> closedStart_{};
    // Backtracking ends at this frame: the bottom of the body of an assertion being run.
    size_t frameFloor_ = 0;
};
