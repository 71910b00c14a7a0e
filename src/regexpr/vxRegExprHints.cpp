#include "vxRegExprHints.h"

#include "../foundation/vxUnicodeCase.h"
#include "vxRegExprOps.h"

#include <cstring>
#include <vector>

using namespace vxre;

namespace {
// The first bytes of every match, gathered from the nodes that may come first.
class TStartSet {
  public:
    explicit TStartSet(TvxRegProgram& program) : program_(program), set_(program.startSet) {}

    // Collecting from a node always adds the same characters, so every node is visited
    // once: optional pieces in a row would otherwise make the walk exponential, and a loop
    // body without width would lead it around in a circle. The nodes still to visit wait
    // in a list, so that no pattern makes the walk deeper than the stack allows.
    bool Collect(const uint8_t* start) {
        std::vector<bool> visited(size_t(program_.size), false);
        pending_.push_back(start);
        while (!pending_.empty()) {
            const uint8_t* scan = pending_.back();
            pending_.pop_back();
            while (scan && !visited[size_t(scan - program_.code.get())]) {
                visited[size_t(scan - program_.code.get())] = true;
                scan = FromNode(scan);
            }
        }
        return !corrupted_;
    }

  private:
    // Adds the first bytes of the UTF-8 forms of the characters first to last.
    void AddLeadBytes(char32_t first, char32_t last) {
        for (int byte = LeadByte(first); byte <= LeadByte(last); ++byte)
            set_.set(size_t(byte));
    }

    // Adds what one node contributes; gives the node to go on with (null to stop) and puts
    // the other nodes to visit on the list.
    const uint8_t* FromNode(const uint8_t* scan) {
        bool consumes = true;
        AddCharacters(scan, consumes);
        return consumes ? nullptr : FollowStructure(scan);
    }

    // The characters a node that consumes one may start with; consumes is false for every
    // other node.
    void AddCharacters(const uint8_t* scan, bool& consumes) {
        const uint8_t* operand = scan + NodeHeader;
        switch (scan[0]) {
        case opAnyChar:
        case opAnyInLine:
        case opBackRef:
        case opBackRefCI:
        case opAnyCharU:
        case opAnyInLineU:
        case opBackRefFold:
            set_.set();
            return;
        case opExact:
            set_.set(operand[0]);
            return;
        case opExactCI:
            set_.set(operand[0]);
            set_.set(program_.syntax.flipTable[operand[0]]);
            return;
        case opExactFold:
            AddFoldedFirst(operand);
            return;
        case opClassU:
            AddClass(operand);
            return;
        default:
            AddByteCharacters(scan, consumes);
        }
    }

    void AddByteCharacters(const uint8_t* scan, bool& consumes) {
        const uint8_t* operand = scan + NodeHeader;
        switch (scan[0]) {
        case opDigit:
            for (int c = '0'; c <= '9'; ++c)
                set_.set(size_t(c));
            return;
        case opNonDigit:
            for (int c = 0; c < 256; ++c)
                if (!IsDigit(char(c))) set_.set(size_t(c));
            return;
        case opInTriple:
            for (int i = 0; i < 3; ++i)
                set_.set(operand[i]);
            return;
        case opNotInTriple: {
            std::bitset<256> except;
            for (int i = 0; i < 3; ++i)
                except.set(operand[i]);
            set_ |= ~except;
            return;
        }
        case opInSet:
            for (int c = 0; c < 256; ++c)
                if (operand[c / 8] & (1u << (c % 8))) set_.set(size_t(c));
            return;
        default:
            consumes = false;
        }
    }

    // The first character in every form that folds to it.
    void AddFoldedFirst(const uint8_t* operand) {
        size_t pos = 0;
        const char32_t first = NextUtf8(reinterpret_cast<const char*>(operand), pos);
        AddLeadBytes(first, first);
        ForEachCaseFolding([&](char32_t c, char32_t folded) {
            if (folded == first) AddLeadBytes(c, c);
        });
    }

    void AddClass(const uint8_t* operand) {
        for (char32_t c = 0; c < 256; ++c)
            if (ClassHolds(operand, c)) AddLeadBytes(c, c);
        for (int32_t i = 0; i < ReadInt(operand + ClassSetBytes); ++i)
            AddLeadBytes(char32_t(ReadInt(operand + ClassSetBytes + 4 + 8 * i)),
                         char32_t(ReadInt(operand + ClassSetBytes + 8 + 8 * i)));
    }

    // Where a node that consumes nothing itself leads: the node to go on with, and the
    // others that may come first on the list.
    const uint8_t* FollowStructure(const uint8_t* scan) {
        const uint8_t op = scan[0];
        const uint8_t* operand = scan + NodeHeader;
        switch (op) {
        case opEnd:
        case opAssertEnd:
            return nullptr;
        case opAtomic:
        case opAhead:
            // Either may start the match: a superset of the characters it can start with.
            pending_.push_back(scan + AssertionHeader);
            return NextNode(scan);
        case opBranch:
            return FollowBranches(scan);
        case opStar:
        case opStarShort:
            pending_.push_back(operand);
            return NextNode(scan);
        case opPlus:
        case opPlusShort:
            return operand;
        case opBraces:
        case opBracesShort:
            pending_.push_back(scan + BracesHeader);
            return ReadInt(operand) > 0 ? nullptr : NextNode(scan);
        case opLoop:
        case opLoopShort:
            pending_.push_back(scan + ReadInt(operand + 8));
            return ReadInt(operand) == 0 ? NextNode(scan) : nullptr;
        default:
            return FollowEmpty(scan);
        }
    }

    // A branch alone is its operand; of several, each alternative may come first.
    const uint8_t* FollowBranches(const uint8_t* scan) {
        const uint8_t* next = NextNode(scan);
        if (!next || next[0] != opBranch) return scan + NodeHeader;
        for (const uint8_t* b = scan; b && b[0] == opBranch; b = NextNode(b))
            pending_.push_back(b + NodeHeader);
        return nullptr;
    }

    // The nodes that match the empty text lead to the next.
    const uint8_t* FollowEmpty(const uint8_t* scan) {
        switch (scan[0]) {
        case opNotAhead:
        case opBehind:
        case opNotBehind:
        case opBeginText:
        case opEndText:
        case opBack:
        case opEmpty:
        case opNoOp:
        case opLineStart:
        case opLineEnd:
        case opWordEdge:
        case opNotWordEdge:
        case opLoopEntry:
            return NextNode(scan);
        default:
            if (IsOpen(scan[0]) || IsClose(scan[0])) return NextNode(scan);
            corrupted_ = true;
            return nullptr;
        }
    }

    TvxRegProgram& program_;
    std::bitset<256>& set_;
    std::vector<const uint8_t*> pending_;
    bool corrupted_ = false;
};

// The longest literal of the top level, which every match holds.
void FindMustText(TvxRegProgram& program, const uint8_t* scan) {
    for (; scan; scan = NextNode(scan)) {
        if (scan[0] != opExact) continue;
        const int32_t length =
            int32_t(std::strlen(reinterpret_cast<const char*>(scan + NodeHeader)));
        if (length >= program.mustLength) {
            program.mustOffset = int32_t(scan + NodeHeader - program.code.get());
            program.mustLength = length;
        }
    }
}

// The body of a branch of one alternative, else the node itself.
const uint8_t* IntoSingleBranch(const uint8_t* scan) {
    while (scan[0] == opBranch && NextNode(scan) && NextNode(scan)[0] != opBranch)
        scan += NodeHeader;
    return scan;
}

void FindLeadingRepeat(TvxRegProgram& program, const uint8_t* scan) {
    if (program.usesBackRefs) return;
    const uint8_t* open = IsOpen(scan[0]) ? scan : nullptr;
    if (open) {
        scan = NextNode(open);
        if (!scan) return;
        scan = IntoSingleBranch(scan);
    }
    const uint8_t* operand = scan + NodeHeader;
    if (scan[0] == opBraces && ReadInt(scan + NodeHeader + 4) == UnboundedCount)
        operand = scan + BracesHeader;
    else if (scan[0] != opStar && scan[0] != opPlus)
        return;
    // The group ends with the repeat, so that nothing after it reads where the group began.
    const uint8_t* after = NextNode(scan);
    if (open && (!after || after[0] != opCloseBase + (open[0] - opOpenBase))) return;
    program.leadingRepeat = int32_t(operand - program.code.get());
}
} // namespace

bool ComputeHints(TvxRegProgram& program, bool startsWithRepeat) {
    program.startSet.reset();
    const bool known = TStartSet(program).Collect(program.code.get() + 1);
    // A UTF-8 match starts with a whole character, never on a continuation byte.
    if (program.syntax.utf8)
        for (int c = 0x80; c <= 0xBF; ++c)
            program.startSet.reset(size_t(c));
    program.firstLiteral = 0;
    program.anchored = false;
    program.mustOffset = -1;
    program.mustLength = 0;
    program.leadingRepeat = -1;
    const uint8_t* first = program.code.get() + 1;
    const uint8_t* after = NextNode(first);
    if (!after || after[0] != opEnd) return known;
    const uint8_t* scan = first + NodeHeader;
    if (scan[0] == opExact)
        program.firstLiteral = scan[NodeHeader];
    else if (scan[0] == opBeginText)
        program.anchored = true;
    if (startsWithRepeat) FindMustText(program, scan);
    FindLeadingRepeat(program, IntoSingleBranch(scan));
    return known;
}
