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
      report_(std::move(report)), input_(program_) {}

bool TvxRegMatcher::Search(const char* text, const char* end, const char* from) {
    // Only a match leaves groups behind, group 0 among them; a search starts without.
    if (groupEnd_[0]) ClearGroups();
    if (program_.mustOffset >= 0 && program_.mustLength > 0) {
        const std::string_view must = program_.MustText();
        if (std::string_view(from, size_t(end - from)).find(must) == std::string_view::npos)
            return false;
    }
    input_.start = text;
    input_.end = end;
    loopDepth_ = 0;
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
    for (const char* p = start; p < end && !abandoned_; ++p)
        if (program_.startSet[static_cast<unsigned char>(*p)] && TryAt(p)) return true;
    return false;
}

void TvxRegMatcher::ClearGroups() {
    groupStart_.fill(nullptr);
    groupEnd_.fill(nullptr);
    closedStart_.fill(nullptr);
}

// A failed attempt undoes every group step it took, so each attempt starts with no group.
bool TvxRegMatcher::TryAt(const char* position) {
    cursor_ = position;
    if (!Match(program_.code.get() + 1)) return false;
    groupStart_[0] = position;
    groupEnd_[0] = cursor_;
    return true;
}

bool TvxRegMatcher::MatchesBackRef(int32_t n, bool foldCase, const char*& cursor) const {
    const char* from = closedStart_[n];
    const char* to = groupEnd_[n];
    if (!from || !to) return false;
    const char* p = cursor;
    for (const char* g = from; g < to; ++g, ++p) {
        if (p >= input_.end) return false;
        const auto gc = static_cast<unsigned char>(*g), ic = static_cast<unsigned char>(*p);
        if (ic != gc && !(foldCase && ic == syntax_.flipTable[gc])) return false;
    }
    cursor = p;
    return true;
}

// The group's text again, character by character as Unicode folds them: the two may differ
// in bytes (k and the Kelvin sign).
bool TvxRegMatcher::MatchesBackRefFolded(int32_t n, const char*& cursor) const {
    const char* g = closedStart_[n];
    const char* const to = groupEnd_[n];
    if (!g || !to) return false;
    const char* p = cursor;
    while (g < to) {
        if (p >= input_.end) return false;
        int32_t groupWidth, inputWidth;
        if (FoldCase(CharAt(g, to, groupWidth)) != FoldCase(CharAt(p, input_.end, inputWidth)))
            return false;
        g += groupWidth;
        p += inputWidth;
    }
    cursor = p;
    return true;
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
        const int32_t n = arg[0];
        // An empty group text repeats without moving: no whole repetition to count.
        if (!closedStart_[n] || !groupEnd_[n] || closedStart_[n] == groupEnd_[n]) return 0;
        while (count < limit && MatchesBackRef(n, operand[0] == opBackRefCI, p))
            ++count;
    } else if (HasVariableWidth(operand[0])) {
        for (int32_t width; count < limit && (width = input_.MatchedCharWidth(operand, p)) > 0;
             ++count)
            p += width;
    } else {
        ReportError(TRegError::RepeatOfUnsupportedOperand);
        return 0;
    }
    cursor_ = p;
    return count;
}

// The matcher follows the recursive backtracking description node by node; where that
// description would call itself, a frame goes on frames_ instead, and where a call would
// return false, Backtrack takes the frames off again doing what the caller does then.
bool TvxRegMatcher::Match(const uint8_t* start) {
    frames_.clear();
    const uint8_t* scan = start;
    for (;;) {
        if (RunForward(scan)) return true;
        if (abandoned_ || !Backtrack(scan)) return false;
    }
}

// Every few thousand steps: false when the search must end, past its bound of steps or of
// memory (which a few thousand steps overrun by a few hundred kilobytes at most), or on a
// stop request.
bool TvxRegMatcher::GoesOn() {
    nextCheck_ = steps_ + StepsBetweenChecks;
    if ((stepLimit_ && steps_ > stepLimit_) || StackBytes() >= stackLimit_ ||
        (stopCheck_ && stopCheck_()))
        abandoned_ = true;
    return !abandoned_;
}

// Runs from scan until the program ends (true) or a node fails (false).
bool TvxRegMatcher::RunForward(const uint8_t*& scan) {
    for (;;) {
        if (!scan) {
            ReportError(TRegError::CorruptedLink);
            return false;
        }
        if (++steps_ >= nextCheck_ && !GoesOn()) return false;
        const uint8_t op = scan[0];
        const uint8_t* operand = scan + NodeHeader;
        const uint8_t* next = NextNode(scan);
        const auto c = static_cast<unsigned char>(*cursor_); // the zero after the text at its end
        const bool atEnd = cursor_ >= input_.end;
        switch (op) {
        case opEnd:
            return true;
        case opBeginText:
            if (cursor_ != input_.start) return false;
            break;
        case opEndText:
            if (!atEnd) return false;
            break;
        case opAnyChar:
            if (atEnd) return false;
            ++cursor_;
            break;
        case opAnyInLine:
            if (atEnd || input_.IsLineBreakAt(cursor_)) return false;
            ++cursor_;
            break;
        case opAnyCharU:
        case opAnyInLineU:
        case opClassU: {
            const int32_t width = input_.MatchedCharWidth(scan, cursor_);
            if (width == 0) return false;
            cursor_ += width;
            break;
        }
        case opExactFold:
            if (!input_.MatchesFolded(operand, cursor_)) return false;
            break;
        case opBackRefFold:
            if (!MatchesBackRefFolded(operand[0], cursor_)) return false;
            break;
        case opLineStart:
            if (cursor_ != input_.start) {
                const auto before = static_cast<unsigned char>(cursor_[-1]);
                const bool afterPair = syntax_.pairAssigned && before == syntax_.pairTail &&
                                       cursor_ - 1 > input_.start &&
                                       static_cast<unsigned char>(cursor_[-2]) == syntax_.pairHead;
                if (!afterPair) {
                    if (syntax_.pairAssigned && before == syntax_.pairHead && !atEnd &&
                        c == syntax_.pairTail)
                        return false;
                    if (!syntax_.lineBreakSet[before]) return false;
                }
            }
            break;
        case opLineEnd:
            if (!atEnd) {
                const bool beforePair = syntax_.pairAssigned && c == syntax_.pairHead &&
                                        cursor_ + 1 < input_.end &&
                                        static_cast<unsigned char>(cursor_[1]) == syntax_.pairTail;
                if (!beforePair) {
                    if (syntax_.pairAssigned && c == syntax_.pairTail && cursor_ > input_.start &&
                        static_cast<unsigned char>(cursor_[-1]) == syntax_.pairHead)
                        return false;
                    if (!syntax_.lineBreakSet[c]) return false;
                }
            }
            break;
        case opBranch:
            if (next && next[0] == opBranch) {
                // The choice of a plus written with branches: after an iteration that
                // consumed nothing the loop ends.
                if (operand[0] == opBack && IterationWasEmpty(NextNode(operand))) {
                    scan = AfterBranchRepeat(scan);
                    continue;
                }
                TCharStar star;
                if (FindCharStar(scan, star)) {
                    if (!EnterCharStar(scan, star, scan)) return false;
                    continue;
                }
                // An alternative that begins with a literal other than the character here
                // cannot match: the next one follows at once, without a choice point.
                const unsigned char first = LiteralAhead(operand);
                if (first && first != c) {
                    scan = next;
                    continue;
                }
                frames_.push_back({scan, cursor_, 0, 0});
            }
            scan = operand;
            continue;
        case opBack:
            // The end of an iteration of a star written with branches: one that consumed
            // nothing ends the loop.
            if (next && next[0] == opBranch && IterationWasEmpty(next + NodeHeader)) {
                scan = AfterBranchRepeat(next);
                continue;
            }
            break;
        case opEmpty:
        case opNoOp:
            break;
        case opExact: {
            if (operand[0] == 0) { // a literal written as code 0: only the end
                if (!atEnd) return false;
                break;
            }
            // The input's end is a zero byte, which no literal character equals.
            const char* p = cursor_;
            for (const uint8_t* t = operand; *t; ++t, ++p)
                if (static_cast<unsigned char>(*p) != *t) return false;
            cursor_ = p;
            break;
        }
        case opExactCI:
            for (const uint8_t* t = operand; *t; ++t, ++cursor_) {
                if (cursor_ >= input_.end) return false;
                const auto ic = static_cast<unsigned char>(*cursor_);
                if (ic != *t && ic != syntax_.flipTable[*t]) return false;
            }
            break;
        case opDigit:
            if (atEnd || !IsDigit(char(c))) return false;
            ++cursor_;
            break;
        case opNonDigit:
            if (atEnd || IsDigit(char(c))) return false;
            ++cursor_;
            break;
        case opInTriple:
            if (atEnd || (c != operand[0] && c != operand[1] && c != operand[2])) return false;
            ++cursor_;
            break;
        case opNotInTriple:
            if (atEnd || c == operand[0] || c == operand[1] || c == operand[2]) return false;
            ++cursor_;
            break;
        case opInSet:
            if (atEnd || !(operand[c >> 3] & (1u << (c & 7)))) return false;
            ++cursor_;
            break;
        case opBackRef:
        case opBackRefCI:
            if (!MatchesBackRef(operand[0], op == opBackRefCI, cursor_)) return false;
            break;
        case opWordEdge:
        case opNotWordEdge: {
            const bool previousIsWord =
                cursor_ > input_.start && syntax_.wordSet[static_cast<unsigned char>(cursor_[-1])];
            const bool boundary = previousIsWord != input_.IsWordChar(cursor_);
            if (boundary != (op == opWordEdge)) return false;
            break;
        }
        case opStar:
        case opPlus:
        case opBraces:
        case opStarShort:
        case opPlusShort:
        case opBracesShort:
            if (!EnterRepeat(scan, scan)) return false;
            continue;
        case opLoopEntry:
            if (loopDepth_ >= MaxLoopDepth) {
                ReportError(TRegError::LoopNestingExceeded);
                return false;
            }
            EnterLoopEntry(scan);
            break;
        case opLoop:
        case opLoopShort:
            if (!EnterLoop(scan, scan)) return false;
            continue;
        case opAtomic:
        case opAhead:
        case opNotAhead:
        case opBehind:
        case opNotBehind:
            if (!RunAssertion(scan)) return false;
            break;
        case opAssertEnd:
            return true;
        default:
            if (IsOpen(op)) {
                frames_.push_back({scan, groupStart_[op - opOpenBase], 0, 0});
                groupStart_[op - opOpenBase] = cursor_;
                break;
            }
            if (IsClose(op)) {
                const int32_t n = op - opCloseBase;
                if (!program_.usesBackRefs) {
                    frames_.push_back({scan, groupEnd_[n], 0, 0});
                    groupEnd_[n] = cursor_;
                    break;
                }
                // The capture before this one, for the undo: held as its offset plus 1.
                const uint64_t closed =
                    closedStart_[n] ? uint64_t(closedStart_[n] - input_.start) + 1 : 0;
                frames_.push_back({scan, groupEnd_[n], int32_t(uint32_t(closed)),
                                   int32_t(uint32_t(closed >> 32))});
                groupEnd_[n] = cursor_;
                closedStart_[n] = groupStart_[n];
                break;
            }
            ReportError(TRegError::CorruptedOpcode);
            return false;
        }
        scan = next;
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
        const int32_t unit = RepeatUnit(limits.operand);
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

// The length of one repetition: a back-reference repeats its group's whole text (0 when
// that text is empty), a literal its one character; 1 for the other operands of a program
// of bytes, and -1 for the one-character nodes of UTF-8, whose characters differ in width.
int32_t TvxRegMatcher::RepeatUnit(const uint8_t* operand) const {
    if (HasVariableWidth(operand[0])) return -1;
    if (operand[0] == opExact)
        return std::max<int32_t>(
            1, int32_t(std::strlen(reinterpret_cast<const char*>(operand + NodeHeader))));
    if (operand[0] != opBackRef && operand[0] != opBackRefCI) return 1;
    const int32_t n = operand[NodeHeader];
    return closedStart_[n] && groupEnd_[n] ? int32_t(groupEnd_[n] - closedStart_[n]) : 1;
}

// The position one repetition after p, or before it; the repetitions from the start of a
// repeat on are known to match.
const char* TvxRegMatcher::StepRepeat(const uint8_t* operand, const char* p, bool forward) const {
    const int32_t unit = RepeatUnit(operand);
    if (unit >= 0) return forward ? p + unit : p - unit;
    return forward ? p + input_.MatchedCharWidth(operand, p) : PrevCharStart(p, input_.start);
}

bool TvxRegMatcher::EnterRepeat(const uint8_t* node, const uint8_t*& scan) {
    const TRepeatLimits limits = RepeatLimits(node);
    const char* const save = cursor_;
    // A back-reference to an empty text matches in place as often as needed, once tried.
    const int32_t count =
        RepeatUnit(limits.operand) ? RegRepeat(limits.operand, limits.max) : limits.min;
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

void TvxRegMatcher::EnterLoopEntry(const uint8_t* entry) {
    const size_t inner = size_t(loopDepth_ + 1);
    frames_.push_back({entry, loopStarts_[inner], loopCounters_[inner], 0});
    loopDepth_ = int32_t(inner);
    loopCounters_[inner] = 0;
    loopStarts_[inner] = cursor_;
}

// Leaves the loop for what follows it; backtracking enters it again.
void TvxRegMatcher::LeaveLoop(const uint8_t* node, const uint8_t*& scan) {
    frames_.push_back({node, nullptr, 0, LoopLeft});
    --loopDepth_;
    scan = NextNode(node);
}

// The end of an iteration, or the loop's start: another iteration or what follows, in the
// order the loop's greed gives. The loop is left before what follows runs, so loops after
// it nest no deeper.
bool TvxRegMatcher::EnterLoop(const uint8_t* node, const uint8_t*& scan) {
    if (loopDepth_ == 0) {
        ReportError(TRegError::LoopWithoutLoopEntry);
        return false;
    }
    const int32_t min = ReadInt(node + NodeHeader);
    const int32_t max = ReadInt(node + NodeHeader + 4);
    const size_t depth = size_t(loopDepth_);
    const int32_t count = loopCounters_[depth];
    // From the last iteration it must make on, an unbounded loop ends after an iteration
    // that consumed nothing: more of them would change nothing, without end.
    const bool emptyIteration = count > 0 && cursor_ == loopStarts_[depth];
    if ((emptyIteration && count >= min && max == UnboundedCount) || count >= max) {
        LeaveLoop(node, scan);
        return true;
    }
    if (count >= min && node[0] == opLoopShort) {
        frames_.push_back({node, cursor_, count, LoopLazyEnter});
        --loopDepth_;
        scan = NextNode(node);
        return true;
    }
    frames_.push_back({node, loopStarts_[depth], count, LoopRestore});
    if (count >= min) frames_.push_back({node, cursor_, 0, LoopGreedyExit});
    loopCounters_[depth] = count + 1;
    loopStarts_[depth] = cursor_;
    scan = node + ReadInt(node + NodeHeader + 8);
    return true;
}

// Whether the iteration of a star or plus written with branches that just ended consumed
// nothing. Its operand is a group (or "." without the s modifier, which always consumes),
// so the group's start is where the iteration began.
bool TvxRegMatcher::IterationWasEmpty(const uint8_t* operand) const {
    return IsOpen(operand[0]) && groupStart_[operand[0] - opOpenBase] == cursor_;
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
        groupStart_[n] = closedStart_[n] =
            no > 0 ? input_.CharBefore(star.x, cursor_, save) : oldStart;
        groupEnd_[n] = no > 0 ? cursor_ : oldEnd;
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
    const char* oldStart = star.open ? groupStart_[star.open[0] - opOpenBase] : nullptr;
    const char* oldEnd = star.close ? groupEnd_[star.close[0] - opCloseBase] : nullptr;
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
                TCharStar star;
                FindCharStar(f.node, star);
                int32_t no =
                    f.a > 0 ? int32_t(input_.CharBefore(star.x, f.saved + f.a, f.saved) - f.saved)
                            : -1;
                const size_t below = frames_.size() - 1;
                const char* oldStart = star.open ? frames_.at(below - 2).saved : nullptr;
                const char* oldEnd = star.open ? frames_.at(below - 1).saved : nullptr;
                if (no >= 0 && NextCharStarAttempt(star, f.saved, no, oldStart, oldEnd)) {
                    f.a = no;
                    scan = star.follow;
                    return true;
                }
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
        case opBracesShort: {
            const TRepeatLimits limits = RepeatLimits(f.node);
            if (limits.nonGreedy ? f.a >= f.b : f.a <= limits.min) break;
            int32_t no = f.a + (limits.nonGreedy ? 1 : -1);
            const char* pos = StepRepeat(limits.operand, f.saved, limits.nonGreedy);
            if (NextRepeatAttempt(f.node, pos, no, f.b)) {
                f.a = no;
                f.saved = pos;
                scan = NextNode(f.node);
                return true;
            }
            break;
        }
        case opLoopEntry:
            loopCounters_[size_t(loopDepth_)] = f.a;
            loopStarts_[size_t(loopDepth_)] = f.saved;
            --loopDepth_;
            break;
        case opLoop:
        case opLoopShort:
            switch (f.b) {
            case LoopRestore:
                loopCounters_[size_t(loopDepth_)] = f.a;
                loopStarts_[size_t(loopDepth_)] = f.saved;
                break;
            case LoopLeft:
                ++loopDepth_;
                break;
            case LoopGreedyExit:
                cursor_ = f.saved;
                f.b = LoopLeft;
                --loopDepth_;
                scan = NextNode(f.node);
                return true;
            case LoopLazyEnter: {
                // Enter the loop again for one more iteration.
                ++loopDepth_;
                cursor_ = f.saved;
                const size_t depth = size_t(loopDepth_);
                f = {f.node, loopStarts_[depth], f.a, LoopRestore};
                loopCounters_[depth] = f.a + 1;
                loopStarts_[depth] = cursor_;
                scan = f.node + ReadInt(f.node + NodeHeader + 8);
                return true;
            }
            }
            break;
        case opAtomic:
        case opAhead:
        case opBehind:
            RestoreSnapshot(snapshots_[size_t(f.a)]);
            snapshots_.resize(size_t(f.a));
            break;
        default:
            // Before its open the group was closed: its capture began where its start was.
            if (IsOpen(op)) {
                groupStart_[op - opOpenBase] = closedStart_[op - opOpenBase] = f.saved;
            } else if (IsClose(op)) {
                groupEnd_[op - opCloseBase] = f.saved;
                if (!program_.usesBackRefs) break;
                const uint64_t closed = uint64_t(uint32_t(f.a)) | uint64_t(uint32_t(f.b)) << 32;
                closedStart_[op - opCloseBase] = closed ? input_.start + (closed - 1) : nullptr;
            }
            break;
        }
        frames_.pop_back();
    }
    return false;
}

TvxRegMatcher::TSnapshot TvxRegMatcher::TakeSnapshot() const {
    return {groupStart_, groupEnd_, closedStart_, loopCounters_, loopStarts_, loopDepth_};
}

void TvxRegMatcher::RestoreSnapshot(const TSnapshot& snapshot) {
    groupStart_ = snapshot.groupStart;
    groupEnd_ = snapshot.groupEnd;
    closedStart_ = snapshot.closedStart;
    loopCounters_ = snapshot.loopCounters;
    loopStarts_ = snapshot.loopStarts;
    loopDepth_ = snapshot.loopDepth;
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
    TSnapshot before;
    if (keepsState) before = TakeSnapshot();
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
        snapshots_.resize(snapshotBase);
    }
    if (matched && positive) {
        if (keepsState) {
            snapshots_.push_back(before);
            frames_.push_back({node, at, int32_t(snapshotBase), 0});
        }
        if (op != opAtomic) cursor_ = at;
        return true;
    }
    if (matched && keepsState) RestoreSnapshot(before); // a negative one whose body matched
    cursor_ = at;
    return !positive && !matched;
}
