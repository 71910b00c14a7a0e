#pragma once
// Child processes that can be ended with everything they started, and that write their
// output to a file of their own: the job objects and the inherited handles of a start.

#include "../foundation/vxHandles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// A started child: its process and, where it runs in a job of its own, that job.
struct TvxChild {
    TvxHandle process;
    TvxHandle job;
};

// How a child is made.
struct TvxChildStart {
    DWORD flags = 0;         // the creation flags besides those given here
    STARTUPINFOA startup{};  // the window's settings
    bool contained = false;  // in a job of its own
    std::string output;      // the file of its standard output and error; empty: none
    std::string errorOutput; // the file of its standard error, where not output's
    // Without an output file: the child gets this process's standard handles, so that a
    // console program writes where this one writes, a pipe or a file included.
    bool standardHandles = false;
    // NAME=value of the variables it gets besides this process's environment; an empty
    // value takes one away.
    std::vector<std::string> environment;
};

// This process's environment with the entries applied, as CreateProcess takes a Unicode
// block: NAME=value, each ended by a zero and the block by another, sorted by name without
// case, as Windows keeps an environment.
std::u16string EnvironmentBlock(const std::vector<std::string>& entries);

// Sets the variables of this process for as long as it lives, for a start that takes this
// process's environment (the shell's), and puts them back as they were.
class TvxScopedEnvironment {
  public:
    explicit TvxScopedEnvironment(const std::vector<std::string>& entries);
    ~TvxScopedEnvironment();
    TvxScopedEnvironment(const TvxScopedEnvironment&) = delete;
    TvxScopedEnvironment& operator=(const TvxScopedEnvironment&) = delete;

  private:
    struct TWas {
        std::u16string name;
        std::optional<std::u16string> value;
    };
    std::vector<TWas> was_;
};

// Creates the process of the command line. A contained child starts suspended, goes into
// a new job that ends its processes when the last handle to it closes, and then runs;
// where no job can be made or joined it runs without one. With an output file the child
// inherits that file (and the error file), created anew, and the null device as its
// input, and no other handle; with standard handles it inherits copies of this process's three and
// no other. The system's error number when nothing started, else 0.
DWORD CreateChild(std::string commandLine, TvxChildStart start, TvxChild& child);

// Ends every process of the job, else the process, with the exit code, and waits a few
// seconds at most for the process to have ended.
void EndChild(HANDLE process, HANDLE job, UINT exitCode);

// Lets go of the job without ending what still runs in it.
void ReleaseJob(TvxHandle& job);
