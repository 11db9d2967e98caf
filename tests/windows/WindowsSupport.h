// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the tests that run on Windows (under Wine here): folders, files, and the game
// installed as its installer leaves it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/FileBytes.h"

namespace wintest {

// A fresh folder under the temporary folder, removed with what it holds at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

  private:
    std::string m_path;
};

using sxtest::ListDir;
using sxtest::Mission;
using sxtest::ReadFile;
using sxtest::Split;
using sxtest::WriteFile;

// The game's folder and its mission folders, in a folder of its own; length: the game
// folder's path is that long (0: short).
class GameFolders {
  public:
    explicit GameFolders(size_t length = 0);
    GameFolders(const GameFolders&) = delete;
    GameFolders& operator=(const GameFolders&) = delete;
    std::string game() const { return m_game; }
    std::string missions() const { return game() + "\\Data\\Missions"; }
    std::string campaigns() const { return game() + "\\Data\\Campaigns"; }

  private:
    TempFolder m_folder;
    std::string m_game;
};

// The game installed in its folders, with its key in the registry while the object lives.
class Installed : public GameFolders {
  public:
    // withPath: the key holds the game's folder in "Path" too; view: the registry view the
    // key is written in (0: this program's own).
    explicit Installed(bool withPath = true, unsigned view = 0, size_t length = 0);
    ~Installed();

  private:
    unsigned m_view;
};

// Files by paths of any length (the system's calls with the "\\?\" form).
void WriteLongFile(const std::string& path, const std::string& bytes);
std::string ReadLongFile(const std::string& path);
std::vector<std::string> ListLongDir(const std::string& path);

// Removes the game's key from both registry views.
void Uninstall();

// Sets an environment variable for the life of the object.
class Env {
  public:
    Env(const char* name, const std::string& value);
    ~Env();
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

  private:
    std::string m_name;
};

}  // namespace wintest
