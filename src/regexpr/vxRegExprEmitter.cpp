#include "vxRegExprEmitter.h"

#include "vxRegExprOps.h"

#include <cstring>

using namespace vxre;

int32_t TvxRegEmitter::EmitOp(uint8_t op) {
    const int32_t at = pos_;
    if (code_) {
        code_[at] = op;
        WriteInt(code_ + at + 1, 0);
    }
    pos_ += NodeHeader;
    return at;
}

void TvxRegEmitter::EmitByte(uint8_t b) {
    if (code_) code_[pos_] = b;
    ++pos_;
}

void TvxRegEmitter::EmitInt(int32_t value) {
    if (code_) WriteInt(code_ + pos_, value);
    pos_ += 4;
}

void TvxRegEmitter::InsertOp(uint8_t op, int32_t at, int32_t size) {
    if (code_) {
        std::memmove(code_ + at + size, code_ + at, size_t(pos_ - at));
        code_[at] = op;
        std::memset(code_ + at + 1, 0, size_t(size - 1));
    }
    pos_ += size;
}

void TvxRegEmitter::LinkTail(int32_t node, int32_t target) {
    if (!code_) return;
    int32_t scan = node;
    for (int32_t link; (link = ReadInt(code_ + scan + 1)) != 0;)
        scan += link;
    WriteInt(code_ + scan + 1, target - scan);
}

void TvxRegEmitter::LinkBranchTail(int32_t node, int32_t target) {
    if (code_ && code_[node] == opBranch) LinkTail(node + NodeHeader, target);
}

void TvxRegEmitter::EmitBracesOp(int32_t at, int32_t min, int32_t max, bool nonGreedy) {
    InsertOp(nonGreedy ? opBracesShort : opBraces, at, BracesHeader);
    if (code_) {
        WriteInt(code_ + at + NodeHeader, min);
        WriteInt(code_ + at + NodeHeader + 4, max);
    }
}

void TvxRegEmitter::EmitLoopOps(int32_t at, int32_t min, int32_t max, bool nonGreedy) {
    InsertOp(opLoopEntry, at, NodeHeader);
    const int32_t loop = EmitOp(nonGreedy ? opLoopShort : opLoop);
    EmitInt(min);
    EmitInt(max);
    EmitInt(at + NodeHeader - loop); // back to the body, which follows the entry
    LinkTail(at, loop);
    LinkTail(at + NodeHeader, loop);
}

// X* as (X back-to-self | empty).
void TvxRegEmitter::EmitStarBranches(int32_t at) {
    InsertOp(opBranch, at, NodeHeader);
    LinkBranchTail(at, EmitOp(opBack));
    LinkBranchTail(at, at);
    LinkTail(at, EmitOp(opBranch));
    LinkTail(at, EmitOp(opEmpty));
}

// X+ as X (back-to-X | empty).
void TvxRegEmitter::EmitPlusBranches(int32_t at) {
    const int32_t branch = EmitOp(opBranch);
    LinkTail(at, branch);
    LinkTail(EmitOp(opBack), at);
    LinkTail(branch, EmitOp(opBranch));
    LinkTail(at, EmitOp(opEmpty));
}

// X? as (X | empty).
void TvxRegEmitter::EmitOptionalBranches(int32_t at) {
    InsertOp(opBranch, at, NodeHeader);
    LinkTail(at, EmitOp(opBranch));
    const int32_t empty = EmitOp(opEmpty);
    LinkTail(at, empty);
    LinkBranchTail(at, empty);
}

void TvxRegEmitter::EmitPossessive(int32_t at) {
    InsertOp(opAtomic, at, AssertionHeader);
    // The repeat may hold groups or loops: the state is kept.
    if (code_) code_[at + NodeHeader] = 1;
    LinkTail(at + AssertionHeader, EmitOp(opAssertEnd));
}
