#pragma once
// The search hints of a program that is compiled: the bytes a match may start with, the one
// it must start with, whether it matches at the start only, and the longest literal that
// every match holds where the expression starts with a repeat.

#include "vxRegExprProgram.h"

// Sets the program's hints; false when its code holds a node that no hint knows (a
// corrupted program), whose hints then stand on the rest of it.
bool ComputeHints(TvxRegProgram& program, bool startsWithRepeat);
