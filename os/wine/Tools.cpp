// SPDX-License-Identifier: GPL-3.0-or-later
// What the tools' readers share, and the two smallest readers: plain Wine and PlayOnLinux.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <sstream>

#include "os/Files.h"
#include "os/wine/Tools.h"

namespace sx::os::wine {

namespace {
// The names a folder may give before the rest is passed over.
constexpr size_t kMaxEntries = 1u << 16;

std::string Parent(const std::string& path) {
    const size_t sep = path.find_last_of('/');
    return sep == std::string::npos || sep == 0 ? "/" : path.substr(0, sep);
}

std::string Thousands(uint64_t n) {
    std::string s = std::to_string(n);
    for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
    return s;
}
}  // namespace

std::vector<std::string> SearchReport::Lines() const {
    std::vector<std::string> lines;
    if (filesCut > 0)
        lines.push_back(Thousands(bytesPassedOver) + " bytes of " + Thousands(filesCut) +
                        " settings files past their size bound");
    if (filesNotRead > 0)
        lines.push_back(Thousands(filesNotRead) + " settings files beyond the first " + Thousands(kRunFiles) +
                        " files or " + Thousands(kRunBytes >> 20) + " MiB a search reads");
    if (librariesPassedOver > 0)
        lines.push_back(Thousands(librariesPassedOver) + " Steam libraries beyond the first " +
                        std::to_string(kMaxLibraries));
    if (candidatesPassedOver > 0)
        lines.push_back(Thousands(candidatesPassedOver) + " prefixes beyond the first " +
                        Thousands(kMaxCandidatesPerTool) + " of a tool");
    return lines;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsProgram(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string ExpandHome(const std::string& path, const SearchRoots& roots) {
    return path.rfind("~/", 0) == 0 ? roots.home + path.substr(1) : path;
}

std::string RunnerWine(const std::string& folder) {
    for (const char* wine : {"/bin/wine", "/files/bin/wine", "/dist/bin/wine"})
        if (IsProgram(folder + wine)) return folder + wine;
    return {};
}

void StartUnderWine(PrefixCandidate& c, const std::string& wine) {
    c.start.argv = {wine};
    c.start.env = {"WINEPREFIX=" + c.path};
    // The runner's folder: the one above its bin, else the one it lies in.
    const std::string folder = Parent(wine);
    c.programFolders = {folder.ends_with("/bin") ? Parent(folder) : folder};
}

void StartUnderUmu(PrefixCandidate& c, const SearchRoots& roots, const std::string& umu, const std::string& prefix,
                   const std::string& protonPath, const std::vector<std::string>& toolEnv) {
    c.start.argv = {umu};
    c.start.env = {"WINEPREFIX=" + prefix, "PROTONPATH=" + protonPath};
    c.start.env.insert(c.start.env.end(), toolEnv.begin(), toolEnv.end());
    c.start.env.push_back("PROTON_VERB=waitforexitandrun");
    const std::string folder = Parent(umu);
    c.programFolders = {folder.ends_with("/bin") ? Parent(folder) : folder};
    if (protonPath.front() == '/') c.programFolders.push_back(protonPath);
    if (IsFolder(roots.dataHome + "/umu")) c.programFolders.push_back(roots.dataHome + "/umu");
}

bool IsLutrisProton(const std::string& version) {
    return (version.find("Proton") != std::string::npos && version.find("lutris") == std::string::npos) ||
           version == "ge-proton";
}

bool InsideSandbox(std::string_view path) {
    return path == "/app" || path.rfind("/app/", 0) == 0;
}

std::vector<std::string> YamlTexts(const std::string& text,
                                   const std::vector<std::vector<const char*>>& paths) {
    std::vector<std::string> texts(paths.size());
    YAML::Node doc;
    try {
        doc = YAML::Load(text);
    } catch (const YAML::Exception&) {
        return texts;  // a settings file that is no YAML names nothing
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        // reset() rebinds; assigning one node to another would write into the document.
        YAML::Node n;
        n.reset(doc);
        bool found = true;
        for (const char* k : paths[i]) {
            if (!n.IsMap() || !n[k]) {
                found = false;
                break;
            }
            const YAML::Node child = n[k];
            n.reset(child);
        }
        if (found && n.IsScalar()) texts[i] = n.as<std::string>();
    }
    return texts;
}

bool Collector::Full(const std::string& tool) {
    return m_ofTool[tool] >= kMaxCandidatesPerTool;
}

void Collector::Add(PrefixCandidate candidate) {
    // Whether it is a folder is seen once, when the candidates are put in order.
    if (candidate.path.empty()) return;
    if (Full(candidate.tool)) {
        ++m_report.candidatesPassedOver;
        return;
    }
    ++m_ofTool[candidate.tool];
    m_found.push_back(std::move(candidate));
}

const std::string* Collector::Read(const std::string& path, size_t bound) {
    auto [it, fresh] = m_read.try_emplace(path);
    if (!fresh) return it->second ? &*it->second : nullptr;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    if (m_files == kRunFiles || m_bytes == kRunBytes) {
        ++m_report.filesNotRead;
        return nullptr;
    }
    InputFile f;
    if (!f.Open(path)) return nullptr;
    ++m_files;
    bound = static_cast<size_t>(std::min<uint64_t>(bound, kRunBytes - m_bytes));
    std::string text;
    char buf[1 << 14];
    while (text.size() < bound) {
        const std::ptrdiff_t n = f.Read(buf, std::min(sizeof buf, bound - text.size()));
        if (n < 0) return nullptr;
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    m_bytes += text.size();
    if (static_cast<uint64_t>(st.st_size) > text.size() && text.size() == bound) {
        ++m_report.filesCut;
        m_report.bytesPassedOver += static_cast<uint64_t>(st.st_size) - text.size();
    }
    it->second = std::move(text);
    return &*it->second;
}

std::vector<std::string> Collector::Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            if (names.size() == kMaxEntries) {
                ++m_report.candidatesPassedOver;
                continue;
            }
            names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void ReadPlainWine(Collector& c) {
    PrefixCandidate home{c.Roots().home + "/.wine", "Wine"};
    home.systemWine = true;
    c.Add(home);
    const std::string root = c.Roots().dataHome + "/wineprefixes";
    for (const std::string& n : c.Entries(root)) {
        PrefixCandidate p{root + "/" + n, "winetricks"};
        p.systemWine = true;
        c.Add(std::move(p));
    }
}

void ReadPlayOnLinux(Collector& c) {
    const std::string root = c.Roots().home + "/.PlayOnLinux";
    for (const std::string& n : c.Entries(root + "/wineprefix")) {
        PrefixCandidate p{root + "/wineprefix/" + n, "PlayOnLinux"};
        std::string version, arch = "x86";
        if (const auto cfg = c.Read(p.path + "/playonlinux.cfg")) {
            std::istringstream lines(*cfg);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind("VERSION=", 0) == 0) version = line.substr(8);
                if (line.rfind("ARCH=", 0) == 0) arch = line.substr(5);
            }
        }
        // Without a version PlayOnLinux runs the system's Wine.
        p.systemWine = version.empty();
        if (!version.empty()) {
            p.recorded = "Wine " + version;
            const std::string wine = root + "/wine/linux-" + arch + "/" + version + "/bin/wine";
            if (IsProgram(wine)) StartUnderWine(p, wine);
        }
        c.Add(std::move(p));
    }
}

}  // namespace sx::os::wine
