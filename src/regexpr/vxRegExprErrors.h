#pragma once
// Every error and warning that the engine reports, by the number that its messages have
// always carried, with its text.

#include <cstdint>
#include <string_view>

#define VXRE_ERRORS(X)                                                                             \
    X(None, 0, "No errors")                                                                        \
    X(NullArgument, 100, "vxRegExpr(comp): Null Argument")                                         \
    X(ExpressionTooBig, 101, "vxRegExpr(comp): Expression Too Big")                                \
    X(TooManyGroups, 102, "vxRegExpr(comp): Too Many Groups")                                      \
    X(MissingCloseParenthesis, 103, "vxRegExpr(comp): Unmatched Parentheses")                      \
    X(UnmatchedCloseParenthesis, 104, "vxRegExpr(comp): Unmatched Parentheses")                    \
    X(UnexpectedTextAtEnd, 105, "vxRegExpr(comp): Unexpected Text At End")                         \
    X(RepeatedOperandCouldBeEmpty, 106, "vxRegExpr(comp): Repeated Operand Could Be Empty")        \
    X(NestedQuantifier, 107, "vxRegExpr(comp): Nested Quantifier")                                 \
    X(BadHexDigit, 108, "vxRegExpr(comp): Bad Hexadecimal Digit")                                  \
    X(InvalidClassRange, 109, "vxRegExpr(comp): Invalid Class Range")                              \
    X(BackslashAtEndOfClass, 110, "vxRegExpr(comp): Backslash At End Of Class")                    \
    X(MissingHexCode, 111, "vxRegExpr(comp): Missing Hexadecimal Code After \\x")                  \
    X(HexCodeTooBig, 112, "vxRegExpr(comp): Hexadecimal Code After \\x Too Big")                   \
    X(UnmatchedBrackets, 113, "vxRegExpr(comp): Unmatched Brackets")                               \
    X(AtomExpected, 114, "vxRegExpr(comp): Atom Expected")                                         \
    X(QuantifierFollowsNothing, 115, "vxRegExpr(comp): Quantifier Follows Nothing")                \
    X(BackslashAtEnd, 116, "vxRegExpr(comp): Backslash At End")                                    \
    X(EmptyLiteralRun, 119, "vxRegExpr(comp): Empty Literal Run")                                  \
    X(RepeatCountTooBig, 122, "vxRegExpr(comp): Repeat Count Too Big")                             \
    X(RepeatMinimumAboveMaximum, 124, "vxRegExpr(comp): Repeat Minimum Above Maximum")             \
    X(UnclosedComment, 125, "vxRegExpr(comp): Unclosed Comment")                                   \
    X(ComplexRepeatsDisabled, 126, "vxRegExpr(comp): Complex Repeats Disabled")                    \
    X(UnrecognizedModifier, 127, "vxRegExpr(comp): Unrecognized Modifier")                         \
    X(BadPairedLineSeparator, 128,                                                                 \
      "vxRegExpr(comp): Paired Line Separator Must Hold Two Different Characters Or None")         \
    X(LookBehindWithoutFixedLength, 129,                                                           \
      "vxRegExpr(comp): Look-Behind Alternative Without A Fixed Length")                           \
    X(LookAroundRepeated, 130, "vxRegExpr(comp): Look-Around Cannot Be Repeated")                  \
    X(GroupsNestedTooDeeply, 131, "vxRegExpr(comp): Groups Nested Too Deeply")                     \
    X(RepeatOfUnsupportedOperand, 1000, "vxRegExpr(exec): Repeat Of Unsupported Operand")          \
    X(CorruptedOpcode, 1001, "vxRegExpr(exec): Corrupted Opcode")                                  \
    X(CorruptedLink, 1002, "vxRegExpr(exec): Corrupted Link")                                      \
    X(NoExpression, 1003, "vxRegExpr(exec): No Expression Assigned")                               \
    X(CorruptedProgram, 1004, "vxRegExpr(exec): Corrupted Program")                                \
    X(NoInputText, 1005, "vxRegExpr(exec): No Input Text")                                         \
    X(OffsetBelowOne, 1006, "vxRegExpr(exec): Offset Must Be Greater Than 0")                      \
    X(NextSearchWithoutFirst, 1007, "vxRegExpr(exec): Next Search Without A First Search")         \
    X(InputReadWithoutInput, 1008, "vxRegExpr(exec): Input Read Without Input")                    \
    X(DumpCorruptedOpcode, 1011, "vxRegExpr(dump): Corrupted Opcode")                              \
    X(ModifierIndexOutOfRange, 1013, "vxRegExpr: Modifier Index Out Of Range")                     \
    X(LoopNestingExceeded, 1014, "vxRegExpr(exec): Loop Nesting Exceeded")                         \
    X(LoopWithoutLoopEntry, 1015, "vxRegExpr(exec): Loop Without Loop Entry")

enum class TRegError : int32_t {
#define VXRE_ERROR_VALUE(name, number, text) name = number,
    VXRE_ERRORS(VXRE_ERROR_VALUE)
#undef VXRE_ERROR_VALUE
};

// The error's text; "Unknown error" for a value that names none.
std::string_view RegErrorText(TRegError error);
