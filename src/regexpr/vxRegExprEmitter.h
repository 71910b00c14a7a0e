#pragma once
// The writing of a program's nodes: in the sizing pass only counted, in the emitting pass
// written into a block of the size counted.

#include <cstdint>

class TvxRegEmitter {
  public:
    // Starts a pass: counting when code is null, else writing into it.
    void Begin(uint8_t* code) {
        code_ = code;
        pos_ = 0;
    }
    // The code written so far, null in the sizing pass; the bytes counted or written.
    uint8_t* Code() const { return code_; }
    int32_t Pos() const { return pos_; }
    // Takes back what was written from the position on.
    void Rewind(int32_t pos) { pos_ = pos; }

    // A node of the opcode without a next link; its position.
    int32_t EmitOp(uint8_t op);
    void EmitByte(uint8_t b);
    void EmitInt(int32_t value);
    // Moves what was written from at on by size bytes, and puts a node of the opcode there.
    void InsertOp(uint8_t op, int32_t at, int32_t size);
    // Links the last node of the chain that starts at node to target.
    void LinkTail(int32_t node, int32_t target);
    // The same for the operand of a branch node; nothing for any other node.
    void LinkBranchTail(int32_t node, int32_t target);

    // The repeats of the piece written from at on: counted, as a loop, or as branches.
    void EmitBracesOp(int32_t at, int32_t min, int32_t max, bool nonGreedy);
    void EmitLoopOps(int32_t at, int32_t min, int32_t max, bool nonGreedy);
    void EmitStarBranches(int32_t at);
    void EmitPlusBranches(int32_t at);
    void EmitOptionalBranches(int32_t at);
    // X*+, X++, X?+ and X{n,m}+: the repeat written from at on as an atomic group, which
    // gives back nothing.
    void EmitPossessive(int32_t at);

  private:
    uint8_t* code_ = nullptr;
    int32_t pos_ = 0;
};
