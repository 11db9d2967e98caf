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

// Settles, once at start and before the current folder changes, what the program's start
// decides: on Linux, a relative WINEPREFIX made absolute, and the command line and folder the
// program was started with, for a start again (RestartWithPrefix); on Windows, where no argument
// is read, that no library is ever loaded from the current folder.
void InitializeProcess(int argc, char** argv);

// ---- The game's installations (Linux: the Wine prefixes that hold it) -----------------------

// Names the Wine prefix for the rest of the run (--prefix DIR).
void NamePrefix(const std::string& prefix);
// The places the prefixes are looked for, one line each, for the user; none on Windows.
std::vector<std::string> InstallationPlaces();

struct GameInstallation {
    std::string tool;     // the tool that made it
    std::string prefix;   // its folder
    std::string gameDir;  // the game's folder there, as its registry names it
    // What starts the game there (the environment it adds, the program, its arguments up to
    // exeName); empty when the user is asked first.
    std::string command;
    std::string refused;  // why it may not be used; empty when it may
    bool current = false;  // the one this run uses
};
// Every installation of the game the registry key names, the one used last first; searched once
// a run. What a bound made the search pass over is told in passedOver, in the user's words.
std::vector<GameInstallation> GameInstallations(const std::string& key, const std::string& exeName,
                                                std::vector<std::string>* passedOver = nullptr);
// Starts this program again on another prefix (its other arguments kept, from the folder it was
// started in), on its own; false when it could not be started.
bool RestartWithPrefix(const std::string& prefix);

// The Wine the prefix's tool records but that is not installed, or that the tool does not name:
// the program of folder would then start under another, which could upgrade the prefix so that
// the tool can no longer use it. Nothing in every other case (and on Windows).
struct WineSubstitution {
    std::string tool;      // the tool that made the prefix
    std::string recorded;  // the Wine it records
    std::string instead;   // the Wine that would start the program
};
std::optional<WineSubstitution> SubstituteWine(const std::string& folder, const std::string& exeName);

// Opens a folder in the desktop's file manager (xdg-open on Linux, the shell's "explore" on
// Windows), on its own: only a folder, handed over as the folder it really is with a trailing
// separator, never a file a link leads to (a desktop may run one). False when the path is no
// folder or nothing could be started.
bool OpenFolder(const std::string& folder);

// Milliseconds on a clock that never goes back.
int64_t MonotonicMilliseconds();

}  // namespace sx::os
