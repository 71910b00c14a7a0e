#pragma once
// Whether a program of a given name is running.

#include <cstdint>
#include <string>
#include <vector>

// The identifier of the first process whose executable file name, or whose image path,
// equals name without regard to case; 0 when none does.
uint32_t IsProgramRunning(const std::string& name);

// What the system tells of one running process, asked only as far as the decision needs:
// a module snapshot is dear, and a 32-bit process cannot take one of a 64-bit process.
class TRunningProcess {
  public:
    virtual ~TRunningProcess() = default;
    // The executable's file name, as the process snapshot gives it.
    virtual std::string ExeFile() = 0;
    // The full paths of the process's modules; false when they cannot be listed.
    virtual bool ModulePaths(std::vector<std::string>& paths) = 0;
    // The full path of the process's image; false when it cannot be asked.
    virtual bool ImagePath(std::string& path) = 0;
};

// Whether the process is the program of that name: its file name equals name, or name is
// a path whose file name is the process's and that equals one of its module paths (the
// image path when the modules cannot be listed).
bool IsProgram(const std::string& name, TRunningProcess& process);
