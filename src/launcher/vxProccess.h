#pragma once
// Whether a program of a given name is running.

#include <cstdint>
#include <string>

// The identifier of the first process whose executable file name, or one of whose
// module paths, equals name without regard to case; 0 when none does.
uint32_t IsProgramRunning(const std::string& name);
