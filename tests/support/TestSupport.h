// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the tests: temporary folders, files, and a Wine prefix laid out on disk.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"

namespace sxtest {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

bool Exists(const std::string& path);
// The path with every link and "..", resolved.
std::string Canon(const std::string& path);
void MakeDirs(const std::string& path);

// A Wine prefix: system.reg, dosdevices/c: -> ../drive_c and the game's mission folders.
// WINEPREFIX points at it while the object lives.
class FakePrefix {
  public:
    // gameDir is the Windows path the registry names ("" for no key at all).
    explicit FakePrefix(const std::string& registryValues = "");
    ~FakePrefix();
    FakePrefix(const FakePrefix&) = delete;
    FakePrefix& operator=(const FakePrefix&) = delete;
    const std::string& root() const { return m_dir.path(); }
    // Host path of C:\Games\Vantorra.
    std::string game() const { return m_dir.path() + "/drive_c/Games/Vantorra"; }
    std::string missions() const { return game() + "/Data/Missions"; }
    std::string campaigns() const { return game() + "/Data/Campaigns"; }
    // The desktop's trash while the object lives ($XDG_DATA_HOME/Trash).
    std::string trash() const { return m_dir.path() + "/data/Trash"; }

  private:
    TempDir m_dir;
    std::string m_oldPrefix;
    bool m_hadPrefix = false;
    std::optional<std::string> m_oldData;
};

// Registry text of an installed game: both values.
std::string InstalledGameValues();

}  // namespace sxtest

namespace sxtest {

// Sets (or, given nothing, unsets) an environment variable for the life of the object.
class Env {
  public:
    Env(const char* name, const std::optional<std::string>& value);
    ~Env();
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

  private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

// What the program's command line did, run in a process of its own with stdout and stderr caught
// in files of scratch: its output, exit code (99: it would have gone on to the window), time and
// peak memory.
struct CommandRun {
    std::string out, err;
    int code = -1;
    long ms = 0, peakKiB = 0;
};
CommandRun RunCommandLine(const std::vector<std::string>& args, const std::string& scratch);

// Runs body in a child process as the unprivileged user nobody: root ignores permissions.
// Returns the child's exit status: 0 when body returned true.
int RunAsNobody(const std::function<bool()>& body);

}  // namespace sxtest
