// Starting a program, and a clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sx::os {

enum class StartFailure { NoFailure, NotFound, NoWine, Failed };

struct StartResult {
    bool started = false;
    StartFailure failure = StartFailure::NoFailure;
    std::string message;  // the system's reason, for a failure of its own
};

// One argument of a program's command line. A quoted argument is written between two double
// quotes where the platform takes a command-line text; where it takes an argument vector, the
// text is one argument as it stands.
struct ProgramArgument {
    std::string text;
    bool quoted = false;
};

// Starts the program exeName of folder (a path as the program holds it), with folder as its
// current folder and the arguments after its own name; the program receives exeName as its own
// name. The name is looked up in folder and nowhere else (without regard to case on systems
// where case matters). A Windows executable on a system that is not Windows is started through
// Wine in the prefix the registry was read from. With wait, returns when the program has ended;
// without, returns at once and leaves nothing behind. Its output goes nowhere.
StartResult StartProgram(const std::string& folder, const std::string& exeName,
                         const std::vector<ProgramArgument>& args, bool wait);

// Settles, once at start and before the current folder changes, what depends on the folder the
// program was started in (a relative WINEPREFIX, under Wine).
void InitializeProcess();

// Milliseconds on a clock that never goes back.
int64_t MonotonicMilliseconds();

}  // namespace sx::os
