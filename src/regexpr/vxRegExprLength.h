#pragma once
// The fixed length of a part of a program, by which a look-behind is matched backward.

#include "vxRegExprProgram.h"

#include <array>
#include <cstdint>

// The characters that every match from scan up to stop takes, -1 when that varies; a
// back-reference takes the length of its group, -1 where that is not known.
int32_t FixedLength(const uint8_t* scan, const uint8_t* stop, bool utf8,
                    const std::array<int32_t, vxre::GroupSlots>& groupLengths);
