#include "vxRegExprLength.h"

#include "vxRegExprOps.h"

using namespace vxre;

namespace {
size_t CodePoints(const uint8_t* text, bool utf8) {
    size_t count = 0;
    for (; *text; ++text)
        count += !utf8 || !IsContinuation(char(*text));
    return count;
}

class TFixedLength {
  public:
    TFixedLength(bool utf8, const std::array<int32_t, GroupSlots>& groupLengths)
        : utf8_(utf8), groupLengths_(groupLengths) {}

    int32_t Of(const uint8_t* scan, const uint8_t* stop) const {
        int64_t total = 0;
        while (scan && scan != stop && scan[0] != opAssertEnd && scan[0] != opEnd) {
            const uint8_t* next = NextNode(scan);
            const int64_t length = OfNode(scan, next);
            if (length < 0) return -1;
            total += length;
            if (total > UnboundedCount) return -1;
            scan = next;
        }
        return int32_t(total);
    }

  private:
    // The length of the node at scan and, for a node that spans others, where it ends.
    int64_t OfNode(const uint8_t* scan, const uint8_t*& next) const {
        const uint8_t* operand = scan + NodeHeader;
        switch (scan[0]) {
        case opBranch:
            return OfAlternation(scan, next);
        case opExact:
        case opExactCI:
        case opExactFold:
            return int64_t(CodePoints(operand, utf8_));
        case opBraces:
        case opBracesShort: // one node, linked to nothing
            return Repeated(ReadInt(operand), ReadInt(operand + 4),
                            Of(scan + BracesHeader, nullptr));
        case opLoopEntry: {
            const uint8_t* loop = next;
            next = NextNode(loop);
            return Repeated(ReadInt(loop + NodeHeader), ReadInt(loop + NodeHeader + 4),
                            Of(operand, loop));
        }
        case opBackRef:
        case opBackRefCI:
        case opBackRefFold:
            return groupLengths_[operand[0]];
        case opAtomic:
            return Of(scan + AssertionHeader, nullptr);
        case opBeginText:
        case opEndText:
        case opLineStart:
        case opLineEnd:
        case opWordEdge:
        case opNotWordEdge:
        case opNoOp:
        case opEmpty:
        case opAhead:
        case opNotAhead:
        case opBehind:
        case opNotBehind:
            return 0;
        default:
            if (IsOneCharacterNode(scan[0])) return 1;
            return IsOpen(scan[0]) || IsClose(scan[0]) ? 0 : -1;
        }
    }

    // An alternation: every alternative alike, up to where they meet.
    int64_t OfAlternation(const uint8_t* scan, const uint8_t*& next) const {
        const uint8_t* joint = scan;
        while (joint && joint[0] == opBranch)
            joint = NextNode(joint);
        int32_t length = -1;
        for (const uint8_t* b = scan; b != joint; b = NextNode(b)) {
            const int32_t alternative = Of(b + NodeHeader, joint);
            if (alternative < 0 || (length >= 0 && alternative != length)) return -1;
            length = alternative;
        }
        next = joint;
        return length;
    }

    // A piece repeated min to max times: of a fixed length only when both are alike.
    static int64_t Repeated(int32_t min, int32_t max, int32_t unit) {
        return min != max || unit < 0 ? -1 : int64_t(min) * unit;
    }

    bool utf8_;
    const std::array<int32_t, GroupSlots>& groupLengths_;
};
} // namespace

int32_t FixedLength(const uint8_t* scan, const uint8_t* stop, bool utf8,
                    const std::array<int32_t, GroupSlots>& groupLengths) {
    return TFixedLength(utf8, groupLengths).Of(scan, stop);
}
