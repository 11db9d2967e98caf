// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a program, and a clock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// A program started to be waited for.
class RunningProgram {
  public:
    RunningProgram();
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    // True once the program has ended; asks without waiting.
    bool HasEnded();

    // The backend's own state of the program.
    struct Impl;
    Impl& Native() { return *m_impl; }

  private:
    std::unique_ptr<Impl> m_impl;
};

// Starts the program exeName of folder (a path as the program holds it), with folder as its
// current folder and the arguments after its own name; the program receives exeName as its own
// name. The name is looked up in folder and nowhere else (without regard to case on systems
// where case matters). A Windows executable on a system that is not Windows is started through
// Wine in the prefix the registry was read from. With waitable, the program can be waited for
// through it; without, the call leaves nothing behind. The program's output goes nowhere.
StartResult StartProgram(const std::string& folder, const std::string& exeName,
                         const std::vector<ProgramArgument>& args,
                         RunningProgram* waitable = nullptr);

// What the program does after InitializeProcess: go on, or end at once with exitCode (after
// --help, --version, or an option it does not know, whose text InitializeProcess printed).
struct StartOutcome {
    bool run = true;
    int exitCode = 0;
};

// Settles, once at start and before the current folder changes, what the program's start
// decides: on Linux, the command line (--prefix DIR, --help, --version) and a relative
// WINEPREFIX; on Windows, where no argument is read, that no library is ever loaded from the
// current folder.
StartOutcome InitializeProcess(int argc, char** argv, std::string_view name,
                               std::string_view version);

// The tool that made the Wine prefix the program of folder would run in, when that tool is not
// plain Wine and records no Wine for the prefix: the system's Wine would run there, and could
// upgrade a prefix the tool manages. Nothing in every other case (and on Windows).
std::optional<std::string> ToolWithoutWine(const std::string& folder, const std::string& exeName);

// Milliseconds on a clock that never goes back.
int64_t MonotonicMilliseconds();

}  // namespace sx::os
