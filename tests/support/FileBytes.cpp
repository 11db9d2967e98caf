// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/FileBytes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "missionfile/MissionText.h"

namespace sxtest {

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(path, ec))
        names.push_back(e.path().filename().string());
    // In one order whatever the file system's (a tmpfs lists the newest first).
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

std::string Mission(const std::string& briefing, const std::string& callsign) {
    return ".MissionSummary\r\n" + briefing +
           "\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  1\r\n\t.Callsign  " + callsign +
           "\r\n\t.MPCallsign  " + callsign + "\r\n";
}

std::string Rewritten(const std::string& bytes, const std::string& callsign) {
    sx::MemorySource src(bytes);
    sx::StringSink sink;
    return sx::CopyWithCallsign(src, sink, callsign) ? sink.text : "(the copy failed)";
}

std::string WindowsProgram() {
    return std::string("MZ") + std::string(58, '\0') + std::string("\x40\0\0\0", 4) + std::string("PE\0\0", 4);
}

}  // namespace sxtest
