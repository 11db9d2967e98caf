// SPDX-License-Identifier: GPL-3.0-or-later
// Files as bytes, for the tests of both platforms.
#pragma once

#include <string>
#include <vector>

namespace sxtest {

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
// The names in a folder, whatever they are (links that lead nowhere too), sorted; none when it
// cannot be read.
std::vector<std::string> ListDir(const std::string& path);
std::vector<std::string> Split(const std::string& text, char separator);
// A mission file with a one-line briefing and a player record.
std::string Mission(const std::string& briefing, const std::string& callsign);
// A mission's bytes as the callsign rewrite makes them.
std::string Rewritten(const std::string& bytes, const std::string& callsign);
// The first bytes of a Windows program: what the launch takes for one.
std::string WindowsProgram();

}  // namespace sxtest
