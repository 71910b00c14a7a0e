// The matcher: the search driver and the backtracking interpreter of the program.
#include "vxRegExprMatcher.h"

#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprOps.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace vxre;

namespace {

// Marks the frame of a one-character star counted at once.
constexpr int32_t CharStarFrame = 1;

// The frames of a loop node. Undo steps: LoopRestore puts back the counter and the
// iteration start of the loop (a, saved), LoopLeft enters the loop again that was left.
// Choice points: LoopGreedyExit leaves the loop after its body failed, LoopLazyEnter runs
// the body once more after what follows the loop failed.
enum : int32_t { LoopRestore, LoopLeft, LoopGreedyExit, LoopLazyEnter };

// Steps between two looks at the step bound and the stop request.
constexpr uint64_t StepsBetweenChecks = 4096;

// What follows a star or plus written with branches, given its first branch: the second
// branch's empty alternative leads there.
const uint8_t* AfterBranchRepeat(const uint8_t* firstBranch) {
    return NextNode(NextNode(firstBranch) + NodeHeader);
}

unsigned char LiteralAhead(const uint8_t* node);

// A greedy star of one character, written with branches: "X*" with X a node that matches
// exactly one character (as "." is when it stops at line breaks), or "(X)*". Matched
// node by node it would keep three frames per character; counted here like a repeat, it
// tries the same continuations in the same order with the same group positions.
bool FindCharStar(const uint8_t* branch, TCharStar& star) {
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
    case opExact:
    case opExactCI:
        return star.x[NodeHeader] != 0 && star.x[NodeHeader + 1] == 0;
    case opExactFold: {
        size_t pos = 0;
        const std::string_view folded(reinterpret_cast<const char*>(star.x + NodeHeader));
        NextUtf8(folded, pos);
        return pos == folded.size();
    }
    default:
        return IsOneCharacterNode(star.x[0]);
    }
}

} // namespace

TvxRegMatcher::TvxRegMatcher(std::shared_ptr<const TvxRegProgram> program, TReport report)
    : shared_(std::move(program)), program_(*shared_), syntax_(program_.syntax),
      report_(report ? std::move(report) : [](TRegError) {}), input_(program_) {}

bool TvxRegMatcher::Search(const char* text, const char* end, const char* from) {
    // Only a match leaves groups behind, group 0 among them; a search starts without.
    if (state_.groupEnd[0]) ClearGroups();
    if (program_.mustOffset >= 0 && program_.mustLength > 0) {
        const std::string_view must = program_.MustText();
        if (std::string_view(from, size_t(end - from)).find(must) == std::string_view::npos)
            return false;
    }
    input_.start = text;
    input_.end = end;
    state_.loopDepth = 0;
    abandoned_ = false;
    steps_ = 0;
    nextCheck_ = StepsBetweenChecks;
    bool found = false;
    try {
        found = SearchPositions(from, end);
    } catch (const std::bad_alloc&) {
        // The memory ran out before the stack reached its bound (a 32-bit process with
        // a fragmented address space): the search ends as one that went past the bound.
        abandoned_ = true;
    }
    // Gives back what a long line took, but for a few chunks kept for the next search.
    frames_.clear();
    snapshots_.clear(); // a failed attempt leaves none; a match or a bound may
    frameFloor_ = 0;
    if (abandoned_) ClearGroups(); // the attempt ended without undoing its steps
    return found;
}

namespace {
// The end of the run of characters from p on, up to stop, that a node of one byte each
// matches; null for a node of another kind.
const char* ByteRunEnd(const uint8_t* node, const char* p, const char* stop,
                       const TvxRegSyntax& syntax) {
    const uint8_t* arg = node + NodeHeader;
    switch (node[0]) {
    case opAnyChar:
        return stop;
    case opExact:
        if (arg[0] && arg[1]) return nullptr; // one character of several bytes
        while (p < stop && static_cast<unsigned char>(*p) == arg[0])
            ++p;
        return p;
    case opExactCI: {
        const unsigned char other = syntax.flipTable[arg[0]];
        while (p < stop && (static_cast<unsigned char>(*p) == arg[0] ||
                            static_cast<unsigned char>(*p) == other))
            ++p;
        return p;
    }
    case opDigit:
        while (p < stop && IsDigit(*p))
            ++p;
        return p;
    case opNonDigit:
        while (p < stop && !IsDigit(*p))
            ++p;
        return p;
    case opInTriple:
        while (p < stop && (*p == char(arg[0]) || *p == char(arg[1]) || *p == char(arg[2])))
            ++p;
        return p;
    case opNotInTriple:
        while (p < stop && *p != char(arg[0]) && *p != char(arg[1]) && *p != char(arg[2]))
            ++p;
        return p;
    case opInSet:
        while (p < stop && (arg[static_cast<unsigned char>(*p) >> 3] & (1u << (*p & 7))))
            ++p;
        return p;
    default:
        return nullptr;
    }
}
} // namespace

bool TvxRegMatcher::SearchPositions(const char* start, const char* end) {
    if (program_.anchored) return TryAt(start);
    if (program_.firstLiteral) {
        for (const char* p = start; p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, program_.firstLiteral, size_t(end - p)));
            if (!p || abandoned_) return false;
            if (TryAt(p)) return true;
        }
        return false;
    }
    const std::bitset<256>& startSet = program_.startSet;
    const uint8_t* repeat =
        program_.leadingRepeat >= 0 ? program_.code.get() + program_.leadingRepeat : nullptr;
    for (const char* p = start; p < end && !abandoned_; ++p) {
        if (!startSet[static_cast<unsigned char>(*p)]) continue;
        if (TryAt(p)) return true;
        if (!repeat) continue;
        if (const char* runEnd = ByteRunEnd(repeat, p, end, syntax_)) p = std::max(p, runEnd - 1);
    }
    return false;
}

// A failed attempt undoes every group step it took, so each attempt starts with no group.
bool TvxRegMatcher::TryAt(const char* position) {
    cursor_ = position;
    if (!SubMatch(program_.code.get() + 1)) return false;
    state_.groupStart[0] = position;
    state_.groupEnd[0] = cursor_;
    return true;
}

int32_t TvxRegMatcher::RegRepeat(const uint8_t* operand, int32_t max) {
    const int32_t limit = int32_t(std::min<int64_t>(max, input_.end - cursor_));
    if (const char* end = ByteRunEnd(operand, cursor_, cursor_ + limit, syntax_)) {
        const int32_t count = int32_t(end - cursor_);
        cursor_ = end;
        return count;
    }
    const uint8_t* arg = operand + NodeHeader;
    const char* p = cursor_;
    int32_t count = 0;
    if (operand[0] == opExact) { // one character of several bytes
        const size_t length = std::strlen(reinterpret_cast<const char*>(arg));
        for (; count < limit && input_.end - p >= ptrdiff_t(length) &&
               std::memcmp(p, arg, length) == 0;
             ++count)
            p += length;
    } else if (operand[0] == opBackRef || operand[0] == opBackRefCI) {
        const char* from = state_.closedStart[arg[0]];
        const char* to = state_.groupEnd[arg[0]];
        // An empty group text repeats without moving: no whole repetition to count.
        if (!from || !to || from == to) return 0;
        while (count < limit && input_.MatchesAgain(from, to, operand[0] == opBackRefCI, p))
            ++count;
    } else if (HasVariableWidth(operand[0])) {
        for (int32_t width; count < limit && (width = input_.MatchedCharWidth(operand, p)) > 0;
             ++count)
            p += width;
    } else {
        report_(TRegError::RepeatOfUnsupportedOperand);
        return 0;
    }
    cursor_ = p;
    return count;
}

// Every few thousand steps: false when the search must end, past its bound of steps or of
// memory (which a few thousand steps overrun by a few hundred kilobytes at most), or on a
// stop request.
bool TvxRegMatcher::GoesOn() {
    nextCheck_ = steps_ + StepsBetweenChecks;
    const size_t stackBytes =
        frames_.size() * sizeof(TFrame) + snapshots_.size() * sizeof(TSearchState);
    if ((bounds_.steps && steps_ > bounds_.steps) || stackBytes >= bounds_.stackBytes ||
        (bounds_.stopCheck && bounds_.stopCheck()))
        abandoned_ = true;
    return !abandoned_;
}

// The matcher follows the recursive backtracking description node by node; where that
// description would call itself, a frame goes on frames_ instead, and where a call would
// return false, Backtrack takes the frames off again doing what the caller does then.
// RunForward runs from scan until the program ends (true) or a node fails (false). The
// nodes that most patterns spend their steps in are matched here; the others in
// RunOtherNode.
bool TvxRegMatcher::RunForward(const uint8_t*& scan) {
    for (;;) {
        if (!scan) {
            report_(TRegError::CorruptedLink);
            return false;
        }
        if (++steps_ >= nextCheck_ && !GoesOn()) return false;
        const uint8_t op = scan[0];
        const uint8_t* operand = scan + NodeHeader;
        const auto c = static_cast<unsigned char>(*cursor_); // the zero after the text at its end
        const bool atEnd = cursor_ >= input_.end;
        switch (op) {
        case opEnd:
        case opAssertEnd:
            return true;
        case opAnyChar:
        case opAnyInLine:
            if (atEnd || (op == opAnyInLine && input_.IsLineBreakAt(cursor_))) return false;
            ++cursor_;
            break;
        case opExact:
            if (!input_.MatchesLiteral(operand, cursor_)) return false;
            break;
        case opDigit:
            if (atEnd || !IsDigit(char(c))) return false;
            ++cursor_;
            break;
        case opInSet:
            if (atEnd || !(operand[c >> 3] & (1u << (c & 7)))) return false;
            ++cursor_;
            break;
        case opAnyCharU:
        case opAnyInLineU:
        case opClassU:
            if (!input_.MatchesChar(scan, cursor_)) return false;
            break;
        case opBranch:
            if (!EnterBranch(scan)) return false;
            continue;
        case opStar:
        case opPlus:
        case opBraces:
        case opStarShort:
        case opPlusShort:
        case opBracesShort:
            if (!EnterRepeat(scan, scan)) return false;
            continue;
        default:
            if (IsOpen(op)) {
                OpenGroup(scan);
                break;
            }
            if (IsClose(op)) {
                CloseGroup(scan);
                break;
            }
            if (!RunOtherNode(scan)) return false;
            continue;
        }
        scan = NextNode(scan);
    }
}

// A branch: its first alternative that may match here, with a choice point for the others.
[[gnu::always_inline]] inline bool TvxRegMatcher::EnterBranch(const uint8_t*& scan) {
    const uint8_t* operand = scan + NodeHeader;
    const uint8_t* next = NextNode(scan);
    if (next && next[0] == opBranch) {
        // The choice of a plus written with branches: after an iteration that consumed
        // nothing the loop ends.
        if (operand[0] == opBack && state_.IterationWasEmpty(NextNode(operand), cursor_)) {
            scan = AfterBranchRepeat(scan);
            return true;
        }
        TCharStar star;
        if (FindCharStar(scan, star)) return EnterCharStar(scan, star, scan);
        // An alternative that begins with a literal other than the character here cannot
        // match: the next one follows at once, without a choice point.
        const unsigned char first = LiteralAhead(operand);
        if (first && first != static_cast<unsigned char>(*cursor_)) {
            scan = next;
            return true;
        }
        frames_.push_back({scan, cursor_, 0, 0});
    }
    scan = operand;
    return true;
}

// A group's start or end, with the undo step that puts the group back.
[[gnu::always_inline]] inline void TvxRegMatcher::OpenGroup(const uint8_t* node) {
    const int32_t n = node[0] - opOpenBase;
    frames_.push_back({node, state_.groupStart[n], 0, 0});
    state_.groupStart[n] = cursor_;
}

[[gnu::always_inline]] inline void TvxRegMatcher::CloseGroup(const uint8_t* node) {
    const int32_t n = node[0] - opCloseBase;
    if (!program_.usesBackRefs) {
        frames_.push_back({node, state_.groupEnd[n], 0, 0});
        state_.groupEnd[n] = cursor_;
        return;
    }
    // The capture before this one, for the undo: held as its offset plus 1.
    const char* closed = state_.closedStart[n];
    const uint64_t offset = closed ? uint64_t(closed - input_.start) + 1 : 0;
    frames_.push_back(
        {node, state_.groupEnd[n], int32_t(uint32_t(offset)), int32_t(uint32_t(offset >> 32))});
    state_.groupEnd[n] = cursor_;
    state_.closedStart[n] = state_.groupStart[n];
}

// The nodes that RunForward leaves to this: false when the node fails, else true with scan
// where the match goes on.
[[gnu::always_inline]] inline bool TvxRegMatcher::RunOtherNode(const uint8_t*& scan) {
    switch (scan[0]) {
    case opBack: {
        // The end of an iteration of a star written with branches: one that consumed
        // nothing ends the loop.
        const uint8_t* next = NextNode(scan);
        if (next && next[0] == opBranch && state_.IterationWasEmpty(next + NodeHeader, cursor_)) {
            scan = AfterBranchRepeat(next);
            return true;
        }
        break;
    }
    case opLoopEntry: {
        if (state_.loopDepth >= MaxLoopDepth) {
            report_(TRegError::LoopNestingExceeded);
            return false;
        }
        const size_t inner = size_t(state_.loopDepth + 1);
        frames_.push_back({scan, state_.loopStarts[inner], state_.loopCounters[inner], 0});
        state_.loopDepth = int32_t(inner);
        state_.loopCounters[inner] = 0;
        state_.loopStarts[inner] = cursor_;
        break;
    }
    case opLoop:
    case opLoopShort:
        return EnterLoop(scan, scan);
    case opAtomic:
    case opAhead:
    case opNotAhead:
    case opBehind:
    case opNotBehind:
        if (!RunAssertion(scan)) return false;
        break;
    case opEmpty:
    case opNoOp:
        break;
    default:
        if (!MatchesAtCursor(scan)) return false;
        break;
    }
    scan = NextNode(scan);
    return true;
}

// A node that matches at the cursor on its own, moving the cursor past what it matched.
[[gnu::always_inline]] inline bool TvxRegMatcher::MatchesAtCursor(const uint8_t* node) {
    const uint8_t* operand = node + NodeHeader;
    switch (node[0]) {
    case opBeginText:
        return cursor_ == input_.start;
    case opEndText:
        return cursor_ >= input_.end;
    case opLineStart:
        return input_.AtLineStart(cursor_);
    case opLineEnd:
        return input_.AtLineEnd(cursor_);
    case opWordEdge:
        return input_.AtWordEdge(cursor_);
    case opNotWordEdge:
        return !input_.AtWordEdge(cursor_);
    case opExactCI:
        return input_.MatchesCaseless(operand, cursor_);
    case opExactFold:
        return input_.MatchesFolded(operand, cursor_);
    case opBackRef:
    case opBackRefCI:
        return input_.MatchesAgain(state_.closedStart[operand[0]], state_.groupEnd[operand[0]],
                                   node[0] == opBackRefCI, cursor_);
    case opBackRefFold:
        return input_.MatchesAgainFolded(state_.closedStart[operand[0]],
                                         state_.groupEnd[operand[0]], cursor_);
    default:
        if (IsOneCharacterNode(node[0])) return input_.MatchesChar(node, cursor_);
        report_(TRegError::CorruptedOpcode);
        return false;
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
    case opStar:
        return {0, 0x7FFFFFFF, node + NodeHeader, false};
    case opStarShort:
        return {0, 0x7FFFFFFF, node + NodeHeader, true};
    case opPlus:
        return {1, 0x7FFFFFFF, node + NodeHeader, false};
    case opPlusShort:
        return {1, 0x7FFFFFFF, node + NodeHeader, true};
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

// Moves `no` and its position to the next count that fits the look-ahead, and sets the
// cursor there. The greedy form counts down to the minimum, the non-greedy form up to what
// RegRepeat found (maxCount).
bool TvxRegMatcher::NextRepeatAttempt(const uint8_t* node, const char*& pos, int32_t& no,
                                      int32_t maxCount) {
    const TRepeatLimits limits = RepeatLimits(node);
    if (limits.nonGreedy ? no > maxCount : no < limits.min) return false;
    const unsigned char nextch = LiteralAhead(NextNode(node));
    const auto fits = [&] {
        return pos < input_.end && static_cast<unsigned char>(*pos) == nextch;
    };
    if (nextch && !fits()) {
        const int32_t unit = state_.RepeatUnit(limits.operand);
        const int32_t step = limits.nonGreedy ? 1 : -1;
        const int32_t last = limits.nonGreedy ? maxCount : limits.min;
        do {
            if (no == last) return false;
            pos = unit >= 0 ? pos + step * unit : StepRepeat(limits.operand, pos, limits.nonGreedy);
            no += step;
        } while (!fits());
    }
    cursor_ = pos;
    return true;
}

int32_t TSearchState::RepeatUnit(const uint8_t* operand) const {
    if (HasVariableWidth(operand[0])) return -1;
    if (operand[0] == opExact)
        return std::max<int32_t>(
            1, int32_t(std::strlen(reinterpret_cast<const char*>(operand + NodeHeader))));
    if (operand[0] != opBackRef && operand[0] != opBackRefCI) return 1;
    const int32_t n = operand[NodeHeader];
    return closedStart[n] && groupEnd[n] ? int32_t(groupEnd[n] - closedStart[n]) : 1;
}

// The position one repetition after p, or before it; the repetitions from the start of a
// repeat on are known to match.
const char* TvxRegMatcher::StepRepeat(const uint8_t* operand, const char* p, bool forward) const {
    const int32_t unit = state_.RepeatUnit(operand);
    if (unit >= 0) return forward ? p + unit : p - unit;
    return forward ? p + input_.MatchedCharWidth(operand, p) : PrevCharStart(p, input_.start);
}

bool TvxRegMatcher::EnterRepeat(const uint8_t* node, const uint8_t*& scan) {
    const TRepeatLimits limits = RepeatLimits(node);
    const char* const save = cursor_;
    // A back-reference to an empty text matches in place as often as needed, once tried.
    const int32_t count =
        state_.RepeatUnit(limits.operand) ? RegRepeat(limits.operand, limits.max) : limits.min;
    int32_t no = count;
    const char* pos = cursor_;
    if (limits.nonGreedy) {
        if (count < limits.min) return false;
        for (no = 0, pos = save; no < limits.min; ++no)
            pos = StepRepeat(limits.operand, pos, true);
    }
    if (!NextRepeatAttempt(node, pos, no, count)) return false;
    frames_.push_back({node, pos, no, count});
    scan = NextNode(node);
    return true;
}

// The end of an iteration, or the loop's start: another iteration or what follows, in the
// order the loop's greed gives. The loop is left before what follows runs, so loops after
// it nest no deeper.
bool TvxRegMatcher::EnterLoop(const uint8_t* node, const uint8_t*& scan) {
    if (state_.loopDepth == 0) {
        report_(TRegError::LoopWithoutLoopEntry);
        return false;
    }
    const int32_t min = ReadInt(node + NodeHeader);
    const int32_t max = ReadInt(node + NodeHeader + 4);
    const size_t depth = size_t(state_.loopDepth);
    const int32_t count = state_.loopCounters[depth];
    // From the last iteration it must make on, an unbounded loop ends after an iteration
    // that consumed nothing: more of them would change nothing, without end.
    const bool emptyIteration = count > 0 && cursor_ == state_.loopStarts[depth];
    if ((emptyIteration && count >= min && max == UnboundedCount) || count >= max) {
        // Leaves the loop for what follows it; backtracking enters it again.
        frames_.push_back({node, nullptr, 0, LoopLeft});
        --state_.loopDepth;
        scan = NextNode(node);
        return true;
    }
    if (count >= min && node[0] == opLoopShort) {
        frames_.push_back({node, cursor_, count, LoopLazyEnter});
        --state_.loopDepth;
        scan = NextNode(node);
        return true;
    }
    frames_.push_back({node, state_.loopStarts[depth], count, LoopRestore});
    if (count >= min) frames_.push_back({node, cursor_, 0, LoopGreedyExit});
    state_.loopCounters[depth] = count + 1;
    state_.loopStarts[depth] = cursor_;
    scan = node + ReadInt(node + NodeHeader + 8);
    return true;
}

// Moves `no`, the bytes that the iterations took, down to the next whole character whose
// position fits a following literal, and sets the cursor and the group as the iterations
// up to there left them.
bool TvxRegMatcher::NextCharStarAttempt(const TCharStar& star, const char* save, int32_t& no,
                                        const char* oldStart, const char* oldEnd) {
    const unsigned char nextch = LiteralAhead(star.follow);
    if (nextch) {
        // Straight to the last count whose position holds the literal.
        const char* last =
            FindLastByte(save, save + std::min<ptrdiff_t>(no + 1, input_.end - save), nextch);
        no = last ? int32_t(last - save) : -1;
    }
    if (no < 0) return false;
    cursor_ = save + no;
    if (star.open) {
        // After no iteration the group holds what it held before the star.
        const int32_t n = star.open[0] - opOpenBase;
        state_.groupStart[n] = state_.closedStart[n] =
            no > 0 ? input_.CharBefore(star.x, cursor_, save) : oldStart;
        state_.groupEnd[n] = no > 0 ? cursor_ : oldEnd;
    }
    return true;
}

bool TvxRegMatcher::EnterCharStar(const uint8_t* branch, const TCharStar& star,
                                  const uint8_t*& scan) {
    const char* save = cursor_;
    int32_t count = 0;
    if (star.x[0] == opAnyInLine || star.x[0] == opAnyInLineU) {
        // Only line-break characters and the pair's head can end the run.
        const char* p = save;
        for (;;) {
            p = input_.NextLineStop(p);
            if (p >= input_.end || input_.IsLineBreakAt(p)) break;
            ++p;
        }
        count = int32_t(p - save);
    } else {
        for (int32_t width; (width = input_.MatchedCharWidth(star.x, save + count)) > 0;)
            count += width;
    }
    const char* oldStart = star.open ? state_.groupStart[star.open[0] - opOpenBase] : nullptr;
    const char* oldEnd = star.close ? state_.groupEnd[star.close[0] - opCloseBase] : nullptr;
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
bool TvxRegMatcher::Backtrack(const uint8_t*& scan) {
    while (frames_.size() > frameFloor_) {
        TFrame& f = frames_.back();
        const uint8_t op = f.node[0];
        switch (op) {
        case opBranch: {
            if (f.b == CharStarFrame) {
                if (RetryCharStar(f, scan)) return true;
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
        case opStar:
        case opPlus:
        case opBraces:
        case opStarShort:
        case opPlusShort:
        case opBracesShort:
            if (RetryRepeat(f, scan)) return true;
            break;
        case opLoopEntry:
            state_.loopCounters[size_t(state_.loopDepth)] = f.a;
            state_.loopStarts[size_t(state_.loopDepth)] = f.saved;
            --state_.loopDepth;
            break;
        case opLoop:
        case opLoopShort:
            if (RetryLoop(f, scan)) return true;
            break;
        case opAtomic:
        case opAhead:
        case opBehind:
            state_ = snapshots_[size_t(f.a)];
            snapshots_.resize(size_t(f.a));
            break;
        default:
            // Before its open the group was closed: its capture began where its start was.
            if (IsOpen(op)) {
                state_.groupStart[op - opOpenBase] = state_.closedStart[op - opOpenBase] = f.saved;
            } else if (IsClose(op)) {
                state_.groupEnd[op - opCloseBase] = f.saved;
                if (!program_.usesBackRefs) break;
                const uint64_t closed = uint64_t(uint32_t(f.a)) | uint64_t(uint32_t(f.b)) << 32;
                state_.closedStart[op - opCloseBase] =
                    closed ? input_.start + (closed - 1) : nullptr;
            }
            break;
        }
        frames_.pop_back();
    }
    return false;
}

// The next count of a one-character star, fewer characters than the last.
[[gnu::always_inline]] inline bool TvxRegMatcher::RetryCharStar(TFrame& f, const uint8_t*& scan) {
    TCharStar star;
    FindCharStar(f.node, star);
    int32_t no =
        f.a > 0 ? int32_t(input_.CharBefore(star.x, f.saved + f.a, f.saved) - f.saved) : -1;
    // Below the star's frame, the undo steps of its group hold the group's old positions.
    const size_t below = frames_.size() - 1;
    const char* oldStart = star.open ? frames_.at(below - 2).saved : nullptr;
    const char* oldEnd = star.open ? frames_.at(below - 1).saved : nullptr;
    if (no < 0 || !NextCharStarAttempt(star, f.saved, no, oldStart, oldEnd)) return false;
    f.a = no;
    scan = star.follow;
    return true;
}

// The next count of a repeat: one fewer when greedy, one more when not.
[[gnu::always_inline]] inline bool TvxRegMatcher::RetryRepeat(TFrame& f, const uint8_t*& scan) {
    const TRepeatLimits limits = RepeatLimits(f.node);
    if (limits.nonGreedy ? f.a >= f.b : f.a <= limits.min) return false;
    int32_t no = f.a + (limits.nonGreedy ? 1 : -1);
    const char* pos = StepRepeat(limits.operand, f.saved, limits.nonGreedy);
    if (!NextRepeatAttempt(f.node, pos, no, f.b)) return false;
    f.a = no;
    f.saved = pos;
    scan = NextNode(f.node);
    return true;
}

// The frame of a loop node: an undo step, or the other way at the end of an iteration.
bool TvxRegMatcher::RetryLoop(TFrame& f, const uint8_t*& scan) {
    const size_t depth = size_t(state_.loopDepth);
    switch (f.b) {
    case LoopRestore:
        state_.loopCounters[depth] = f.a;
        state_.loopStarts[depth] = f.saved;
        return false;
    case LoopLeft:
        ++state_.loopDepth;
        return false;
    case LoopGreedyExit:
        cursor_ = f.saved;
        f.b = LoopLeft;
        --state_.loopDepth;
        scan = NextNode(f.node);
        return true;
    default: { // LoopLazyEnter: the loop again, for one more iteration
        const size_t inner = depth + 1;
        ++state_.loopDepth;
        cursor_ = f.saved;
        f = {f.node, state_.loopStarts[inner], f.a, LoopRestore};
        state_.loopCounters[inner] = f.a + 1;
        state_.loopStarts[inner] = cursor_;
        scan = f.node + ReadInt(f.node + NodeHeader + 8);
        return true;
    }
    }
}

// Runs a body on its own from the cursor: true at its first match, with the frames of its
// choices above those of the caller; false when every way failed, the state as before.
bool TvxRegMatcher::SubMatch(const uint8_t* body) {
    const size_t outerFloor = frameFloor_;
    frameFloor_ = frames_.size();
    const uint8_t* scan = body;
    bool matched = false;
    for (;;) {
        if (RunForward(scan)) {
            matched = true;
            break;
        }
        if (abandoned_ || !Backtrack(scan)) break;
    }
    frameFloor_ = outerFloor;
    return matched;
}

// An atomic group or an assertion at the cursor. What matched positively keeps its groups
// and gives up its other ways; one frame puts the state back should the match backtrack
// past it. A negative one leaves no group set.
bool TvxRegMatcher::RunAssertion(const uint8_t* node) {
    const uint8_t op = node[0];
    const char* const at = cursor_;
    const size_t base = frames_.size();
    const size_t snapshotBase = snapshots_.size();
    const bool keepsState = node[NodeHeader] != 0;
    if (keepsState) snapshots_.push_back(state_); // the state before the body
    const size_t snapshotTop = snapshots_.size();
    bool matched = false;
    if (op == opBehind || op == opNotBehind) {
        for (const uint8_t* alternative = node + AssertionHeader;
             ReadInt(alternative) >= 0 && !matched; alternative += ReadInt(alternative + 4)) {
            const char* start = input_.StepBack(at, ReadInt(alternative));
            if (!start) continue;
            cursor_ = start;
            matched = SubMatch(alternative + 8);
            if (abandoned_) return false;
        }
    } else {
        matched = SubMatch(node + AssertionHeader);
    }
    if (abandoned_) return false;
    const bool positive = op == opAtomic || op == opAhead || op == opBehind;
    // The frames of the body go, and with them the snapshots of what matched inside it.
    if (matched) {
        frames_.truncate(base);
        snapshots_.erase(snapshots_.begin() + ptrdiff_t(snapshotTop), snapshots_.end());
    }
    if (matched && positive) {
        if (keepsState) frames_.push_back({node, at, int32_t(snapshotBase), 0});
        if (op != opAtomic) cursor_ = at;
        return true;
    }
    if (keepsState) {
        if (matched) state_ = snapshots_.back(); // a negative one whose body matched
        snapshots_.pop_back();
    }
    cursor_ = at;
    return !positive && !matched;
}
