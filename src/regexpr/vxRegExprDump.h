#pragma once
// A readable listing of a compiled program (TvxRegProgram::Bytes), for golden tests of
// the compiler and for reading what an expression became.

#include <string>
#include <string_view>

// One node per entry: "offset:Name->next" and its operands, entries separated by " | ".
std::string DumpProgram(std::string_view program);
